// Reading: a file's layers, and a layer's features as parts of longitude/latitude points.
#include <limits>
#include <vector>

#include "gdal/GdalModuleSupport.h"

struct TGdalSource {
    GDALDatasetH Data = nullptr;
    ~TGdalSource() {
        if (Data) GDALClose(Data);
    }
};

struct TGdalReader {
    OGRLayerH Layer = nullptr;
    orvex_gdal::TConversion Conversion;
    std::vector<int32_t> Fields;
    double Divisor = 1;
    // Reused from feature to feature: no allocation per point once they have grown.
    std::vector<std::string> Values;
    std::vector<const char*> ValuePointers;
    std::vector<double> Xs, Ys;
    struct TPartAt {
        int32_t Kind;
        size_t First, Count;
    };
    std::vector<TPartAt> At;
    std::vector<TGdalPart> Parts;
    orvex_gdal::TFeatureHandle Feature;
};

namespace orvex_gdal {
namespace {

OGRLayerH LayerOf(TGdalSource* Source, int32_t Layer) {
    OGRLayerH L = Source ? GDALDatasetGetLayer(Source->Data, Layer) : nullptr;
    if (!L) SetError("the file has no layer " + std::to_string(Layer), false);
    return L;
}

// Appends G's points to the reader's arrays as one part; false with the error set.
bool AddPart(TGdalReader& R, OGRGeometryH G, int32_t Kind) {
    const int Count = OGR_G_GetPointCount(G);
    if (Count <= 0) return true;
    const size_t First = R.Xs.size(), N = static_cast<size_t>(Count);
    R.Xs.resize(First + N);
    R.Ys.resize(First + N);
    OGR_G_GetPoints(G, R.Xs.data() + First, sizeof(double), R.Ys.data() + First, sizeof(double), nullptr, 0);
    R.At.push_back({Kind, First, N});
    return true;
}

// The parts of G in order: each point, line and ring, with collections opened up.
bool AddGeometry(TGdalReader& R, OGRGeometryH G) {
    if (OGR_G_IsEmpty(G)) return true;
    if (OGR_G_HasCurveGeometry(G, TRUE)) {
        const TGeometry Linear(OGR_G_GetLinearGeometry(G, 0, nullptr));
        if (!Linear || OGR_G_HasCurveGeometry(Linear.get(), TRUE)) {
            SetError("GDAL cannot turn its curves into lines", false);
            return false;
        }
        return AddGeometry(R, Linear.get());
    }
    switch (wkbFlatten(OGR_G_GetGeometryType(G))) {
        case wkbPoint:
            return AddPart(R, G, gpPoint);
        case wkbLineString:
        case wkbLinearRing:
            return AddPart(R, G, gpLine);
        case wkbPolygon:
        case wkbTriangle:
            for (int I = 0; I < OGR_G_GetGeometryCount(G); ++I)
                if (!AddPart(R, OGR_G_GetGeometryRef(G, I), gpRing)) return false;
            return true;
        case wkbMultiPoint:
        case wkbMultiLineString:
        case wkbMultiPolygon:
        case wkbGeometryCollection:
        case wkbPolyhedralSurface:
        case wkbTIN:
            for (int I = 0; I < OGR_G_GetGeometryCount(G); ++I)
                if (!AddGeometry(R, OGR_G_GetGeometryRef(G, I))) return false;
            return true;
        default:
            SetError(std::string("the geometry type ") + OGRGeometryTypeToName(OGR_G_GetGeometryType(G)) +
                         " is not supported",
                     false);
            return false;
    }
}

// Divides and converts every point read for the feature.
bool ConvertPoints(TGdalReader& R) {
    if (R.Divisor != 1)
        for (size_t I = 0; I < R.Xs.size(); ++I) {
            R.Xs[I] /= R.Divisor;
            R.Ys[I] /= R.Divisor;
        }
    const auto N = static_cast<int64_t>(R.Xs.size());
    return !R.Conversion || Convert(R.Conversion.get(), N, R.Xs.data(), R.Ys.data()) == N;
}

}  // namespace

TGdalSource* Open(const char* Path) {
    return Guarded<TGdalSource*>(nullptr, [&]() -> TGdalSource* {
        RegisterDrivers();
        const TQuietErrors Quiet;
        auto Source = std::make_unique<TGdalSource>();
        Source->Data = GDALOpenEx(Path, GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
        if (!Source->Data) {
            SetError("GDAL cannot read the file as vector data");
            return nullptr;
        }
        return Source.release();
    });
}

void Close(TGdalSource* Source) { delete Source; }

int32_t LayerCount(TGdalSource* Source) { return Source ? GDALDatasetGetLayerCount(Source->Data) : 0; }

const char* LayerName(TGdalSource* Source, int32_t Layer) {
    OGRLayerH L = LayerOf(Source, Layer);
    return L ? OGR_L_GetName(L) : nullptr;
}

int32_t FieldCount(TGdalSource* Source, int32_t Layer) {
    OGRLayerH L = LayerOf(Source, Layer);
    return L ? OGR_FD_GetFieldCount(OGR_L_GetLayerDefn(L)) : -1;
}

const char* FieldName(TGdalSource* Source, int32_t Layer, int32_t Field) {
    OGRLayerH L = LayerOf(Source, Layer);
    if (!L) return nullptr;
    OGRFieldDefnH Definition = OGR_FD_GetFieldDefn(OGR_L_GetLayerDefn(L), Field);
    if (!Definition) SetError("the layer has no field " + std::to_string(Field), false);
    return Definition ? OGR_Fld_GetNameRef(Definition) : nullptr;
}

TGdalReader* ReadLayer(TGdalSource* Source, int32_t Layer, const int32_t* Fields, int32_t Count, double Divisor) {
    return Guarded<TGdalReader*>(nullptr, [&]() -> TGdalReader* {
        OGRLayerH L = LayerOf(Source, Layer);
        if (!L) return nullptr;
        if (!(Divisor > 0)) {
            SetError("the divisor must be positive", false);
            return nullptr;
        }
        auto R = std::make_unique<TGdalReader>();
        R->Layer = L;
        R->Divisor = Divisor;
        const int32_t Available = OGR_FD_GetFieldCount(OGR_L_GetLayerDefn(L));
        for (int32_t I = 0; I < Count; ++I) {
            if (Fields[I] < 0 || Fields[I] >= Available) {
                SetError("the layer has no field " + std::to_string(Fields[I]), false);
                return nullptr;
            }
            R->Fields.push_back(Fields[I]);
        }
        R->Values.resize(R->Fields.size());
        R->ValuePointers.resize(R->Fields.size());
        if (OGRSpatialReferenceH LayerSrs = OGR_L_GetSpatialRef(L)) {
            const TQuietErrors Quiet;
            R->Conversion.reset(MakeConversion(TSrs(OSRClone(LayerSrs))));
            if (!R->Conversion) return nullptr;
        }
        OGR_L_ResetReading(L);
        return R.release();
    });
}

int32_t NextFeature(TGdalReader* R, TGdalFeature* Feature) {
    return Guarded<int32_t>(-1, [&]() -> int32_t {
        {
            const TQuietErrors Quiet;
            R->Feature.reset(OGR_L_GetNextFeature(R->Layer));
            if (!R->Feature && CPLGetLastErrorType() >= CE_Failure) {
                SetError("GDAL cannot read it");
                return -1;
            }
        }
        if (!R->Feature) return 0;
        OGRFeatureH F = R->Feature.get();
        for (size_t I = 0; I < R->Fields.size(); ++I) {
            const bool Set = OGR_F_IsFieldSetAndNotNull(F, R->Fields[I]);
            if (Set) R->Values[I] = OGR_F_GetFieldAsString(F, R->Fields[I]);
            R->ValuePointers[I] = Set ? R->Values[I].c_str() : nullptr;
        }
        R->Xs.clear();
        R->Ys.clear();
        R->At.clear();
        if (OGRGeometryH G = OGR_F_GetGeometryRef(F))
            if (!AddGeometry(*R, G) || !ConvertPoints(*R)) return -1;
        if (R->At.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
            SetError("the feature has more parts than can be counted", false);
            return -1;
        }
        // The pointers are taken once the arrays are whole: they move while they grow.
        R->Parts.clear();
        for (const TGdalReader::TPartAt& P : R->At)
            R->Parts.push_back({P.Kind, static_cast<int32_t>(P.Count), R->Xs.data() + P.First, R->Ys.data() + P.First});
        Feature->Fields = R->ValuePointers.data();
        Feature->Parts = R->Parts.data();
        Feature->PartCount = static_cast<int32_t>(R->Parts.size());
        return 1;
    });
}

void EndLayer(TGdalReader* Reader) { delete Reader; }

}  // namespace orvex_gdal

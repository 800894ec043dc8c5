// Writing: one layer of features with an ID and a title, in longitude and latitude.
#include "gdal/GdalModuleSupport.h"

struct TGdalExport {
    GDALDatasetH Data = nullptr;
    OGRLayerH Layer = nullptr;
    bool Transaction = false;
    ~TGdalExport() {
        if (Data) GDALClose(Data);
    }
};

namespace orvex_gdal {
namespace {

// Shape's geometry of the points, or null (with the error set) when GDAL cannot make it.
TGeometry MakeGeometry(int32_t Shape, int32_t Count, const double* X, const double* Y) {
    auto Line = [&](OGRwkbGeometryType Type) {
        TGeometry G(OGR_G_CreateGeometry(Type));
        if (G) OGR_G_SetPoints(G.get(), Count, X, sizeof(double), Y, sizeof(double), nullptr, 0);
        return G;
    };
    TGeometry G;
    switch (Shape) {
        case gsPoint:
            G = Line(wkbPoint);
            break;
        case gsMultiPoint:
            G.reset(OGR_G_CreateGeometry(wkbMultiPoint));
            for (int32_t I = 0; G && I < Count; ++I) {
                OGRGeometryH Point = OGR_G_CreateGeometry(wkbPoint);
                OGR_G_SetPoint_2D(Point, 0, X[I], Y[I]);
                if (OGR_G_AddGeometryDirectly(G.get(), Point) != OGRERR_NONE) G.reset();
            }
            break;
        case gsLine:
            G = Line(wkbLineString);
            break;
        case gsPolygon: {
            G.reset(OGR_G_CreateGeometry(wkbPolygon));
            TGeometry Ring = Line(wkbLinearRing);
            if (G && Ring && OGR_G_AddGeometryDirectly(G.get(), Ring.release()) == OGRERR_NONE)
                OGR_G_CloseRings(G.get());
            else
                G.reset();
            break;
        }
        default:
            SetError("unknown shape " + std::to_string(Shape), false);
            return nullptr;
    }
    if (!G) SetError("GDAL cannot make the geometry");
    return G;
}

}  // namespace

TGdalExport* CreateExport(const char* Path, const char* DriverName, const char* LayerName) {
    return Guarded<TGdalExport*>(nullptr, [&]() -> TGdalExport* {
        RegisterDrivers();
        const TQuietErrors Quiet;
        GDALDriverH Driver = GDALGetDriverByName(DriverName);
        if (!Driver) {
            SetError(std::string("GDAL has no ") + DriverName + " driver", false);
            return nullptr;
        }
        auto E = std::make_unique<TGdalExport>();
        E->Data = GDALCreate(Driver, Path, 0, 0, 0, GDT_Unknown, nullptr);
        if (!E->Data) {
            SetError("GDAL cannot create the file");
            return nullptr;
        }
        const TSrs Srs = LongitudeLatitude();
        if (!Srs) return nullptr;
        E->Layer = GDALDatasetCreateLayer(E->Data, LayerName, Srs.get(), wkbUnknown, nullptr);
        if (!E->Layer) {
            SetError("GDAL cannot create the layer");
            return nullptr;
        }
        OGRFieldDefnH Id = OGR_Fld_Create("ID", OFTInteger);
        OGRFieldDefnH Title = OGR_Fld_Create("Title", OFTString);
        const bool Fields = OGR_L_CreateField(E->Layer, Id, TRUE) == OGRERR_NONE &&
                            OGR_L_CreateField(E->Layer, Title, TRUE) == OGRERR_NONE;
        OGR_Fld_Destroy(Id);
        OGR_Fld_Destroy(Title);
        if (!Fields) {
            SetError("GDAL cannot create the fields ID and Title");
            return nullptr;
        }
        // One transaction: GeoPackage writes a feature at a time otherwise.
        E->Transaction = GDALDatasetStartTransaction(E->Data, FALSE) == OGRERR_NONE;
        return E.release();
    });
}

bool WriteFeature(TGdalExport* E, int32_t ID, const char* Title, int32_t Shape, int32_t Count, const double* X,
                  const double* Y) {
    return Guarded(false, [&] {
        const TQuietErrors Quiet;
        const TFeatureHandle Feature(OGR_F_Create(OGR_L_GetLayerDefn(E->Layer)));
        if (!Feature) {
            SetError("GDAL cannot make a feature");
            return false;
        }
        OGR_F_SetFieldInteger(Feature.get(), 0, ID);
        OGR_F_SetFieldString(Feature.get(), 1, Title);
        if (Shape != gsNone && Count > 0) {
            TGeometry G = MakeGeometry(Shape, Count, X, Y);
            if (!G) return false;
            OGR_F_SetGeometryDirectly(Feature.get(), G.release());
        }
        if (OGR_L_CreateFeature(E->Layer, Feature.get()) != OGRERR_NONE) {
            SetError("GDAL cannot write it");
            return false;
        }
        return true;
    });
}

bool FinishExport(TGdalExport* Export) {
    const std::unique_ptr<TGdalExport> E(Export);
    const TQuietErrors Quiet;
    if (E->Transaction && GDALDatasetCommitTransaction(E->Data) != OGRERR_NONE) {
        SetError("GDAL cannot finish the file");
        return false;
    }
    // Closing writes what the driver still holds; its failure shows only as an error raised.
    CPLErrorReset();
    GDALClose(E->Data);
    E->Data = nullptr;
    if (CPLGetLastErrorType() >= CE_Failure) {
        SetError("GDAL cannot finish the file");
        return false;
    }
    return true;
}

void AbandonExport(TGdalExport* Export) {
    const TQuietErrors Quiet;
    delete Export;
}

}  // namespace orvex_gdal

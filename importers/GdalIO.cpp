#include "importers/GdalIO.h"

#include "foundation/OrvexExceptions.h"
#include "foundation/ProgressAborted.h"

const char* const kNoGdalText = "GDAL support is not built in";

#ifndef ORVEX_HAVE_GDAL

bool GdalAvailable() { return false; }
bool GdalReadsExtension(const std::string&) { return false; }
std::string GdalImportPatterns() { return {}; }
void ImportGDAL(const std::vector<std::string>&, TOrvex3&, TSHPImportOptions*) { throw EOrvexException(kNoGdalText); }
bool CanExportGDAL(const std::string&) { return false; }
int64_t ExportGDAL(const TOrvexLayer&, const std::string&) { throw EOrvexException(kNoGdalText); }

#else

#include <QComboBox>
#include <cpl_conv.h>
#include <cpl_error.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <sstream>
#include <limits>
#include <memory>
#include <mutex>
#include <system_error>

#include "importers/ImportSupport.h"
#include "importers/TfrmSHPImport.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "platform/UiServices.h"
#include "styling/OrvexPresenter.h"
#include "styling/PointPresenter.h"
#include "styling/PolygonPresenter.h"
#include "styling/PolylinePresenter.h"
#include "view/Orvex3.h"

namespace {

void RegisterDrivers() {
    static std::once_flag Once;
    std::call_once(Once, [] { GDALAllRegister(); });
}

// GDAL's messages are kept for our errors instead of going to standard error.
struct TQuietErrors {
    TQuietErrors() {
        CPLPushErrorHandler(CPLQuietErrorHandler);
        CPLErrorReset();
    }
    ~TQuietErrors() { CPLPopErrorHandler(); }
    TQuietErrors(const TQuietErrors&) = delete;
    TQuietErrors& operator=(const TQuietErrors&) = delete;
};

std::string LastGdalError() {
    const char* Text = CPLGetLastErrorMsg();
    return Text && *Text ? Text : "GDAL gave no reason";
}

struct TDatasetCloser {
    void operator()(void* D) const { GDALClose(D); }
};
using TDataset = std::unique_ptr<void, TDatasetCloser>;
struct TFeatureDeleter {
    void operator()(OGRFeatureH F) const { OGR_F_Destroy(F); }
};
using TFeature = std::unique_ptr<std::remove_pointer_t<OGRFeatureH>, TFeatureDeleter>;
struct TGeometryDeleter {
    void operator()(OGRGeometryH G) const { OGR_G_DestroyGeometry(G); }
};
using TGeometry = std::unique_ptr<std::remove_pointer_t<OGRGeometryH>, TGeometryDeleter>;
struct TSrsReleaser {
    void operator()(OGRSpatialReferenceH S) const { OSRRelease(S); }
};
using TSrs = std::unique_ptr<std::remove_pointer_t<OGRSpatialReferenceH>, TSrsReleaser>;
struct TTransformDeleter {
    void operator()(OGRCoordinateTransformationH T) const { OCTDestroyCoordinateTransformation(T); }
};
using TTransform = std::unique_ptr<std::remove_pointer_t<OGRCoordinateTransformationH>, TTransformDeleter>;

// WGS 84 longitude and latitude, longitude first whatever the authority's axis order.
TSrs LongitudeLatitude() {
    TSrs Srs(OSRNewSpatialReference(nullptr));
    if (OSRSetWellKnownGeogCS(Srs.get(), "WGS84") != OGRERR_NONE)
        throw EOrvexException("GDAL cannot set up longitude and latitude (WGS 84): " + LastGdalError());
    OSRSetAxisMappingStrategy(Srs.get(), OAMS_TRADITIONAL_GIS_ORDER);
    return Srs;
}

// One run over the files.
struct TGdalImporter {
    TGdalImporter(TOrvex3& V, TSHPImportOptions& O) : View(V), Options(O) {}

    TOrvex3& View;
    TSHPImportOptions& Options;
    // Reused for every part: no allocation per point once they have grown.
    std::vector<double> Xs, Ys;
    std::vector<int> Success;
    std::vector<TPoint3D> Points;

    std::string Path;  // of the file, and ": layer" when it holds several
    TTransform Transform;
    long double Divisor = 1;
    int32_t Counter = 0;  // features read; the objects' IDs
    std::string Title;
    TOrvexLayer* Layer = nullptr;
    std::unique_ptr<TLayerFill> Fill;
    TOrvexPresenter* PointPresenter = nullptr;
    TOrvexPresenter* PolylinePresenter = nullptr;
    TOrvexPresenter* PolygonPresenter = nullptr;
    bool Reported = false;

    bool ImportFile(const std::string& FilePath);
    bool ImportLayer(OGRLayerH Source, const std::string& FilePath, bool Several);
    void Geometry(OGRGeometryH G);
    void Part(OGRGeometryH G, TOrvexPresenter* Presenter);
    void MakeObject(TOrvexPresenter* Presenter, int32_t Count);
    void Progress();
    void FindPresenters();
    [[noreturn]] void ReportAndFail(const std::string& Text);
    [[noreturn]] void Fail(const std::string& Message) const;
};

void TGdalImporter::ReportAndFail(const std::string& Text) {
    Reported = true;
    View.Progress(-1, Text);
    throw EImportError(Text);
}

void TGdalImporter::Fail(const std::string& Message) const {
    throw EImportError(Format("%s, feature %d: %s", Path.c_str(), Counter, Message.c_str()));
}

void TGdalImporter::FindPresenters() {
    PointPresenter = Layer->FindPresenter("", -1);
    PolylinePresenter = Layer->FindPresenter("", -2);
    PolygonPresenter = Layer->FindPresenter("", -3);
}

void TGdalImporter::Progress() {
    if (!View.Progress(0, Format("Imported %d objects", Layer->ObjectCount()))) {
        Fill->CheckAlive(Path);
        FindPresenters();
        return;
    }
    // Cancelled: the half-filled layer goes, the layers of earlier files stay.
    Fill->CheckAlive(Path);
    Fill.reset();
    delete Layer;
    Layer = nullptr;
    // The user's own choice: no message, as for the other importers.
    Reported = true;
    throw EProgressAborted("Import of " + Path + " cancelled");
}

bool TGdalImporter::ImportFile(const std::string& FilePath) {
    Path = FilePath;
    TDataset Data;
    {
        const TQuietErrors Quiet;
        Data.reset(GDALOpenEx(FilePath.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr));
        if (!Data) ReportAndFail(FilePath + ": GDAL cannot read the file as vector data: " + LastGdalError());
    }
    const int Count = GDALDatasetGetLayerCount(Data.get());
    if (Count <= 0) ReportAndFail(FilePath + ": the file holds no vector layers");
    for (int I = 0; I < Count; ++I)
        if (!ImportLayer(GDALDatasetGetLayer(Data.get(), I), FilePath, Count > 1)) return false;
    return true;
}

bool TGdalImporter::ImportLayer(OGRLayerH Source, const std::string& FilePath, bool Several) {
    const std::string SourceName = OGR_L_GetName(Source);
    Path = Several ? FilePath + ": " + SourceName : FilePath;
    Counter = 0;
    Divisor = 1;
    int32_t TitleColumn = -1;
    OGRFeatureDefnH Definition = OGR_L_GetLayerDefn(Source);
    if (const int Fields = OGR_FD_GetFieldCount(Definition); Fields > 0) {
        std::vector<std::string> Columns;
        for (int I = 0; I < Fields; ++I) Columns.push_back(OGR_Fld_GetNameRef(OGR_FD_GetFieldDefn(Definition, I)));
        std::string DivisorText;
        TitleColumn = 0;
        if (!Options.Choose(FileNamePart(FilePath) + (Several ? ": " + SourceName : ""), Columns, TitleColumn,
                            DivisorText))
            return false;
        Divisor = ParseDivisor(Path, DivisorText);
        if (TitleColumn >= Fields) TitleColumn = -1;
    }

    Transform.reset();
    if (OGRSpatialReferenceH LayerSrs = OGR_L_GetSpatialRef(Source)) {
        const TQuietErrors Quiet;
        TSrs From(OSRClone(LayerSrs));
        OSRSetAxisMappingStrategy(From.get(), OAMS_TRADITIONAL_GIS_ORDER);
        const TSrs To = LongitudeLatitude();
        Transform.reset(OCTNewCoordinateTransformation(From.get(), To.get()));
        if (!Transform)
            ReportAndFail(Path + ": the coordinates cannot be transformed to longitude and latitude: " + LastGdalError());
    }

    Layer = View.AddLayer(Several ? FileBaseName(FilePath) + " " + SourceName : FileBaseName(FilePath));
    Layer->SetMaxFontHeight(9);
    Fill = std::make_unique<TLayerFill>(View, Layer);
    FindPresenters();
    OGR_L_ResetReading(Source);
    int32_t LastReport = -1;
    while (true) {
        TFeature Feature;
        {
            const TQuietErrors Quiet;
            Feature.reset(OGR_L_GetNextFeature(Source));
            if (!Feature && CPLGetLastErrorType() >= CE_Failure) Fail("GDAL cannot read it: " + LastGdalError());
        }
        if (!Feature) break;
        if (Counter == std::numeric_limits<int32_t>::max()) Fail("the layer has more features than object IDs can number");
        ++Counter;
        Title.clear();
        if (TitleColumn >= 0 && OGR_F_IsFieldSetAndNotNull(Feature.get(), TitleColumn))
            Title = OGR_F_GetFieldAsString(Feature.get(), TitleColumn);
        if (OGRGeometryH G = OGR_F_GetGeometryRef(Feature.get())) Geometry(G);
        if (const int32_t Objects = Layer->ObjectCount(); Objects / 100 != LastReport / 100 || LastReport < 0) {
            LastReport = Objects;
            Progress();
        }
    }
    Fill.reset();
    View.Progress(0, Format("Imported %d objects", Layer->ObjectCount()));
    return true;
}

void TGdalImporter::Geometry(OGRGeometryH G) {
    if (OGR_G_IsEmpty(G)) return;
    if (OGR_G_HasCurveGeometry(G, TRUE)) {
        const TGeometry Linear(OGR_G_GetLinearGeometry(G, 0, nullptr));
        if (!Linear) Fail("GDAL cannot turn its curves into lines");
        if (!OGR_G_HasCurveGeometry(Linear.get(), TRUE)) Geometry(Linear.get());
        return;
    }
    switch (wkbFlatten(OGR_G_GetGeometryType(G))) {
        case wkbPoint:
            Part(G, PointPresenter);
            break;
        case wkbLineString:
        case wkbLinearRing:
            Part(G, PolylinePresenter);
            break;
        case wkbPolygon:
        case wkbTriangle:
            // Each ring, holes included, is an object of its own, as a shapefile's parts are.
            for (int I = 0; I < OGR_G_GetGeometryCount(G); ++I) Part(OGR_G_GetGeometryRef(G, I), PolygonPresenter);
            break;
        case wkbMultiPoint:
        case wkbMultiLineString:
        case wkbMultiPolygon:
        case wkbGeometryCollection:
        case wkbPolyhedralSurface:
        case wkbTIN:
            for (int I = 0; I < OGR_G_GetGeometryCount(G); ++I) Geometry(OGR_G_GetGeometryRef(G, I));
            break;
        default:
            Fail(Format("the geometry type %s is not supported", OGRGeometryTypeToName(OGR_G_GetGeometryType(G))));
    }
}

void TGdalImporter::Part(OGRGeometryH G, TOrvexPresenter* Presenter) {
    const int Count = OGR_G_GetPointCount(G);
    if (Count <= 0) return;
    const auto N = static_cast<size_t>(Count);
    if (Xs.size() < N) {
        Xs.resize(N);
        Ys.resize(N);
        Success.resize(N);
        Points.resize(N);
    }
    OGR_G_GetPoints(G, Xs.data(), sizeof(double), Ys.data(), sizeof(double), nullptr, 0);
    if (Divisor != 1)
        for (size_t I = 0; I < N; ++I) {
            Xs[I] = static_cast<double>(Xs[I] / Divisor);
            Ys[I] = static_cast<double>(Ys[I] / Divisor);
        }
    if (Transform) {
        const TQuietErrors Quiet;
        const int Done = OCTTransformEx(Transform.get(), Count, Xs.data(), Ys.data(), nullptr, Success.data());
        for (size_t I = 0; I < N; ++I)
            if (!Done || !Success[I])
                Fail(Format("the point (%.10g, %.10g) cannot be transformed to longitude and latitude", Xs[I], Ys[I]));
    }
    for (size_t I = 0; I < N; ++I) {
        const auto Longitude = CheckedDegrees(Xs[I]), Latitude = CheckedDegrees(Ys[I]);
        if (!Longitude || !Latitude || !(std::fabs(Ys[I]) <= 90))
            Fail(Format("the point (%.10g, %.10g) is not a longitude and latitude", Xs[I], Ys[I]));
        Points[I] = MakePoint(*Longitude, *Latitude);
    }
    MakeObject(Presenter, Count);
}

void TGdalImporter::MakeObject(TOrvexPresenter* Presenter, int32_t Count) {
    TGeoDataObject::Create(Layer, Presenter, Counter, Title)->SetPoints(Points.data(), Count);
}

const char* ExportDriver(const std::string& Path) {
    if (HasExtension(Path, ".gpkg")) return "GPKG";
    if (HasExtension(Path, ".geojson") || HasExtension(Path, ".json")) return "GeoJSON";
    return nullptr;
}

// The geometry an object stands for, by the kind of its presenter: points (one, or several as
// a multipoint), a line, or a polygon's ring. Without a presenter one point is a point and more
// are a line.
TGeometry ObjectGeometry(const TOrvexObject& Object, std::vector<double>& Xs, std::vector<double>& Ys) {
    const int32_t Count = Object.GetPointCount();
    const TOrvexPresenter* Presenter = Object.Presenter();
    const bool Polygon = dynamic_cast<const TPolygonPresenter*>(Presenter) != nullptr;
    const bool Points = dynamic_cast<const TPointPresenter*>(Presenter) != nullptr ||
                        (!Polygon && !dynamic_cast<const TPolylinePresenter*>(Presenter) && Count == 1);
    // The coordinates go in at once from buffers reused for every object.
    if (Xs.size() < static_cast<size_t>(std::max(Count, 0))) {
        Xs.resize(static_cast<size_t>(Count));
        Ys.resize(static_cast<size_t>(Count));
    }
    for (int32_t I = 0; I < Count; ++I) {
        const TPoint3D P = Object.GetPoint(I);
        Xs[static_cast<size_t>(I)] = static_cast<double>(OrvexUnitsToDeg(P.X));
        Ys[static_cast<size_t>(I)] = static_cast<double>(OrvexUnitsToDeg(P.Y));
    }
    auto Add = [&](OGRGeometryH G) { OGR_G_SetPoints(G, Count, Xs.data(), sizeof(double), Ys.data(), sizeof(double), nullptr, 0); };
    if (Count <= 0) return nullptr;
    if (Points && Count == 1) {
        TGeometry G(OGR_G_CreateGeometry(wkbPoint));
        Add(G.get());
        return G;
    }
    if (Points) {
        TGeometry G(OGR_G_CreateGeometry(wkbMultiPoint));
        for (size_t I = 0; I < static_cast<size_t>(Count); ++I) {
            OGRGeometryH Point = OGR_G_CreateGeometry(wkbPoint);
            OGR_G_SetPoint_2D(Point, 0, Xs[I], Ys[I]);
            OGR_G_AddGeometryDirectly(G.get(), Point);
        }
        return G;
    }
    if (Polygon) {
        TGeometry G(OGR_G_CreateGeometry(wkbPolygon));
        OGRGeometryH Ring = OGR_G_CreateGeometry(wkbLinearRing);
        Add(Ring);
        OGR_G_AddGeometryDirectly(G.get(), Ring);
        OGR_G_CloseRings(G.get());
        return G;
    }
    TGeometry G(OGR_G_CreateGeometry(wkbLineString));
    Add(G.get());
    return G;
}

// Removes the file it names unless released: a half-written export.
struct TPartialFile {
    std::string Path;
    ~TPartialFile() {
        if (Path.empty()) return;
        std::error_code Ec;
        std::filesystem::remove(Path, Ec);
    }
};

// Lower-case extensions, without the dot, that GDAL's vector drivers claim.
const std::set<std::string>& VectorExtensions() {
    static const std::set<std::string> Extensions = [] {
        RegisterDrivers();
        std::set<std::string> R;
        for (int I = 0; I < GDALGetDriverCount(); ++I) {
            GDALDriverH Driver = GDALGetDriver(I);
            if (!GDALGetMetadataItem(Driver, GDAL_DCAP_VECTOR, nullptr)) continue;
            const char* List = GDALGetMetadataItem(Driver, GDAL_DMD_EXTENSIONS, nullptr);
            std::istringstream In(List ? List : "");
            for (std::string E; In >> E;) {
                for (char& C : E) C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
                R.insert(E);
            }
        }
        for (const char* Ours : {"shp", "shx", "dbf", "mif", "mid", "e00", "lyr", "prf"}) R.erase(Ours);
        return R;
    }();
    return Extensions;
}

}  // namespace

bool GdalReadsExtension(const std::string& Path) {
    const std::string Name = FileNamePart(Path);
    const size_t Dot = Name.find_last_of('.');
    if (Dot == std::string::npos) return false;
    std::string Extension = Name.substr(Dot + 1);
    for (char& C : Extension) C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
    return VectorExtensions().count(Extension) > 0;
}

std::string GdalImportPatterns() {
    std::string R;
    for (const std::string& E : VectorExtensions()) R += (R.empty() ? "*." : " *.") + E;
    return R;
}

bool CanExportGDAL(const std::string& Path) { return ExportDriver(Path) != nullptr; }

int64_t ExportGDAL(const TOrvexLayer& Layer, const std::string& Path) {
    RegisterDrivers();
    const char* DriverName = ExportDriver(Path);
    if (!DriverName)
        throw EOrvexException(Format("Cannot export to %s: the file name must end in .gpkg or .geojson", Path.c_str()));
    const TQuietErrors Quiet;
    GDALDriverH Driver = GDALGetDriverByName(DriverName);
    if (!Driver) throw EOrvexException(Format("Cannot export to %s: GDAL has no %s driver", Path.c_str(), DriverName));

    // Beside the target, with its extension, so that the driver and the rename stay on one
    // file system.
    const size_t Slash = Path.find_last_of('/');
    const std::string Folder = Slash == std::string::npos ? "" : Path.substr(0, Slash + 1);
    const std::string Name = FileNamePart(Path);
    const std::string Extension = Name.substr(Name.find_last_of('.'));
    TPartialFile Partial{Folder + "." + FileBaseName(Path) + Format(".partial-%d", int(::getpid())) + Extension};
    std::error_code Ignored;
    std::filesystem::remove(Partial.Path, Ignored);
    auto Fail = [&](const std::string& What) -> EOrvexException {
        return EOrvexException(Format("Cannot export to %s: %s: %s", Path.c_str(), What.c_str(), LastGdalError().c_str()));
    };

    int64_t Written = 0;
    {
        TDataset Data(GDALCreate(Driver, Partial.Path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
        if (!Data) throw Fail("GDAL cannot create the file");
        const TSrs Srs = LongitudeLatitude();
        const std::string LayerName = Layer.Name().empty() ? FileBaseName(Path) : Layer.Name();
        OGRLayerH Target = GDALDatasetCreateLayer(Data.get(), LayerName.c_str(), Srs.get(), wkbUnknown, nullptr);
        if (!Target) throw Fail("GDAL cannot create the layer");
        OGRFieldDefnH Id = OGR_Fld_Create("ID", OFTInteger);
        OGRFieldDefnH Title = OGR_Fld_Create("Title", OFTString);
        const bool Fields = OGR_L_CreateField(Target, Id, TRUE) == OGRERR_NONE &&
                            OGR_L_CreateField(Target, Title, TRUE) == OGRERR_NONE;
        OGR_Fld_Destroy(Id);
        OGR_Fld_Destroy(Title);
        if (!Fields) throw Fail("GDAL cannot create the fields ID and Title");
        // One transaction: GeoPackage writes a feature at a time otherwise.
        const bool Transaction = GDALDatasetStartTransaction(Data.get(), FALSE) == OGRERR_NONE;
        OGRFeatureDefnH Definition = OGR_L_GetLayerDefn(Target);
        std::vector<double> Xs, Ys;
        for (const TOrvexObject* Object : Layer.Objects()) {
            if (!dynamic_cast<const TGeoDataObject*>(Object) && !dynamic_cast<const TSinglePointObject*>(Object))
                continue;
            const TFeature Feature(OGR_F_Create(Definition));
            OGR_F_SetFieldInteger(Feature.get(), 0, Object->ID());
            OGR_F_SetFieldString(Feature.get(), 1, Object->Title().c_str());
            if (TGeometry G = ObjectGeometry(*Object, Xs, Ys)) OGR_F_SetGeometryDirectly(Feature.get(), G.release());
            if (OGR_L_CreateFeature(Target, Feature.get()) != OGRERR_NONE)
                throw Fail(Format("GDAL cannot write object %lld", static_cast<long long>(Written + 1)));
            ++Written;
        }
        if (Transaction && GDALDatasetCommitTransaction(Data.get()) != OGRERR_NONE)
            throw Fail("GDAL cannot finish the file");
        CPLErrorReset();
    }
    if (CPLGetLastErrorType() >= CE_Failure) throw Fail("GDAL cannot finish the file");
    std::error_code Ec;
    std::filesystem::rename(Partial.Path, Path, Ec);
    if (Ec) throw EOrvexException(Format("Cannot export to %s: %s", Path.c_str(), Ec.message().c_str()));
    Partial.Path.clear();
    return Written;
}

bool GdalAvailable() { return true; }

void ImportGDAL(const std::vector<std::string>& FileNames, TOrvex3& View, TSHPImportOptions* Options) {
    RegisterDrivers();
    TImportRun Run(View, "GDAL Import Finished");
    std::unique_ptr<TSHPImportDialogOptions> Dialog;
    if (!Options) {
        Dialog = std::make_unique<TSHPImportDialogOptions>();
        // GDAL decodes the text of these formats itself.
        Dialog->Dialog().cbxEncoding->setVisible(false);
        Options = Dialog.get();
    }
    TGdalImporter Importer(View, *Options);
    for (const std::string& Path : FileNames) {
        UiServices().ProcessMessages();
        View.Progress(1, "GDAL Import of " + Path);
        Importer.Reported = false;
        try {
            if (!Importer.ImportFile(Path)) return;
        } catch (const std::exception& E) {
            Importer.Fill.reset();
            if (!Importer.Reported) View.Progress(-1, E.what());
            throw;
        }
    }
}

#endif  // ORVEX_HAVE_GDAL

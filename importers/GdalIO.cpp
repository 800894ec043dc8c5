#include "importers/GdalIO.h"

#include <QComboBox>
#include <QString>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <memory>
#include <set>
#include <sstream>
#include <utility>

#include "foundation/OrvexExceptions.h"
#include "foundation/ProgressAborted.h"
#include "importers/GdalLoader.h"
#include "importers/ImportDriver.h"
#include "importers/ImportSupport.h"
#include "importers/TfrmSHPImport.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "platform/AtomicFile.h"
#include "platform/Text.h"
#include "styling/OrvexPresenter.h"
#include "styling/PointPresenter.h"
#include "styling/PolygonPresenter.h"
#include "styling/PolylinePresenter.h"
#include "view/Orvex3.h"

const char* const kNoGdalText = "GDAL support is not built in";

namespace {

// The module, or EOrvexException saying why there is none.
const TGdalInterface& Gdal() {
    if (const TGdalInterface* G = GdalModule()) return *G;
    throw EOrvexException(GdalModuleError());
}

struct TSourceCloser {
    void operator()(TGdalSource* S) const { Gdal().Close(S); }
};
using TSource = std::unique_ptr<TGdalSource, TSourceCloser>;
struct TReaderEnder {
    void operator()(TGdalReader* R) const { Gdal().EndLayer(R); }
};
using TReader = std::unique_ptr<TGdalReader, TReaderEnder>;

// One run over the files.
struct TGdalImporter {
    TGdalImporter(TImportDriver& D, TSHPImportOptions& O) : Driver(D), Options(O) {}

    TImportDriver& Driver;
    TSHPImportOptions& Options;
    std::vector<TPoint3D> Points;  // reused for every part

    std::string Path;  // of the file, and ": layer" when it holds several
    int32_t Counter = 0;  // features read; the objects' IDs
    std::string Title;
    TOrvexLayer* Layer = nullptr;
    TOrvexPresenter* PointPresenter = nullptr;
    TOrvexPresenter* PolylinePresenter = nullptr;
    TOrvexPresenter* PolygonPresenter = nullptr;

    bool ImportFile(const std::string& FilePath, const std::string& LayerName);
    bool ImportLayer(TGdalSource* Source, int32_t Index, const std::string& FilePath, bool Several);
    void Part(const TGdalPart& P);
    void Progress();
    void FindPresenters();
    [[noreturn]] void ReportAndFail(const std::string& Text);
    [[noreturn]] void Fail(const std::string& Message) const;
};

void TGdalImporter::ReportAndFail(const std::string& Text) { Driver.ReportAndFail(Text, Text); }

void TGdalImporter::Fail(const std::string& Message) const {
    throw EImportError(Format("%s, feature %d: %s", Path.c_str(), Counter, Message.c_str()));
}

void TGdalImporter::FindPresenters() {
    PointPresenter = Layer->FindPresenter("", -1);
    PolylinePresenter = Layer->FindPresenter("", -2);
    PolygonPresenter = Layer->FindPresenter("", -3);
}

// While the layer is filled: the handler may have changed the view, so the presenters are
// looked up again.
void TGdalImporter::Progress() {
    Driver.Progress(0, Format("Imported %d objects", Layer->ObjectCount()));
    FindPresenters();
}

std::vector<std::string> LayerNamesOf(TGdalSource* Source) {
    std::vector<std::string> Names;
    for (int32_t I = 0, N = Gdal().LayerCount(Source); I < N; ++I) {
        const char* Name = Gdal().LayerName(Source, I);
        Names.emplace_back(Name ? Name : "");
    }
    return Names;
}

bool TGdalImporter::ImportFile(const std::string& FilePath, const std::string& LayerName) {
    Path = FilePath;
    const TSource Source(Gdal().Open(FilePath.c_str()));
    if (!Source) ReportAndFail(FilePath + ": " + Gdal().LastError());
    const std::vector<std::string> Names = LayerNamesOf(Source.get());
    if (Names.empty()) ReportAndFail(FilePath + ": the file holds no vector layers");
    if (!LayerName.empty()) {
        const auto It = std::find(Names.begin(), Names.end(), LayerName);
        if (It == Names.end()) ReportAndFail(FilePath + ": the file has no layer '" + LayerName + "'");
        return ImportLayer(Source.get(), static_cast<int32_t>(It - Names.begin()), FilePath, Names.size() > 1);
    }
    for (size_t I = 0; I < Names.size(); ++I)
        if (!ImportLayer(Source.get(), static_cast<int32_t>(I), FilePath, Names.size() > 1)) return false;
    return true;
}

bool TGdalImporter::ImportLayer(TGdalSource* Source, int32_t Index, const std::string& FilePath, bool Several) {
    const char* Name = Gdal().LayerName(Source, Index);
    const std::string SourceName = Name ? Name : "";
    Path = Several ? FilePath + ": " + SourceName : FilePath;
    Counter = 0;
    long double Divisor = 1;
    int32_t TitleColumn = -1;
    if (const int32_t Fields = Gdal().FieldCount(Source, Index); Fields > 0) {
        std::vector<std::string> Columns;
        for (int32_t I = 0; I < Fields; ++I) {
            const char* Field = Gdal().FieldName(Source, Index, I);
            Columns.emplace_back(Field ? Field : "");
        }
        std::string DivisorText;
        TitleColumn = 0;
        if (!Options.Choose(FileNamePart(FilePath) + (Several ? ": " + SourceName : ""), Columns, TitleColumn,
                            DivisorText))
            return false;
        Divisor = ParseDivisor(Path, DivisorText);
        if (TitleColumn >= Fields) TitleColumn = -1;
    }
    const TReader Reader(Gdal().ReadLayer(Source, Index, &TitleColumn, TitleColumn >= 0 ? 1 : 0,
                                          static_cast<double>(Divisor)));
    if (!Reader) ReportAndFail(Path + ": " + Gdal().LastError());

    Layer = Driver.AddLayer(Several ? FileBaseName(FilePath) + " " + SourceName : FileBaseName(FilePath));
    Layer->SetMaxFontHeight(9);
    FindPresenters();
    int32_t LastReport = -1;
    TGdalFeature Feature{};
    while (true) {
        const int32_t Read = Gdal().NextFeature(Reader.get(), &Feature);
        if (Read < 0) Fail(Gdal().LastError());
        if (Read == 0) break;
        if (Counter == std::numeric_limits<int32_t>::max()) Fail("the layer has more features than object IDs can number");
        ++Counter;
        Title.clear();
        if (TitleColumn >= 0 && Feature.Fields[0]) Title = Feature.Fields[0];
        for (int32_t I = 0; I < Feature.PartCount; ++I) Part(Feature.Parts[I]);
        if (const int32_t Objects = Layer->ObjectCount(); Objects / 100 != LastReport / 100 || LastReport < 0) {
            LastReport = Objects;
            Progress();
        }
    }
    Driver.FinishLayer();
    Driver.Progress(0, Format("Imported %d objects", Layer->ObjectCount()));
    return true;
}

void TGdalImporter::Part(const TGdalPart& P) {
    if (P.Count <= 0) return;
    const auto N = static_cast<size_t>(P.Count);
    if (Points.size() < N) Points.resize(N);
    for (size_t I = 0; I < N; ++I) {
        const auto Longitude = CheckedDegrees(P.X[I]), Latitude = CheckedDegrees(P.Y[I]);
        if (!Longitude || !Latitude || !(std::fabs(P.Y[I]) <= 90))
            Fail(Format("the point (%.10g, %.10g) is not a longitude and latitude", P.X[I], P.Y[I]));
        Points[I] = MakePoint(*Longitude, *Latitude);
    }
    TOrvexPresenter* Presenter = P.Kind == gpPoint  ? PointPresenter
                                 : P.Kind == gpRing ? PolygonPresenter
                                                    : PolylinePresenter;
    TGeoDataObject::Create(Layer, Presenter, Counter, Title)->SetPoints(Points.data(), P.Count);
}

const char* ExportDriver(const std::string& Path) {
    if (HasExtension(Path, ".gpkg")) return "GPKG";
    if (HasExtension(Path, ".geojson") || HasExtension(Path, ".json")) return "GeoJSON";
    return nullptr;
}

// The shape an object stands for, by the kind of its presenter: points (one, or several as a
// multipoint), a line, or a polygon's ring. Without a presenter one point is a point and more
// are a line.
TGdalShape ObjectShape(const TOrvexObject& Object) {
    const int32_t Count = Object.GetPointCount();
    const TOrvexPresenter* Presenter = Object.Presenter();
    if (Count <= 0) return gsNone;
    if (dynamic_cast<const TPolygonPresenter*>(Presenter)) return gsPolygon;
    const bool Points = dynamic_cast<const TPointPresenter*>(Presenter) != nullptr ||
                        (!dynamic_cast<const TPolylinePresenter*>(Presenter) && Count == 1);
    if (Points) return Count == 1 ? gsPoint : gsMultiPoint;
    return gsLine;
}

// The export being written, abandoned unless finished.
struct TExportWriter {
    TGdalExport* Export = nullptr;
    ~TExportWriter() {
        if (Export) Gdal().AbandonExport(Export);
    }
    bool Finish() { return Gdal().FinishExport(std::exchange(Export, nullptr)); }
};

// The extensions of the designed importers, of layer files and of profiles: never GDAL's.
bool OwnExtension(const std::string& Extension) {
    for (const char* Ours : {"shp", "shx", "dbf", "mif", "mid", "e00", "lyr", "prf"})
        if (Extension == Ours) return true;
    return false;
}

// Lower-case extensions, without the dot, that GDAL's vector drivers claim, less our own.
const std::set<std::string>& VectorExtensions() {
    static const std::set<std::string> Extensions = [] {
        std::set<std::string> R;
        std::istringstream In(Gdal().VectorExtensions());
        for (std::string E; In >> E;)
            if (!OwnExtension(E)) R.insert(E);
        return R;
    }();
    return Extensions;
}

}  // namespace

bool GdalAvailable() { return GdalModule() != nullptr; }

const std::string& GdalUnavailableText() { return GdalModuleError(); }

bool GdalReadsExtension(const std::string& Path) {
    const std::string Name = FileNamePart(Path);
    const size_t Dot = Name.find_last_of('.');
    if (Dot == std::string::npos) return false;
    std::string Extension = Name.substr(Dot + 1);
    for (char& C : Extension) C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
    if (OwnExtension(Extension) || !GdalAvailable()) return false;
    return VectorExtensions().count(Extension) > 0;
}

std::string GdalImportPatterns() {
    std::string R;
    if (!GdalAvailable()) return R;
    for (const std::string& E : VectorExtensions()) R += (R.empty() ? "*." : " *.") + E;
    return R;
}

std::vector<std::string> GdalLayerNames(const std::string& Path) {
    const TSource Source(Gdal().Open(Path.c_str()));
    if (!Source) throw EImportError(Path + ": " + Gdal().LastError());
    return LayerNamesOf(Source.get());
}

bool CanExportGDAL(const std::string& Path) { return ExportDriver(Path) != nullptr; }

int64_t ExportGDAL(const TOrvexLayer& Layer, const std::string& Path) {
    const char* DriverName = ExportDriver(Path);
    if (!DriverName)
        throw EOrvexException(Format("Cannot export to %s: the file name must end in .gpkg or .geojson", Path.c_str()));
    const TGdalInterface& G = Gdal();

    // GDAL takes only a name, and the format may go by its extension.
    TAtomicFile Output(Path, TAtomicFile::TWriter::ByName);
    auto Fail = [&](const std::string& What, const std::string& Why) {
        return EOrvexException(Format("Cannot export to %s: %s%s", Path.c_str(), What.c_str(), Why.c_str()));
    };
    if (Output.Failed()) throw Fail("", Output.Error());

    int64_t Written = 0;
    const std::string LayerName = Utf8Text(Layer.Name().empty() ? FileBaseName(Path) : Layer.Name());
    TExportWriter Writer{G.CreateExport(Output.TempPath().c_str(), DriverName, LayerName.c_str())};
    if (!Writer.Export) throw Fail("", G.LastError());
    std::vector<double> Xs, Ys;
    for (const TOrvexObject* Object : Layer.Objects()) {
        if (!dynamic_cast<const TGeoDataObject*>(Object) && !dynamic_cast<const TSinglePointObject*>(Object)) continue;
        const int32_t Count = std::max(Object->GetPointCount(), 0);
        Xs.resize(static_cast<size_t>(Count));
        Ys.resize(static_cast<size_t>(Count));
        for (int32_t I = 0; I < Count; ++I) {
            const TPoint3D P = Object->GetPoint(I);
            Xs[static_cast<size_t>(I)] = static_cast<double>(OrvexUnitsToDeg(P.X));
            Ys[static_cast<size_t>(I)] = static_cast<double>(OrvexUnitsToDeg(P.Y));
        }
        if (!G.WriteFeature(Writer.Export, Object->ID(), Utf8Text(Object->Title()).c_str(), ObjectShape(*Object), Count,
                            Xs.data(), Ys.data()))
            throw Fail(Format("object %lld: ", static_cast<long long>(Written + 1)), G.LastError());
        ++Written;
    }
    if (!Writer.Finish()) throw Fail("", G.LastError());
    if (!Output.Commit()) throw Fail("", Output.Error());
    return Written;
}

void ImportGDAL(const std::vector<std::string>& FileNames, TOrvex3& View, TSHPImportOptions* Options,
                const std::string& LayerName) {
    Gdal();
    TImportDriver Driver(View, "GDAL Import Finished");
    std::unique_ptr<TSHPImportDialogOptions> Dialog;
    if (!Options) {
        Dialog = std::make_unique<TSHPImportDialogOptions>();
        // GDAL decodes the text of these formats itself.
        Dialog->Dialog().cbxEncoding->setVisible(false);
        Options = Dialog.get();
    }
    TGdalImporter Importer(Driver, *Options);
    Driver.Run(FileNames, "GDAL Import of ",
               [&](const std::string& Path) { return Importer.ImportFile(Path, LayerName); });
}

#include "importers/SHP2Orvex.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>
#include <type_traits>

#include "importers/ImportDriver.h"
#include "importers/ImportSupport.h"
#include "importers/ReadDBF.h"
#include "importers/SpatialReference.h"
#include "importers/TextEncoding.h"
#include "importers/TfrmSHPImport.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "platform/UiServices.h"
#include "styling/OrvexAttributes.h"
#include "styling/OrvexPresenter.h"
#include "view/Orvex3.h"

namespace {

constexpr int32_t kFileCode = 9994;
constexpr int32_t kVersion = 1000;
constexpr size_t kHeaderSize = 100;
constexpr size_t kRecordHeaderSize = 8;
constexpr size_t kPointRecordSize = 4 + 16;
constexpr size_t kPartsRecordSize = 4 + 32 + 4 + 4;
constexpr size_t kMultiPointRecordSize = 4 + 32 + 4;
constexpr size_t kPointSize = 16;
// The longest .prj file that is read: real ones hold a few hundred bytes.
constexpr size_t kLongestPrj = 64 << 10;

enum TShapeType : int32_t { stNull = 0, stPoint = 1, stPolyline = 3, stPolygon = 5, stMultiPoint = 8 };

// Fixed-width little- and big-endian fields; loaded whole, the compiler makes each one move.
template <class T>
T LoadLE(const char* P) {
    T V;
    std::memcpy(&V, P, sizeof V);
    if constexpr (std::endian::native == std::endian::big) {
        auto Bits = std::bit_cast<std::conditional_t<sizeof(T) == 8, uint64_t, uint32_t>>(V);
        if constexpr (sizeof(T) == 8)
            Bits = __builtin_bswap64(Bits);
        else
            Bits = __builtin_bswap32(Bits);
        V = std::bit_cast<T>(Bits);
    }
    return V;
}
int32_t LE32(const char* P) { return LoadLE<int32_t>(P); }
int32_t BE32(const char* P) { return static_cast<int32_t>(__builtin_bswap32(LoadLE<uint32_t>(P))); }
double LEDouble(const char* P) { return LoadLE<double>(P); }

// One run: the view, the choices, and the state of the file being read.
struct TShpImporter {
    TShpImporter(TImportDriver& D, TSHPImportOptions& O) : Driver(D), Options(O) {}

    TImportDriver& Driver;
    TSHPImportOptions& Options;
    // The current file.
    std::string Path;
    std::unique_ptr<TFileWindow> Data;
    std::string TableData;
    std::unique_ptr<TDBF> Table;
    TTextEncoding Encoding;  // of the table's text
    int32_t TitleColumn = 0;
    long double Divisor = 1;
    bool PlainDegrees = true;  // Divisor is 1 and nothing to convert
    // What the file's coordinates are converted from; none for degrees. The two arrays hold a
    // part's coordinates on the way and keep their size from part to part.
    std::unique_ptr<TCoordinateConversion> Conversion;
    std::vector<double> Xs, Ys;
    std::vector<TPoint3D> Points;  // of a multipoint
    // Point records of a converted file wait here, with their titles and IDs, to be converted
    // together and made in order before any other shape.
    struct TWaitingPoint {
        std::string Title;
        int32_t ID;
    };
    std::vector<TWaitingPoint> Waiting;
    std::vector<double> WaitingX, WaitingY;
    int64_t FirstWaiting = 0;  // the record of Waiting[0]
    int32_t Counter = 0;  // attribute records read
    int64_t Record = 0;   // shape records read
    size_t Offset = 0;    // of the current record
    TOrvexLayer* Layer = nullptr;
    TOrvexPresenter* PointPresenter = nullptr;
    TOrvexPresenter* PolylinePresenter = nullptr;
    TOrvexPresenter* PolygonPresenter = nullptr;

    bool ImportFile(const std::string& FilePath);
    void OpenTable();
    std::unique_ptr<TCoordinateConversion> ReadProjection(std::string& Unreadable) const;
    TTextEncoding TableEncoding(const std::string& Chosen);
    void ReadRecords(int64_t StatedLength);
    void ReadShape(std::string_view Content);
    void WaitPoint(const char* P);
    void MakeWaitingPoints();
    void ReadParts(std::string_view Content, TOrvexPresenter* Presenter);
    void ReadMultiPoint(std::string_view Content);
    bool TitleStep(std::string& Title);
    TPoint3D PointAt(const char* P) const;
    void DecodePoints(const char* P, int32_t Count, TPoint3D* Out);
    void ConvertPart(const char* P, int32_t Count, TPoint3D* Out);
    void MakeObject(TOrvexPresenter* Presenter, const std::string& Title, const char* Coordinates, int32_t Count);
    void MakeObject(TOrvexPresenter* Presenter, const std::string& Title, const TPoint3D* Points, int32_t Count,
                    int32_t ID);
    void Progress(int MsgType, const std::string& Text);
    void FindPresenters();

    [[noreturn]] void ReportAndFail(const std::string& Text);
    [[noreturn]] void Fail(const std::string& Message) const;
};

// While the layer is filled: the handler may have changed the view, so the presenters are
// looked up again.
void TShpImporter::Progress(int MsgType, const std::string& Text) {
    Driver.Progress(MsgType, Text);
    FindPresenters();
}

void TShpImporter::FindPresenters() {
    PointPresenter = Layer->FindPresenter("", -1);
    PolylinePresenter = Layer->FindPresenter("", -2);
    PolygonPresenter = Layer->FindPresenter("", -3);
}

void TShpImporter::ReportAndFail(const std::string& Text) { Driver.ReportAndFail(Text, Path + ": " + Text); }

void TShpImporter::Fail(const std::string& Message) const {
    throw EImportError(Format("%s, record %lld at offset %zu: %s", Path.c_str(), static_cast<long long>(Record), Offset,
                              Message.c_str()));
}

void TShpImporter::OpenTable() {
    const std::string TablePath = FindCompanionFile(Path, ".dbf");
    if (TablePath.empty()) {
        const size_t Dot = Path.find_last_of('.'), Slash = Path.find_last_of('/');
        const bool HasExt = Dot != std::string::npos && (Slash == std::string::npos || Dot > Slash);
        UiServices().ShowMessage("Import ESRI ShapeFile", (HasExt ? Path.substr(0, Dot) : Path) + ".DBF file not found.");
        return;
    }
    TableData = ReadWholeFile(TablePath);
    Table = std::make_unique<TDBF>(TableData, TablePath);
}

// The coordinate system the .prj file beside the shapefile describes, when its coordinates are
// not degrees already. One that cannot be understood leaves the file as it always was read, and
// Unreadable says why.
std::unique_ptr<TCoordinateConversion> TShpImporter::ReadProjection(std::string& Unreadable) const {
    Unreadable.clear();
    if (!CoordinateConversionAvailable()) return nullptr;
    const std::string PrjPath = FindCompanionFile(Path, ".prj");
    if (PrjPath.empty()) return nullptr;
    TFileWindow File(PrjPath);
    if (File.Size() > kLongestPrj) {
        Unreadable = Format("%s: %zu bytes are more than a coordinate system takes", PrjPath.c_str(), File.Size());
        return nullptr;
    }
    const std::string_view Text = File.From(0, File.Size());
    if (TrimText(Text).empty()) return nullptr;
    std::string Error;
    auto Conversion = TCoordinateConversion::FromEsri(Text, Error);
    if (!Conversion) {
        Unreadable = PrjPath + ": " + Error;
        return nullptr;
    }
    if (Conversion->IsGeographic()) return nullptr;
    return Conversion;
}

// The user's choice first, then the .cpg file beside the shapefile, then the table's header.
TTextEncoding TShpImporter::TableEncoding(const std::string& Chosen) {
    if (!Chosen.empty()) {
        if (auto E = TTextEncoding::Find(Chosen)) return *E;
        throw EImportError(Format("%s: unknown encoding '%s'", Path.c_str(), Chosen.c_str()));
    }
    if (const std::string CpgPath = FindCompanionFile(Path, ".cpg"); !CpgPath.empty()) {
        const std::string Name(TrimText(ReadWholeFile(CpgPath).substr(0, 256)));
        if (auto E = TTextEncoding::Find(Name)) return *E;
        Driver.Progress(0, Format("%s names the unknown encoding '%s'; the table's header is used instead",
                                CpgPath.c_str(), Name.c_str()));
    }
    return TTextEncoding::ForLanguageDriver(Table->LanguageDriver());
}

bool TShpImporter::ImportFile(const std::string& FilePath) {
    Path = FilePath;
    Table.reset();
    Encoding = {};
    Divisor = 1;
    PlainDegrees = true;
    Conversion.reset();
    Waiting.clear();
    WaitingX.clear();
    WaitingY.clear();
    TitleColumn = 0;
    Counter = Record = 0;
    Offset = 0;
    Data = std::make_unique<TFileWindow>(Path);
    OpenTable();

    const std::string_view Header = Data->From(0, kHeaderSize);
    if (Header.size() < kHeaderSize || BE32(Header.data()) != kFileCode) ReportAndFail("Invalid SHP file");
    if (LE32(Header.data() + 28) != kVersion) ReportAndFail("Invalid SHP file version");
    const int64_t StatedLength = 2 * int64_t(BE32(Header.data() + 24));
    if (StatedLength < int64_t(kHeaderSize))
        Fail(Format("the header states a file length of %lld bytes, less than the header itself",
                    static_cast<long long>(StatedLength)));

    std::string Unreadable;
    Conversion = ReadProjection(Unreadable);
    Options.OfferConversion(Conversion ? Conversion->Description() : std::string());
    if (Table) {
        Encoding = TableEncoding({});
        std::vector<std::string> Columns;
        for (int32_t I = 0; I < Table->FieldCount(); ++I) Columns.push_back(Encoding.ToUtf8(Table->FieldName(I)));
        std::string DivisorText;
        if (!Options.Choose(FileNamePart(Path), Columns, TitleColumn, DivisorText)) return false;
        Divisor = ParseDivisor(Path, DivisorText);
        if (const std::string Chosen = Options.EncodingName(); !Chosen.empty()) Encoding = TableEncoding(Chosen);
    }
    if (Options.KeepCoordinates()) {
        Conversion.reset();
        Unreadable.clear();
    }
    if (!Unreadable.empty())
        UiServices().ShowMessage("Import ESRI ShapeFile", Unreadable + "; the coordinates are read as they are.",
                                 mkWarning);
    PlainDegrees = Divisor == 1 && !Conversion;

    Layer = Driver.AddLayer(FileBaseName(Path));
    Layer->SetMaxFontHeight(9);
    FindPresenters();
    if (Conversion) Progress(0, FileNamePart(Path) + ": " + ConvertedFromText(Conversion->Description()));
    ReadRecords(StatedLength);
    Data.reset();
    Driver.FinishLayer();
    Table.reset();
    Driver.Progress(0, Format("Imported %d objects", Layer->ObjectCount()));
    return true;
}

void TShpImporter::ReadRecords(int64_t StatedLength) {
    // The header's length bounds the records; bytes behind it are not ours to read.
    const size_t Bound = static_cast<size_t>(StatedLength);
    size_t Pos = kHeaderSize;
    while (Pos < Bound && Pos < Data->Size()) {
        // Waiting points count as made: the reports come as they would without the wait.
        if (const int32_t Made = Layer->ObjectCount() + int32_t(Waiting.size()); Made % 100 == 0)
            Progress(0, Format("Imported %d objects", Made));
        ++Record;
        Offset = Pos;
        if (Bound - Pos < kRecordHeaderSize)
            Fail(Format("the record header passes the file length of %zu bytes that the header states", Bound));
        const std::string_view Head = Data->From(Pos, kRecordHeaderSize);
        if (Head.size() < kRecordHeaderSize) Fail("the file ends inside the record header");
        const int32_t Words = BE32(Head.data() + 4);
        if (Words < 2) Fail(Format("the content length of %d words leaves no room for the shape type", Words));
        const size_t Length = 2 * size_t(Words);
        if (Length > Bound - Pos - kRecordHeaderSize)
            Fail(Format("the record's %zu bytes pass the file length of %zu bytes that the header states", Length,
                        Bound));
        // Checked against the file before the window is asked to hold the record.
        if (Length > Data->Size() - Pos - kRecordHeaderSize)
            Fail(Format("the file ends inside the record (%zu bytes stated, %zu left)", Length,
                        Data->Size() - Pos - kRecordHeaderSize));
        const std::string_view Content = Data->From(Pos + kRecordHeaderSize, Length);
        if (Content.size() < Length)
            Fail(Format("the file ends inside the record (%zu bytes stated, %zu left)", Length, Content.size()));
        ReadShape(Content.substr(0, Length));
        Pos += kRecordHeaderSize + Length;
    }
    MakeWaitingPoints();
}

void TShpImporter::ReadShape(std::string_view Content) {
    const int32_t Type = LE32(Content.data());
    if (Type != stPoint) MakeWaitingPoints();
    std::string Title;
    switch (Type) {
        case stNull:
            TitleStep(Title);
            break;
        case stPoint: {
            if (Content.size() < kPointRecordSize)
                Fail(Format("a point needs %zu bytes, the record holds %zu", kPointRecordSize, Content.size()));
            if (Conversion) {
                WaitPoint(Content.data() + 4);
                break;
            }
            // A point that does not convert fails before its title is taken.
            TPoint3D Point;
            DecodePoints(Content.data() + 4, 1, &Point);
            if (TitleStep(Title)) MakeObject(PointPresenter, Title, &Point, 1, Counter);
            break;
        }
        case stPolyline:
        case stPolygon:
            ReadParts(Content, Type == stPolyline ? PolylinePresenter : PolygonPresenter);
            break;
        case stMultiPoint:
            ReadMultiPoint(Content);
            break;
        default:
            ReportAndFail(Format("Invalid record type %d in SHP file", Type));
    }
}

// A converted point record: its title now, its point with those of the records around it, so
// that a file of points is not converted a point per call.
void TShpImporter::WaitPoint(const char* P) {
    constexpr size_t kBatch = 4096;
    std::string Title;
    if (!TitleStep(Title)) return;
    if (Waiting.empty()) FirstWaiting = Record;
    Waiting.push_back({std::move(Title), Counter});
    WaitingX.push_back(static_cast<double>(LEDouble(P) / Divisor));
    WaitingY.push_back(static_cast<double>(LEDouble(P + 8) / Divisor));
    if (Waiting.size() == kBatch) MakeWaitingPoints();
}

void TShpImporter::MakeWaitingPoints() {
    if (Waiting.empty()) return;
    const size_t N = Waiting.size();
    Points.resize(N);
    const std::string Why = ConvertPoints(*Conversion, WaitingX.data(), WaitingY.data(), N, Points.data());
    const int64_t First = FirstWaiting;
    WaitingX.clear();
    WaitingY.clear();
    if (!Why.empty()) {
        Waiting.clear();
        Fail(Format("of the point records from %lld on, %s", static_cast<long long>(First), Why.c_str()));
    }
    for (size_t I = 0; I < N; ++I) MakeObject(PointPresenter, Waiting[I].Title, &Points[I], 1, Waiting[I].ID);
    Waiting.clear();
}

void TShpImporter::ReadParts(std::string_view Content, TOrvexPresenter* Presenter) {
    if (Content.size() < kPartsRecordSize)
        Fail(Format("a polyline or polygon needs at least %zu bytes, the record holds %zu", kPartsRecordSize,
                    Content.size()));
    const int32_t NumParts = LE32(Content.data() + 36);
    const int32_t NumPoints = LE32(Content.data() + 40);
    const uint64_t Needed = kPartsRecordSize + 4 * uint64_t(uint32_t(NumParts)) + kPointSize * uint64_t(uint32_t(NumPoints));
    if (NumParts < 0 || NumPoints < 0 || Needed > Content.size())
        Fail(Format("%d parts and %d points do not fit in the record's %zu bytes", NumParts, NumPoints,
                    Content.size()));
    std::string Title;
    if (!TitleStep(Title) || NumParts == 0) return;

    // Parts run from their start to the next one. Starts are taken in order and kept within
    // the points, so that starts that go backwards or past the end neither drop nor repeat a
    // point; parts left empty make no object.
    const char* Starts = Content.data() + kPartsRecordSize;
    const char* Coordinates = Starts + 4 * size_t(NumParts);
    int32_t Start = 0;
    for (int32_t Part = 0; Part < NumParts; ++Part) {
        const int32_t End =
            Part + 1 < NumParts ? std::clamp(LE32(Starts + 4 * size_t(Part + 1)), Start, NumPoints) : NumPoints;
        if (End > Start) MakeObject(Presenter, Title, Coordinates + kPointSize * size_t(Start), End - Start);
        Start = End;
    }
}

void TShpImporter::ReadMultiPoint(std::string_view Content) {
    if (Content.size() < kMultiPointRecordSize)
        Fail(Format("a multipoint needs at least %zu bytes, the record holds %zu", kMultiPointRecordSize,
                    Content.size()));
    const int32_t NumPoints = LE32(Content.data() + 36);
    if (NumPoints < 0 || kMultiPointRecordSize + kPointSize * uint64_t(uint32_t(NumPoints)) > Content.size())
        Fail(Format("%d points do not fit in the record's %zu bytes", NumPoints, Content.size()));
    std::string Title;
    if (!TitleStep(Title)) return;
    // Decoded together (converted in one go), then made one object each.
    Points.resize(size_t(NumPoints));
    DecodePoints(Content.data() + kMultiPointRecordSize, NumPoints, Points.data());
    for (int32_t I = 0; I < NumPoints; ++I) MakeObject(PointPresenter, Title, &Points[size_t(I)], 1, Counter);
}

// Takes the shape's attribute record. Shapes and records pair by position: false when the
// record is marked deleted, and the shape is then left out.
bool TShpImporter::TitleStep(std::string& Title) {
    Title.clear();
    if (!Table || !Table->NextRecord()) return true;
    if (Counter == std::numeric_limits<int32_t>::max()) Fail("the table has more records than object IDs can number");
    ++Counter;
    if (Table->Deleted()) return false;
    if (TitleColumn >= 0 && TitleColumn < Table->FieldCount()) Title = Encoding.ToUtf8(Table->FieldValue(TitleColumn));
    return true;
}

// Out[0, Count) from the coordinates at P: runs of plain degrees the quick way, every other
// point through PointAt. When that fails, the points not yet decoded are set to zero points
// before the error leaves, so Out never holds garbage.
void TShpImporter::DecodePoints(const char* P, int32_t Count, TPoint3D* Out) {
    if (Conversion) return ConvertPart(P, Count, Out);
    for (int32_t I = 0; I < Count; ++I) {
        if (PlainDegrees) {
            I += DecodeDegreePairs(P + kPointSize * size_t(I), Count - I, Out + I);
            if (I == Count) break;
        }
        try {
            Out[I] = PointAt(P + kPointSize * size_t(I));
        } catch (...) {
            std::fill(Out + I, Out + Count, TPoint3D{});
            throw;
        }
    }
}

// The part's coordinates divided and converted together, in one call.
void TShpImporter::ConvertPart(const char* P, int32_t Count, TPoint3D* Out) {
    const auto N = size_t(Count);
    if (Xs.size() < N) {
        Xs.resize(N);
        Ys.resize(N);
    }
    for (size_t I = 0; I < N; ++I) {
        Xs[I] = LEDouble(P + kPointSize * I);
        Ys[I] = LEDouble(P + kPointSize * I + 8);
    }
    if (Divisor != 1)
        for (size_t I = 0; I < N; ++I) {
            Xs[I] = static_cast<double>(Xs[I] / Divisor);
            Ys[I] = static_cast<double>(Ys[I] / Divisor);
        }
    if (const std::string Why = ConvertPoints(*Conversion, Xs.data(), Ys.data(), N, Out); !Why.empty()) Fail(Why);
}

TPoint3D TShpImporter::PointAt(const char* P) const {
    if (PlainDegrees) {
        int32_t Longitude, Latitude;
        if (FastDegreesToUnits(LEDouble(P), Longitude) && FastDegreesToUnits(LEDouble(P + 8), Latitude))
            return MakePoint(Longitude, Latitude);
    }
    const long double X = LEDouble(P) / Divisor, Y = LEDouble(P + 8) / Divisor;
    const auto Longitude = CheckedDegrees(X), Latitude = CheckedDegrees(Y);
    if (!Longitude || !Latitude)
        Fail(Format("the point (%.10Lg, %.10Lg) does not fit in longitude and latitude (divisor %.0Lf); is the "
                    "file projected?",
                    X, Y, Divisor));
    return MakePoint(*Longitude, *Latitude);
}

// The points are decoded straight into the object's chain, and its extent computed while
// they are still in the cache. A part that fails to decode takes its object with it.
void TShpImporter::MakeObject(TOrvexPresenter* Presenter, const std::string& Title, const char* Coordinates,
                              int32_t Count) {
    TGeoDataObject* Obj = TGeoDataObject::Create(Layer, Presenter, Counter, Title);
    try {
        DecodePoints(Coordinates, Count, Obj->PreparePoints(Count));
    } catch (...) {
        Obj->Delete();
        throw;
    }
    if (Count > 1) Obj->CalcExtents();
}

void TShpImporter::MakeObject(TOrvexPresenter* Presenter, const std::string& Title, const TPoint3D* Points,
                              int32_t Count, int32_t ID) {
    TGeoDataObject::Create(Layer, Presenter, ID, Title)->SetPoints(Points, Count);
}

void SetRunDefaults(TOrvex3& View) {
    View.DefaultPen()->SetPenColor(0);
    View.DefaultPen()->SetPenStyle(psSolid);
    View.DefaultPen()->SetPenWidth(1);
    View.DefaultBrush()->SetBrushColor(32768);
    View.DefaultBrush()->SetBrushStyle(bsSolid);
    TOrvexFont* Font = View.SymbolFont();
    Font->SetFontName("Arial");
    Font->SetFontColor(0);
    Font->SetFontStyle(0);
    Font->SetFontSize(10);
    Font->SetFontUnit(Pixel);
    Font->SetFontAngle(0);
}

}  // namespace

void ImportSHP(const std::vector<std::string>& FileNames, TOrvex3& View, TSHPImportOptions* Options) {
    TImportDriver Driver(View, "SHP Import Finished");
    SetRunDefaults(View);
    std::unique_ptr<TSHPImportDialogOptions> Dialog;
    if (!Options) {
        Dialog = std::make_unique<TSHPImportDialogOptions>();
        Options = Dialog.get();
    }
    TShpImporter Importer(Driver, *Options);
    Driver.Run(FileNames, "SHP Import of ", [&](const std::string& Path) { return Importer.ImportFile(Path); });
}

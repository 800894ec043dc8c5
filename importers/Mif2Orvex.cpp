#include "importers/Mif2Orvex.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <unordered_map>

#include "importers/ImportDriver.h"
#include "importers/ImportSupport.h"
#include "importers/MifLookahead.h"
#include "importers/SpatialReference.h"
#include "kernels/PointLines.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "platform/UiServices.h"
#include "styling/PointPresenter.h"
#include "styling/PolygonPresenter.h"
#include "styling/PolylinePresenter.h"
#include "view/Orvex3.h"

namespace {

constexpr int32_t kPointSize = 6;
constexpr int32_t kTenthsPerTurn = 3600;

int16_t Clamp16(int64_t V) {
    return static_cast<int16_t>(std::clamp<int64_t>(V, std::numeric_limits<int16_t>::min(),
                                                    std::numeric_limits<int16_t>::max()));
}

// Splits a file into lines (LF, CRLF or CR) without copying, counting them for messages. A line
// is valid until the next one is asked for.
struct TLineCursor {
    TFileWindow* File = nullptr;
    TMifLookahead* Ahead = nullptr;  // reads instead of File when set
    std::string_view Text;           // the buffered bytes from file offset Base on
    size_t Base = 0;
    size_t Pos = 0;  // in Text
    int64_t Number = 0;

    // At least Bytes buffered from Pos on, unless the file ends first.
    void Ensure(size_t Bytes) {
        if (Text.size() - Pos >= Bytes || (!File && !Ahead)) return;
        Base += Pos;
        Pos = 0;
        Text = Ahead ? Ahead->From(Base, Bytes) : File->From(Base, Bytes);
    }
    bool AtEnd() const {
        if (Ahead) return Base + Text.size() >= Ahead->Size();
        return !File || Base + Text.size() >= File->Size();
    }
    // On at file offset Offset, Lines lines further.
    void Skip(size_t Offset, int64_t Lines) {
        Base = Offset;
        Pos = 0;
        Text = {};
        Number += Lines;
    }

    bool Next(std::string_view& Line) {
        for (size_t Want = 1;;) {
            Ensure(Want);
            if (Pos >= Text.size()) return false;
            // One pass for either end: a search for LF alone would cross a whole CR-only file per line.
            const char* Begin = Text.data() + Pos;
            const char* End = Text.data() + Text.size();
            const char* P = Begin;
            // Eight bytes at a time while none of them is a CR or LF.
            constexpr uint64_t Ones = 0x0101010101010101ull, Highs = 0x8080808080808080ull;
            while (End - P >= 8) {
                uint64_t W;
                std::memcpy(&W, P, 8);
                const uint64_t Lf = W ^ (Ones * '\n'), Cr = W ^ (Ones * '\r');
                if (((Lf - Ones) & ~Lf & Highs) | ((Cr - Ones) & ~Cr & Highs)) break;
                P += 8;
            }
            while (P < End && *P != '\n' && *P != '\r') ++P;
            // A line (or a CR LF) that runs past the buffer is read again with more of the file.
            if (!AtEnd() && (P == End || (*P == '\r' && P + 1 == End))) {
                Want = 2 * size_t(End - Begin) + 2;
                continue;
            }
            const size_t Length = size_t(P - Begin);
            const size_t Skip = P == End ? 0 : (*P == '\r' && P + 1 < End && P[1] == '\n') ? 2 : 1;
            Line = std::string_view(Begin, Length);
            Pos += Length + Skip;
            ++Number;
            return true;
        }
    }
};

// Rows of a MID file: a line break inside a quoted field belongs to the field.
std::vector<std::string_view> MidRows(std::string_view Text) {
    std::vector<std::string_view> Rows;
    size_t Start = 0;
    bool Quoted = false;
    for (size_t I = 0; I < Text.size(); ++I) {
        const char C = Text[I];
        if (C == '"') {
            Quoted = !Quoted;
        } else if (!Quoted && (C == '\n' || C == '\r')) {
            Rows.push_back(Text.substr(Start, I - Start));
            if (C == '\r' && I + 1 < Text.size() && Text[I + 1] == '\n') ++I;
            Start = I + 1;
        }
    }
    if (Start < Text.size()) Rows.push_back(Text.substr(Start));
    return Rows;
}

// The fields of one MID row, cut at the delimiter outside quotes (quotes stay in the fields).
// Blanks and control characters around the row go, unless they are the delimiter itself (a tab
// delimiter in front of an empty first field).
void SplitRow(std::string_view Row, char Delim, std::vector<std::string>& Fields) {
    auto Blank = [Delim](char C) { return static_cast<unsigned char>(C) <= ' ' && C != Delim; };
    while (!Row.empty() && Blank(Row.front())) Row.remove_prefix(1);
    while (!Row.empty() && Blank(Row.back())) Row.remove_suffix(1);
    Fields.clear();
    size_t Start = 0;
    bool Quoted = false;
    for (size_t I = 0; I < Row.size(); ++I) {
        if (Row[I] == '"') {
            Quoted = !Quoted;
        } else if (Row[I] == Delim && !Quoted) {
            Fields.emplace_back(Row.substr(Start, I - Start));
            Start = I + 1;
        }
    }
    if (Start < Row.size() || Start == 0) Fields.emplace_back(Row.substr(Start));
}

enum TChainKind { ckPoints, ckPolyline, ckPolygon };

// One file of a run. Everything a file's header or rows set lives here, so that each file
// starts from the defaults: a file without a Delimiter line is read with the tab, not with
// what the file before it named, and a file without a MID file gives default titles, not
// the last row of the file before.
struct TMifImporter {
    TMifImporter(TOrvex3& V, TImportDriver& D, std::vector<TPoint3D>& S, bool K)
        : View(V), Driver(D), Scratch(S), KeepCoordinates(K) {}

    TOrvex3& View;
    TImportDriver& Driver;
    std::vector<TPoint3D>& Scratch;  // the points of the object being read
    const bool KeepCoordinates;
    char Delimiter = '\t';
    // Read and checked; the PLine forms are told apart by their tokens whatever it says.
    int32_t Version = 0;
    std::vector<std::string> Attributes;  // the current MID row
    // What the file's CoordSys converts from; none for longitude/latitude. The object's
    // coordinates then gather here as read and are converted together when it is made.
    std::unique_ptr<TCoordinateConversion> Conversion;
    std::vector<double> RawX, RawY;

    std::string Path;
    std::unique_ptr<TFileWindow> File;
    std::unique_ptr<TMifLookahead> Ahead;
    TLineCursor Lines;
    std::string_view Line;
    std::vector<std::string_view> Tokens;
    std::vector<std::string_view> Fields;
    std::string MidText;
    std::vector<std::string_view> Rows;
    int32_t RowIndex = -1;
    int32_t CollectionParts = 0;
    TOrvexLayer* Layer = nullptr;
    // The presenters made for this file, by style. FindMatching walks the layer's whole list,
    // which a file of thousands of styles would turn into a crawl; the map answers the same
    // while every presenter of the layer is one of its own.
    std::unordered_map<std::string, TOrvexPresenter*> Styles;
    bool StylesComplete = true;
    // The style of the last lookup and its answer: most objects repeat it, and comparing the
    // values is much cheaper than wording the key.
    struct TStyleValues {
        int32_t Values[12] = {};
        std::string FontName;
        bool operator==(const TStyleValues&) const = default;
    };
    TStyleValues LastStyle;
    TOrvexPresenter* LastPresenter = nullptr;
    TStyleValues CurrentStyle(TChainKind Kind) const;

    void Import(const std::string& FilePath);
    bool NextLine(bool Tokenise = true);
    bool Is(const char* Keyword) const { return !Tokens.empty() && SameText(Tokens[0], Keyword); }
    std::string_view Token(size_t I) const;
    long double Real(size_t I) const;
    int32_t Integer(size_t I) const;
    TPoint3D Coordinate(size_t X, size_t Y) const;
    // Coordinate(X, Y) into the scratch points, or its raw values for the conversion.
    void AddCoordinate(size_t X, size_t Y);
    void ConvertGathered();
    bool PlainCoordinate(TPoint3D& Point) const;
    // The next line through ScanPointLine.
    bool PlainPointLine(TPoint3D& Point);
    // Up to Count plain point lines into the scratch points while the buffer holds plenty
    // ahead; how many.
    int32_t PlainPointLines(int32_t Count);
    // Up to Count points from the runs the lookahead decoded where the cursor stands; how many.
    int32_t DecodedPointLines(int32_t Count);
    TPoint3D Batch[256];
    [[noreturn]] void Fail(const std::string& Message) const;

    void ReadHeader();
    bool IsLatLong() const;
    void UseCoordSys();
    void ReadData();
    void NextRow();
    bool ObjectDone();
    bool ReadPoints(int32_t Count);
    bool SkipLines(int32_t Count);
    bool ReadPoint();
    bool ReadLine();
    bool ReadPline();
    bool ReadRegion();
    bool ReadMultiPoint();
    bool ReadText();
    bool ApplyPen();
    bool ApplyBrush();
    bool ApplyFont();
    void MakeObject(TChainKind Kind, const char* DefaultTitle);
    TOrvexPresenter* PresenterFor(TChainKind Kind);
    TOrvexPresenter* MatchingPresenter(TChainKind Kind, bool Search);
    std::string StyleKey(TChainKind Kind) const;
};

void TMifImporter::Fail(const std::string& Message) const {
    throw EImportError(
        Format("%s, line %lld: %s", Path.c_str(), static_cast<long long>(Lines.Number), Message.c_str()));
}

bool TMifImporter::NextLine(bool Tokenise) {
    std::string_view Raw;
    while (Lines.Next(Raw)) {
        const std::string_view Trimmed = TrimText(Raw);
        if (Trimmed.empty()) continue;
        Line = Trimmed;
        // Runs of blanks count as one separator; tabs inside a line do not separate.
        if (Tokenise) SplitText(Trimmed, " ", Tokens, false);
        return true;
    }
    return false;
}

std::string_view TMifImporter::Token(size_t I) const {
    if (I >= Tokens.size()) Fail(Format("'%.*s' lacks value %zu", int(Line.size()), Line.data(), I + 1));
    return Tokens[I];
}

long double TMifImporter::Real(size_t I) const {
    long double V = 0;
    const std::string_view T = Token(I);
    if (!ParseReal(T, V)) Fail(Format("'%.*s' is not a number", int(T.size()), T.data()));
    return V;
}

int32_t TMifImporter::Integer(size_t I) const {
    int32_t V = 0;
    const std::string_view T = Token(I);
    if (!ParseInt32(T, V)) Fail(Format("'%.*s' is not a whole number", int(T.size()), T.data()));
    return V;
}

TPoint3D TMifImporter::Coordinate(size_t X, size_t Y) const {
    const long double Lon = Real(X), Lat = Real(Y);
    const auto L = CheckedDegrees(Lon), B = CheckedDegrees(Lat);
    if (!L || !B)
        Fail(Format("the point (%.10Lg, %.10Lg) does not fit in longitude and latitude; is the file projected?", Lon,
                    Lat));
    return MakePoint(*L, *B);
}

void TMifImporter::AddCoordinate(size_t X, size_t Y) {
    if (!Conversion) {
        Scratch.push_back(Coordinate(X, Y));
        return;
    }
    const long double Easting = Real(X), Northing = Real(Y);
    RawX.push_back(static_cast<double>(Easting));
    RawY.push_back(static_cast<double>(Northing));
}

// The gathered coordinates of the object, converted in one call, after its scratch points.
void TMifImporter::ConvertGathered() {
    if (const std::string Why = ::ConvertGathered(*Conversion, RawX, RawY, Scratch); !Why.empty())
        Fail("of the object ending here, " + Why);
}

void TMifImporter::Import(const std::string& FilePath) {
    Path = FilePath;
    Layer = Driver.AddLayer(FileBaseName(Path));
    Layer->SetMaxFontHeight(9);
    File = std::make_unique<TFileWindow>(Path);
    const std::string MidPath = FindCompanionFile(Path, ".mid");
    if (!MidPath.empty()) MidText = ReadWholeFile(MidPath);
    Rows = MidRows(MidText);
    Lines = TLineCursor{};
    Lines.File = File.get();
    RowIndex = -1;
    ReadHeader();
    // A large file of degrees has its point lines decoded ahead on another core.
    if (!Conversion && TMifLookahead::Worthwhile(File->Size())) {
        Ahead = std::make_unique<TMifLookahead>(Path, Lines.Base + Lines.Pos);
        Lines.Ahead = Ahead.get();
        Lines.Skip(Lines.Base + Lines.Pos, 0);
    }
    ReadData();
}

bool TMifImporter::IsLatLong() const {
    // "CoordSys Earth Projection 1, <datum>" is longitude/latitude; every other system (Earth
    // with another projection type, NonEarth, Layout) holds coordinates that are not degrees.
    if (Tokens.size() < 4 || !SameText(Tokens[1], "Earth") || !SameText(Tokens[2], "Projection")) return false;
    std::string_view Type = Tokens[3];
    Type = Type.substr(0, Type.find(','));
    int32_t Value = 0;
    return ParseInt32(Type, Value) && Value == 1;
}

// A map projection is converted; a table that cannot be (NonEarth, Layout, a projection that
// cannot be understood, or all of them when the coordinates are to be kept) is refused.
void TMifImporter::UseCoordSys() {
    const bool Earth = Tokens.size() >= 3 && SameText(Tokens[1], "Earth") && SameText(Tokens[2], "Projection");
    if (Earth && !KeepCoordinates && CoordinateConversionAvailable()) {
        std::string Error;
        Conversion = TCoordinateConversion::FromMapInfo(Line, Error);
        // A projection type GDAL does not know comes back as longitude/latitude.
        if (Conversion && !Conversion->IsProjected()) {
            Error = "the coordinate system '" + std::string(Line) +
                    "' cannot be understood: its projection is read as longitude/latitude";
            Conversion.reset();
        }
        if (Conversion) {
            Driver.Progress(0, FileNamePart(Path) + ": " + ConvertedFromText(Conversion->Description()));
            return;
        }
        UiServices().ShowMessage("Import MapInfo File", Path + ": " + Error, mkWarning);
    }
    Driver.ReportAndAbort("Import can only be made on Lat/Long tables!",
                          Path + ": Import can only be made on Lat/Long tables!");
}

void TMifImporter::ReadHeader() {
    while (NextLine()) {
        if (Is("Version")) {
            Version = Integer(1);
        } else if (Is("Delimiter")) {
            const size_t Quote = Line.find('"');
            if (Quote == std::string_view::npos || Quote + 1 >= Line.size())
                Fail("the Delimiter line names no character in quotes");
            Delimiter = Line[Quote + 1];
        } else if (Is("Data")) {
            return;
        } else if (Is("CoordSys")) {
            Conversion.reset();
            if (!IsLatLong()) UseCoordSys();
        } else if (Is("Columns")) {
            // The column lines are names, even names like Version or Data.
            if (!SkipLines(Integer(1))) return;
        }
    }
}

void TMifImporter::NextRow() {
    Scratch.clear();
    RawX.clear();
    RawY.clear();
    if (RowIndex == std::numeric_limits<int32_t>::max()) Fail("the file has more objects than rows can number");
    ++RowIndex;
    if (static_cast<size_t>(RowIndex) < Rows.size()) SplitRow(Rows[size_t(RowIndex)], Delimiter, Attributes);
    if (RowIndex % 100 == 0)
        Driver.Progress(0, Format("Imported %d objects out of %d", RowIndex, static_cast<int>(Rows.size())));
}

// After an object: true when the next one starts a new row (the parts of a collection share
// the collection's row).
bool TMifImporter::ObjectDone() {
    if (CollectionParts > 0 && --CollectionParts > 0) return false;
    return true;
}

void TMifImporter::ReadData() {
    bool Have = NextLine();
    bool NewObject = true;
    for (;;) {
        if (NewObject) {
            NextRow();
            NewObject = false;
        }
        if (!Have) break;
        if (Is("NONE")) {
            Have = NextLine();
            NewObject = ObjectDone();
        } else if (Is("Point")) {
            Have = ReadPoint();
            NewObject = ObjectDone();
        } else if (Is("Region")) {
            Have = ReadRegion();
            NewObject = ObjectDone();
        } else if (Is("Line")) {
            Have = ReadLine();
            NewObject = ObjectDone();
        } else if (Is("PLine")) {
            Have = ReadPline();
            NewObject = ObjectDone();
        } else if (Is("Text")) {
            Have = ReadText();
            NewObject = ObjectDone();
        } else if (Is("MultiPoint")) {
            Have = ReadMultiPoint();
            NewObject = ObjectDone();
        } else if (Is("Collection")) {
            // One object, one row, for all its parts.
            CollectionParts = std::max(0, Integer(1));
            Have = NextLine();
            NewObject = CollectionParts == 0;
        } else if (Is("Arc") || Is("Ellipse") || Is("Rect") || Is("RoundRect")) {
            // Recognised, not imported: their further lines pass as unknown lines below.
            Have = NextLine();
            NewObject = ObjectDone();
        } else {
            // Clause lines no reader took (Symbol, a Pen after a Point) and lines of objects
            // that are not imported.
            Have = NextLine();
        }
    }
    Driver.Progress(0, Format("Imported %d objects out of %d", RowIndex, static_cast<int>(Rows.size())));
}

// Up to Count point lines into the scratch points; false when the lines run out first (the
// object then ends with what was read).
bool TMifImporter::ReadPoints(int32_t Count) {
    if (Conversion) {
        for (int32_t I = 0; I < Count; ++I) {
            if (!NextLine()) return false;
            AddCoordinate(0, 1);
        }
        return true;
    }
    for (int32_t I = 0; I < Count; ++I) {
        if (Ahead) I += DecodedPointLines(Count - I);
        if (I == Count) break;
        I += PlainPointLines(Count - I);
        if (I == Count) break;
        TPoint3D Point;
        if (PlainPointLine(Point)) {
            Scratch.push_back(Point);
            continue;
        }
        if (!NextLine(false)) return false;
        if (!PlainCoordinate(Point)) {
            // The general way, which also words the errors.
            SplitText(Line, " ", Tokens, false);
            Point = Coordinate(0, 1);
        }
        Scratch.push_back(Point);
    }
    return true;
}

// Coordinate(0, 1) of the current line without cutting it into tokens, for the common case
// of two plain numbers in the usual range of degrees; false for anything else.
bool TMifImporter::PlainCoordinate(TPoint3D& Point) const {
    const size_t XEnd = Line.find(' ');
    if (XEnd == std::string_view::npos) return false;
    size_t YBegin = XEnd;
    while (YBegin < Line.size() && Line[YBegin] == ' ') ++YBegin;
    const size_t YEnd = std::min(Line.find(' ', YBegin), Line.size());
    double X = 0, Y = 0;
    int32_t Longitude = 0, Latitude = 0;
    if (!ParseDouble(Line.substr(0, XEnd), X) || !ParseDouble(Line.substr(YBegin, YEnd - YBegin), Y) ||
        !FastDegreesToUnits(X, Longitude) || !FastDegreesToUnits(Y, Latitude))
        return false;
    Point = MakePoint(Longitude, Latitude);
    return true;
}

bool TMifImporter::PlainPointLine(TPoint3D& Point) {
    Lines.Ensure(64);
    if (Lines.Pos >= Lines.Text.size()) return false;
    const char* const Begin = Lines.Text.data() + Lines.Pos;
    const char* P = Begin;
    if (!ScanPointLine(P, Lines.Text.data() + Lines.Text.size(), Lines.AtEnd(), Point)) return false;
    Lines.Pos += size_t(P - Begin);
    ++Lines.Number;
    return true;
}

int32_t TMifImporter::PlainPointLines(int32_t Count) {
    const char* const Floor = Lines.Text.data();
    const char* const Begin = Floor + Lines.Pos;
    const char* const End = Floor + Lines.Text.size();
    const char* P = Begin;
    int32_t Done = 0;
    // In batches, so that the inner loop makes no calls.
    for (;;) {
        const int32_t Room = std::min(Count - Done, int32_t(std::size(Batch)));
        const int32_t N = ScanPointLines(P, Floor, End, Room, Batch);
        Scratch.insert(Scratch.end(), Batch, Batch + N);
        Done += N;
        if (N == 0 || N < Room) break;
    }
    Lines.Pos += size_t(P - Begin);
    Lines.Number += Done;
    return Done;
}

int32_t TMifImporter::DecodedPointLines(int32_t Count) {
    int32_t Done = 0;
    // A run cut by the lookahead's batches goes on in the next one.
    for (TMifLookahead::TRun Run; Done < Count && Ahead->RunAt(Lines.Base + Lines.Pos, Count - Done, Run);) {
        Scratch.insert(Scratch.end(), Run.Points, Run.Points + Run.Count);
        Lines.Skip(Run.End, Run.Count);
        Done += Run.Count;
    }
    return Done;
}

bool TMifImporter::SkipLines(int32_t Count) {
    for (int32_t I = 0; I < Count; ++I)
        if (!NextLine(false)) return false;
    return true;
}

bool TMifImporter::ReadPoint() {
    Scratch.clear();
    AddCoordinate(1, 2);
    MakeObject(ckPoints, "New Point");
    return NextLine();
}

bool TMifImporter::ReadLine() {
    Scratch.clear();
    AddCoordinate(1, 2);
    AddCoordinate(3, 4);
    bool Have = NextLine();
    if (Have && Is("Pen")) Have = ApplyPen();
    MakeObject(ckPolyline, "New Polyline");
    return Have;
}

bool TMifImporter::ReadPline() {
    // "Pline" with the count on the next line, "Pline n" with n points following, or
    // "Pline Multiple k" with k sections of a count line and points each. Only the first
    // section is kept.
    int32_t Sections = 1;
    bool Have = true;
    int32_t Count = 0;
    if (Tokens.size() >= 2 && SameText(Tokens[1], "Multiple")) {
        Sections = Integer(2);
        if (Sections >= 1 && (Have = NextLine())) Count = Integer(0);
    } else if (Tokens.size() >= 2) {
        Count = Integer(1);
    } else if ((Have = NextLine())) {
        Count = Integer(0);
    }
    if (Have) Have = ReadPoints(Count);
    for (int32_t S = 1; Have && S < Sections; ++S) {
        Have = NextLine();
        if (Have) Have = SkipLines(Integer(0));
    }
    if (Have) Have = NextLine();
    while (Have) {
        if (Is("Pen"))
            Have = ApplyPen();
        else if (Is("Smooth"))
            Have = NextLine();
        else
            break;
    }
    MakeObject(ckPolyline, "New Polyline");
    return Have;
}

bool TMifImporter::ReadRegion() {
    const int32_t Polygons = Integer(1);
    bool Have = true;
    if (Polygons >= 1) {
        Have = NextLine();
        if (Have) Have = ReadPoints(Integer(0));
        // Only the first ring is kept; the others are passed over.
        for (int32_t P = 1; Have && P < Polygons; ++P) {
            Have = NextLine();
            if (Have) Have = SkipLines(Integer(0));
        }
    }
    if (Have) Have = NextLine();
    while (Have) {
        if (Is("Pen"))
            Have = ApplyPen();
        else if (Is("Brush"))
            Have = ApplyBrush();
        else if (Is("Center"))
            Have = NextLine();
        else
            break;
    }
    MakeObject(ckPolygon, "New Polygon");
    return Have;
}

bool TMifImporter::ReadMultiPoint() {
    const bool Have = ReadPoints(Integer(1));
    MakeObject(ckPoints, "New Point");
    return Have && NextLine();
}

bool TMifImporter::ReadText() {
    // The text follows the keyword on its line (as other programs write it) or on the next.
    size_t First = 1;
    if (Tokens.size() < 2) {
        if (!NextLine()) return false;
        First = 0;
    }
    std::string Title;
    for (size_t I = First; I < Tokens.size(); ++I) {
        if (I > First) Title += ' ';
        Title.append(Tokens[I]);
    }
    Title = ReplaceText(ReplaceText(TrimText(Title), "\"", ""), "\\n", " ");

    if (!NextLine()) return false;
    TPoint3D Corner;
    long double Y1 = 0, Y2 = 0;
    if (Conversion) {
        // Both corners on the first one's easting: the height comes out in degrees of latitude.
        double X[2] = {double(Real(0)), double(Real(0))}, Y[2] = {double(Real(1)), double(Real(3))};
        Real(2);
        TPoint3D Corners[2];
        if (const std::string Why = ConvertPoints(*Conversion, X, Y, 2, Corners); !Why.empty())
            Fail("of the text's corners, " + Why);
        Corner = Corners[0];
        Y1 = Y[0];
        Y2 = Y[1];
    } else {
        Corner = Coordinate(0, 1);
        Y1 = Real(1);
        Real(2);
        Y2 = Real(3);
    }
    bool Have = NextLine();
    if (Have && Is("Font")) Have = ApplyFont();

    // The box's height gives the title font's size in metres (negative: character height).
    // The layer file keeps the size in 16 bits: a taller text gets the largest size that fits.
    const auto Height = CheckedDegrees(std::fabs(Y2 - Y1));
    const long double Metres = Height ? OrvexUnitsToUnits(*Height, Meter) : std::numeric_limits<int32_t>::max();
    TOrvexFont* Font = View.TitleFont();
    Font->SetFontUnit(Meter);
    Font->SetFontSize(Clamp16(-static_cast<int64_t>(RoundSaturate(Metres))));

    TGeoDataObject* Obj = TGeoDataObject::Create(Layer, nullptr, 0, Title);
    Obj->SetPoints(&Corner, 1);
    Obj->AttachPresenter(PresenterFor(ckPoints));
    return Have;
}

bool TMifImporter::ApplyPen() {
    if (Tokens.size() > 1 && Tokens[1].size() >= 2) {
        SplitText(Tokens[1].substr(1, Tokens[1].size() - 2), ",", Fields, true);
        int32_t Width = 1, Pattern = 0, Color = 0;
        if (Fields.size() >= 3 && ParseInt32(Fields[1], Pattern) && ParseInt32(Fields[2], Color)) {
            if (!ParseInt32(Fields[0], Width)) Width = 1;
            View.DefaultPen()->SetValues(MifColorToColor(Color), MifPenStyle(Pattern),
                                         static_cast<uint8_t>(std::clamp(Width, 0, 255)));
        }
    }
    return NextLine();
}

bool TMifImporter::ApplyBrush() {
    bool Applied = false;
    if (Tokens.size() > 1 && Tokens[1].size() >= 2) {
        SplitText(Tokens[1].substr(1, Tokens[1].size() - 2), ",", Fields, true);
        int32_t Pattern = 0, Color = 0;
        if (!Fields.empty() && ParseInt32(Fields[0], Pattern)) {
            // Patterns above 3 are hatches: their colour is the background colour when given.
            const size_t ColorField = Pattern > 3 && Fields.size() > 2 ? 2 : 1;
            if (Fields.size() > ColorField && ParseInt32(Fields[ColorField], Color)) {
                View.DefaultBrush()->SetBrushColor(MifColorToColor(Color));
                View.DefaultBrush()->SetBrushStyle(MifBrushStyle(Pattern));
                Applied = true;
            }
        }
    }
    if (!Applied) {
        View.DefaultBrush()->SetBrushColor(0);
        View.DefaultBrush()->SetBrushStyle(bsClear);
    }
    return NextLine();
}

bool TMifImporter::ApplyFont() {
    // Font names may hold blanks: the tokens are joined again before the fields are cut.
    std::string Joined;
    for (size_t I = 1; I < Tokens.size(); ++I) {
        if (I > 1) Joined += ' ';
        Joined.append(Tokens[I]);
    }
    if (Joined.size() < 2) return true;
    const std::string Inner = Joined.substr(1, Joined.size() - 2);
    SplitText(Inner, ",", Fields, true);
    if (Fields.empty()) return true;
    TOrvexFont* Font = View.TitleFont();
    Font->SetFontName(ReplaceText(TrimText(Fields[0]), "\"", ""));
    Font->SetFontStyle(0);
    int32_t Size = 0, Color = 0;
    if (Fields.size() < 3 || !ParseInt32(TrimText(Fields[2]), Size)) return true;
    Font->SetFontSize(Clamp16(Size));
    if (Fields.size() < 4 || !ParseInt32(TrimText(Fields[3]), Color)) return true;
    Font->SetFontColor(MifColorToColor(Color));
    Font->SetFontAngle(0);
    while (NextLine()) {
        if (Is("Angle")) {
            long double Degrees = 0;
            if (Tokens.size() < 2 || !ParseReal(Tokens[1], Degrees)) return true;
            long double Tenths = Degrees * 10;
            // Whole turns go where the 16-bit angle of the layer file could not hold them.
            if (std::fabs(Tenths) > std::numeric_limits<int16_t>::max()) Tenths = std::fmod(Tenths, kTenthsPerTurn);
            Font->SetFontAngle(RoundSaturate(Tenths));
        } else if (!Is("Spacing") && !Is("Justify") && !Is("Label")) {
            return true;
        }
    }
    return false;
}

TMifImporter::TStyleValues TMifImporter::CurrentStyle(TChainKind Kind) const {
    const TOrvexPen* Pen = View.DefaultPen();
    const TOrvexBrush* Brush = View.DefaultBrush();
    const TOrvexFont* Font = View.SymbolFont();
    TStyleValues S{{int32_t(Kind), int32_t(Pen->PenColor()), int32_t(Pen->PenStyle()), int32_t(Pen->PenWidth()),
                    int32_t(Brush->BrushColor()), int32_t(Brush->BrushStyle()), int32_t(Font->FontColor()),
                    int32_t(Font->FontUnit()), int32_t(Font->FontSize()), int32_t(Font->FontAngle()),
                    int32_t(Font->FontStyle()), 0},
                   {}};
    if (Kind == ckPoints) S.FontName = Font->FontName();
    return S;
}

TOrvexPresenter* TMifImporter::PresenterFor(TChainKind Kind) {
    if (StylesComplete && static_cast<size_t>(Layer->PresenterCount()) == Styles.size()) {
        TStyleValues Style = CurrentStyle(Kind);
        if (LastPresenter && Style == LastStyle) return LastPresenter;
        const std::string Key = StyleKey(Kind);
        TOrvexPresenter* P = nullptr;
        if (const auto It = Styles.find(Key); It != Styles.end()) {
            P = It->second;
        } else {
            // Every presenter of the layer is in the map: none matches, so a new one is made.
            P = MatchingPresenter(Kind, false);
            Styles.emplace(Key, P);
        }
        LastStyle = std::move(Style);
        LastPresenter = P;
        return P;
    }
    LastPresenter = nullptr;
    // Presenters came from elsewhere (a handler): from now on the layer's list decides.
    StylesComplete = false;
    Styles.clear();
    return MatchingPresenter(Kind, true);
}

std::string TMifImporter::StyleKey(TChainKind Kind) const {
    const TOrvexPen* Pen = View.DefaultPen();
    std::string Key = Format("%d|%d|%d|%d", int(Kind), Pen->PenColor(), int(Pen->PenStyle()), int(Pen->PenWidth()));
    if (Kind != ckPolyline) {
        const TOrvexBrush* Brush = View.DefaultBrush();
        Key += Format("|%d|%d", Brush->BrushColor(), int(Brush->BrushStyle()));
    }
    if (Kind == ckPoints) {
        const TOrvexFont* Font = View.SymbolFont();
        std::string Name = Font->FontName();
        for (char& C : Name) C = static_cast<char>(std::toupper(static_cast<unsigned char>(C)));
        Key += Format("|%d|%d|%d|%d|%d|", Font->FontColor(), int(Font->FontUnit()), Font->FontSize(),
                      Font->FontAngle(), int(Font->FontStyle())) +
               Name;
    }
    return Key;
}

// The first presenter of the layer that matches the current style (when Search), else a new one.
TOrvexPresenter* TMifImporter::MatchingPresenter(TChainKind Kind, bool Search) {
    TOrvexPresenter* Found = nullptr;
    if (Search) {
        switch (Kind) {
            case ckPoints:
                Found = TPointPresenter::FindMatching(Layer, View.DefaultPen(), "", kPointSize, Pixel, ppCircle, nullptr,
                                                      View.SymbolFont(), View.DefaultBrush());
                break;
            case ckPolyline:
                Found = TPolylinePresenter::FindMatching(Layer, View.DefaultPen(), nullptr);
                break;
            case ckPolygon:
                Found = TPolygonPresenter::FindMatching(Layer, View.DefaultPen(), nullptr, View.DefaultBrush());
                break;
        }
    }
    if (Found) return Found;
    switch (Kind) {
        case ckPoints:
            return TOrvexPresenter::CreateNamed<TPointPresenter>(Layer, 0, "");
        case ckPolyline:
            return TOrvexPresenter::CreateNamed<TPolylinePresenter>(Layer, 0, "");
        case ckPolygon:
            return TOrvexPresenter::CreateNamed<TPolygonPresenter>(Layer, 0, "");
    }
    return nullptr;
}

void TMifImporter::MakeObject(TChainKind Kind, const char* DefaultTitle) {
    struct TClear {
        std::vector<TPoint3D>& Points;
        ~TClear() { Points.clear(); }  // the parts of a collection follow without a new row
    } Clear{Scratch};
    if (!RawX.empty()) ConvertGathered();
    // An object without points would be saved and read back as a point at 0, 0.
    if (Scratch.empty()) return;
    if (Scratch.size() > size_t(std::numeric_limits<int32_t>::max())) Fail("the object has too many points");
    const std::string Title = Attributes.empty() ? std::string(DefaultTitle) : ReplaceText(Attributes[0], "\"", "");
    TGeoDataObject* Obj = TGeoDataObject::Create(Layer, nullptr, 0, Title);
    Obj->SetPoints(Scratch.data(), static_cast<int32_t>(Scratch.size()));
    Obj->AttachPresenter(PresenterFor(Kind));
    // While the points are still in the cache.
    if (Obj->Count() > 1) Obj->CalcExtents();
}

}  // namespace

int SplitText(std::string_view Text, std::string_view Delim, std::vector<std::string_view>& List, bool KeepEmpty) {
    List.clear();
    if (Delim.empty()) {
        if (!Text.empty() || KeepEmpty) List.push_back(Text);
        return static_cast<int>(List.size());
    }
    size_t Start = 0;
    for (;;) {
        const size_t At = Text.find(Delim, Start);
        if (At == std::string_view::npos) {
            const std::string_view Rest = Text.substr(Start);
            if (!Rest.empty() || (Start == 0 && KeepEmpty)) List.push_back(Rest);
            break;
        }
        const std::string_view Piece = Text.substr(Start, At - Start);
        if (!Piece.empty() || KeepEmpty) List.push_back(Piece);
        Start = At + Delim.size();
    }
    return static_cast<int>(List.size());
}

std::string ReplaceText(std::string_view Text, std::string_view Find, std::string_view Replacement) {
    if (Find.empty()) return std::string(Text);
    std::string Result;
    Result.reserve(Text.size());
    size_t Start = 0;
    for (size_t At; (At = Text.find(Find, Start)) != std::string_view::npos; Start = At + Find.size()) {
        Result.append(Text.substr(Start, At - Start));
        Result.append(Replacement);
    }
    Result.append(Text.substr(Start));
    return Result;
}

TColor MifColorToColor(int32_t Value) {
    // The byte pairs of the six leading hex digits swapped: a value past 24 bits (a negative
    // one too) keeps its top six digits, as it always has.
    uint32_t V = static_cast<uint32_t>(Value);
    while (V > 0xFFFFFF) V >>= 4;
    return static_cast<TColor>((V & 0xFF) << 16 | (V & 0xFF00) | V >> 16);
}

TPenStyle MifPenStyle(int32_t Pattern) {
    if (Pattern == 1) return psClear;
    if (Pattern >= 3 && Pattern <= 9) return psDash;
    if (Pattern >= 10 && Pattern <= 13) return psDot;
    if (Pattern >= 14 && Pattern <= 16) return psDashDot;
    if (Pattern >= 20 && Pattern <= 25) return psDashDotDot;
    if (Pattern >= 71 && Pattern <= 77) return psInsideFrame;
    return psSolid;
}

TBrushStyle MifBrushStyle(int32_t Pattern) {
    auto In = [Pattern](int32_t Low, int32_t High) { return Pattern >= Low && Pattern <= High; };
    if (Pattern == 1) return bsClear;
    if (Pattern == 3 || In(19, 23)) return bsHorizontal;
    if (Pattern == 4 || In(24, 28)) return bsVertical;
    if (Pattern == 5 || In(29, 33)) return bsBDiagonal;
    if (Pattern == 6 || In(34, 38)) return bsFDiagonal;
    if (Pattern == 7 || In(39, 43) || In(56, 60)) return bsCross;
    if (Pattern == 8 || In(44, 52) || Pattern == 55 || In(61, 70)) return bsDiagCross;
    return bsSolid;
}

void ImportMIF(const std::vector<std::string>& FileNames, TOrvex3& View, bool KeepCoordinates) {
    TImportDriver Driver(View, "MIF Import Finished");
    std::vector<TPoint3D> Scratch;
    Driver.Run(FileNames, "MIF Import of ", [&](const std::string& Path) {
        TMifImporter Importer(View, Driver, Scratch, KeepCoordinates);
        Importer.Import(Path);
        return true;
    });
}

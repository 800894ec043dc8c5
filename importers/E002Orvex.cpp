#include "importers/E002Orvex.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "importers/ImportDriver.h"
#include "importers/ImportSupport.h"
#include "importers/SpatialReference.h"
#include "importers/TfrmE00Import.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "platform/UiServices.h"
#include "view/Orvex3.h"

namespace {

constexpr long double kHalfPi = OrvexPi / 2;
constexpr long double kQuarterPi = OrvexPi / 4;
constexpr long double kTwoPi = 2 * OrvexPi;
// OrvexUnits per radian: the exact figure, not the rounded EarthRadius.
constexpr long double kUnitsPerRadian = 5400000.0L * 180.0L / OrvexPi;
constexpr long double kRadiansPerDegree = OrvexPi / 180.0L;
constexpr long double kLatitudeTolerance = 1e-12L;
constexpr int kMaxIterations = 50;

long double Eccentricity(long double Flattening) { return std::sqrt(2 * Flattening - Flattening * Flattening); }

// Latitude from the isometric quantity t, solved by repeated substitution.
long double LatitudeFromT(long double T, long double E) {
    long double Phi = kHalfPi - 2 * std::atan(T);
    for (int I = 0; I < kMaxIterations; ++I) {
        const long double ESin = E * std::sin(Phi);
        const long double Next = kHalfPi - 2 * std::atan(T * std::pow((1 - ESin) / (1 + ESin), E / 2));
        const bool Done = std::fabs(Next - Phi) < kLatitudeTolerance;
        Phi = Next;
        if (Done) break;
    }
    return Phi;
}

long double TOfLatitude(long double Phi, long double E) {
    const long double ESin = E * std::sin(Phi);
    return std::tan(kQuarterPi - Phi / 2) / std::pow((1 - ESin) / (1 + ESin), E / 2);
}

}  // namespace

TPolarStereographic::TPolarStereographic(long double SemiMajorAxis, long double Flattening,
                                         long double CentralMeridian, bool SouthPole, long double ScaleFactor)
    : FA(SemiMajorAxis),
      FE(Eccentricity(Flattening)),
      FCentralMeridian(CentralMeridian),
      FScale(ScaleFactor),
      FK(std::sqrt(std::pow(1 + FE, 1 + FE) * std::pow(1 - FE, 1 - FE))),
      FSouth(SouthPole) {}

// The south polar aspect is the north one with the signs of x, y, latitude and longitudes
// turned round.
void TPolarStereographic::Forward(long double Longitude, long double Latitude, long double& X,
                                  long double& Y) const {
    const long double Phi = FSouth ? -Latitude : Latitude;
    const long double Rho = 2 * FA * FScale * TOfLatitude(Phi, FE) / FK;
    const long double Delta = Longitude - FCentralMeridian;
    X = Rho * std::sin(Delta);
    Y = FSouth ? Rho * std::cos(Delta) : -Rho * std::cos(Delta);
}

void TPolarStereographic::Inverse(long double X, long double Y, long double& Longitude, long double& Latitude) const {
    const long double Rho = std::hypot(X, Y);
    if (Rho == 0) {
        Longitude = FCentralMeridian;
        Latitude = FSouth ? -kHalfPi : kHalfPi;
        return;
    }
    const long double Phi = LatitudeFromT(Rho * FK / (2 * FA * FScale), FE);
    Latitude = FSouth ? -Phi : Phi;
    Longitude = FCentralMeridian + (FSouth ? std::atan2(X, Y) : std::atan2(X, -Y));
}

TLambertConformalConic::TLambertConformalConic(long double SemiMajorAxis, long double Flattening,
                                               long double Parallel1, long double Parallel2,
                                               long double OriginLatitude, long double CentralMeridian)
    : FA(SemiMajorAxis), FE(Eccentricity(Flattening)), FCentralMeridian(CentralMeridian) {
    const long double M1 = M(Parallel1), M2 = M(Parallel2), T1 = T(Parallel1), T2 = T(Parallel2);
    FN = Parallel1 == Parallel2 ? std::sin(Parallel1) : std::log(M1 / M2) / std::log(T1 / T2);
    FF = M1 / (FN * std::pow(T1, FN));
    FRho0 = FA * FF * std::pow(T(OriginLatitude), FN);
}

long double TLambertConformalConic::M(long double Phi) const {
    const long double ESin = FE * std::sin(Phi);
    return std::cos(Phi) / std::sqrt(1 - ESin * ESin);
}

long double TLambertConformalConic::T(long double Phi) const { return TOfLatitude(Phi, FE); }

void TLambertConformalConic::Forward(long double Longitude, long double Latitude, long double& X,
                                     long double& Y) const {
    const long double Rho = FA * FF * std::pow(T(Latitude), FN);
    const long double Theta = FN * std::remainder(Longitude - FCentralMeridian, kTwoPi);
    X = Rho * std::sin(Theta);
    Y = FRho0 - Rho * std::cos(Theta);
}

void TLambertConformalConic::Inverse(long double X, long double Y, long double& Longitude,
                                     long double& Latitude) const {
    const long double S = FN >= 0 ? 1 : -1;
    const long double Rho = S * std::hypot(X, FRho0 - Y);
    const long double Theta = std::atan2(S * X, S * (FRho0 - Y));
    if (Rho == 0) {
        Latitude = S * kHalfPi;
    } else {
        Latitude = LatitudeFromT(std::pow(Rho / (FA * FF), 1 / FN), FE);
    }
    Longitude = Theta / FN + FCentralMeridian;
}

namespace {

enum class TProjection { Unrecognised, Geographic, Polar, Lambert };

constexpr size_t kSingleReal = 14;
constexpr size_t kDoubleReal = 21;
constexpr size_t kParameterSlots = 9;

// The line at Pos, without its LF or CR LF; Pos moves past it. Past the end, an empty line.
std::string_view NextLine(std::string_view Text, size_t& Pos) {
    if (Pos >= Text.size()) return {};
    const size_t End = std::min(Text.find('\n', Pos), Text.size());
    std::string_view Line = Text.substr(Pos, End - Pos);
    if (!Line.empty() && Line.back() == '\r') Line.remove_suffix(1);
    Pos = End + 1;
    return Line;
}

// "NAME  2" opens a section in single precision, "NAME  3" in double.
bool IsSectionLine(std::string_view Line, std::string_view Section) {
    return Line.size() == Section.size() + 3 && Line.substr(0, Section.size()) == Section &&
           Line.substr(Section.size(), 2) == "  " && (Line.back() == '2' || Line.back() == '3');
}

// What a PRJ block says, read from the line after "PRJ  2" to the one that begins with "EOP".
struct TPrjBlock {
    TProjection Projection = TProjection::Unrecognised;
    // The first projection named (in capitals) while none was recognised: the question about
    // it is asked unless the coordinates are converted.
    std::string Unrecognised;
    bool Metres = false;
    std::optional<TSpheroid> Spheroid;
    std::vector<std::string> Parameters;  // the lines after "Parameters"
    std::string Text;                     // every line but the "~" marks, for the conversion
    bool Shifted = false;                 // an Xshift or Yshift other than 0
};

// Next() gives the next line (an empty one past the end), AtEnd() whether none is left.
template <class TNext, class TAtEnd>
TPrjBlock ParsePrjBlock(TNext Next, TAtEnd AtEnd) {
    TPrjBlock B;
    bool Storing = false;
    std::string_view Current = "PRJ  2";
    while (!Current.starts_with("EOP") && !AtEnd()) {
        Current = Next();
        if (Current.starts_with("~")) Current = Next();
        if (!Current.starts_with("EOP")) B.Text.append(Current).push_back('\n');
        const std::string_view Key = TrimText(Current.substr(0, std::min<size_t>(Current.size(), 14)));
        const std::string_view Value = Current.size() > 14 ? TrimText(Current.substr(14)) : std::string_view();
        if (SameText(Key, "Projection")) {
            std::string Upper(Value);
            for (char& C : Upper) C = static_cast<char>(std::toupper(static_cast<unsigned char>(C)));
            if (Upper == "GEOGRAPHIC")
                B.Projection = TProjection::Geographic;
            else if (Upper == "POLAR")
                B.Projection = TProjection::Polar;
            else if (Upper == "LAMBERT")
                B.Projection = TProjection::Lambert;
            if (B.Projection == TProjection::Unrecognised && B.Unrecognised.empty()) B.Unrecognised = Upper;
        } else if (SameText(Key, "Units") && SameText(Value, "METERS")) {
            B.Metres = true;
        } else if (SameText(Key, "Spheroid")) {
            if (SameText(Value, "CLARKE1866")) B.Spheroid = Clarke1866;
            if (SameText(Value, "WGS84")) B.Spheroid = WGS84;
        } else if (SameText(Key, "Xshift") || SameText(Key, "Yshift")) {
            long double Shift = 0;
            B.Shifted = B.Shifted || !ParseReal(Value, Shift) || Shift != 0;
        }
        if (Storing && B.Parameters.size() < kParameterSlots) B.Parameters.emplace_back(Current);
        if (SameText(Key, "Parameters")) {
            Storing = true;
            B.Parameters.clear();
        }
    }
    return B;
}

// The conversion of a projection the importer does not invert itself; null, with Why, when
// there is none.
std::unique_ptr<TCoordinateConversion> PrjConversion(const TPrjBlock& Block, std::string& Why) {
    // The shifts move the grid after projecting, which the conversion would not undo.
    if (Block.Shifted) {
        Why = "the projection " + Block.Unrecognised + " has an Xshift or Yshift, which cannot be converted";
        return nullptr;
    }
    auto Conversion = TCoordinateConversion::FromEsri(Block.Text, Why);
    if (Conversion && !Conversion->IsProjected()) {
        Why = "the projection " + Block.Unrecognised + " cannot be understood: it is read as " +
              (Conversion->IsGeographic() ? "longitude/latitude" : Conversion->Description());
        Conversion.reset();
    }
    return Conversion;
}

struct TArc {
    int32_t Number;
    int32_t Title;
    size_t First;  // in the arc points
    int32_t Count;
    bool Used;
};

struct TRing {
    int32_t Title;
    size_t First;  // in the ring points
    size_t Count;
};

// One run; the members below Options describe the file being read.
struct TE00Importer {
    TE00Importer(TOrvex3& V, TImportDriver& D, TE00ImportOptions& O) : View(V), Driver(D), Options(O) {}

    TOrvex3& View;
    TImportDriver& Driver;
    TE00ImportOptions& Options;
    bool WithArcs = true;
    bool WithText = true;

    std::string Path;
    std::string Name;
    std::string Text;
    size_t Pos = 0;       // of the next line
    int64_t LineNo = 0;   // of the line read last
    bool Double = false;  // the current section is in double precision
    TOrvexLayer* Layer = nullptr;

    TProjection Projection = TProjection::Unrecognised;
    bool Metres = false;
    TSpheroid Spheroid = WGS84;
    std::optional<TPolarStereographic> Polar;
    std::optional<TLambertConformalConic> Lambert;
    // For the projections the importer does not invert: the coordinates of a section gather
    // here as read and are converted together at its end.
    bool KeepCoordinates = false;
    std::unique_ptr<TCoordinateConversion> Conversion;
    std::vector<double> RawX, RawY;
    std::vector<TPoint3D> Gathered;
    std::vector<std::string> GatheredTitles;

    std::vector<TArc> Arcs;
    std::unordered_map<int32_t, size_t> ArcByNumber;
    std::vector<TPoint3D> ArcPoints, RingPoints, Ring;
    std::vector<TRing> Rings;

    void ImportFile(const std::string& FilePath);
    void Progress(int MsgType, const std::string& Message) { Driver.Progress(MsgType, Message); }
    [[noreturn]] void Fail(const std::string& Message) const;

    std::string_view ReadLine();
    bool AtEnd() const { return Pos >= Text.size(); }
    void Rewind() {
        Pos = 0;
        LineNo = 0;
    }
    bool Seek(std::string_view Section);
    bool HasVectorSection();
    size_t RealWidth() const { return Double ? kDoubleReal : kSingleReal; }
    std::string_view Field(std::string_view Line, size_t Column, size_t Width) const;
    int32_t IntField(std::string_view Line, size_t Column) const;
    long double RealField(std::string_view Line, size_t Column) const;
    TPoint3D Pair(std::string_view Line, size_t Column) const;
    // Pair(Line, Column) onto Points, or its raw values for the conversion.
    void TakePair(std::string_view Line, size_t Column, std::vector<TPoint3D>& Points);
    void ConvertRaw(std::vector<TPoint3D>& Points);
    int32_t ToUnits(long double Value) const;

    bool ReadProjection();
    void ReadArcs();
    void ReadPolygons();
    int32_t ReadPolygonHeader();
    bool AddEntry(int32_t ArcNumber);
    void FinishRing(int32_t& Counter);
    void MakeArcsAndPolygons();
    void ReadTexts();
    void ReadLabels();
    void MakePoint(const TPoint3D& P, const std::string& Title);
};

void TE00Importer::Fail(const std::string& Message) const {
    throw EImportError(Format("%s, line %lld: %s", Path.c_str(), static_cast<long long>(LineNo), Message.c_str()));
}

// Past the end an empty line is handed out; the count goes on so that messages stay true.
std::string_view TE00Importer::ReadLine() {
    ++LineNo;
    return NextLine(Text, Pos);
}

// Finds "NAME  2" (single precision) or "NAME  3" (double) from the current line on.
bool TE00Importer::Seek(std::string_view Section) {
    while (!AtEnd()) {
        const std::string_view Line = ReadLine();
        if (IsSectionLine(Line, Section)) {
            Double = Line.back() == '3';
            return true;
        }
    }
    return false;
}

bool TE00Importer::HasVectorSection() {
    for (const char* Section : {"ARC", "PAL", "LAB", "TX7"}) {
        Rewind();
        if (Seek(Section)) return true;
    }
    return false;
}

std::string_view TE00Importer::Field(std::string_view Line, size_t Column, size_t Width) const {
    if (Column - 1 >= Line.size()) return {};
    return TrimText(Line.substr(Column - 1, Width));
}

int32_t TE00Importer::IntField(std::string_view Line, size_t Column) const {
    const std::string_view F = Field(Line, Column, 10);
    int32_t V = 0;
    if (!ParseInt32(F, V))
        Fail(Format("columns %zu-%zu: '%.*s' is not a whole number", Column, Column + 9, int(F.size()), F.data()));
    return V;
}

long double TE00Importer::RealField(std::string_view Line, size_t Column) const {
    const std::string_view F = Field(Line, Column, RealWidth());
    long double V = 0;
    if (!ParseReal(F, V))
        Fail(Format("columns %zu-%zu: '%.*s' is not a number", Column, Column + RealWidth() - 1, int(F.size()),
                    F.data()));
    return V;
}

int32_t TE00Importer::ToUnits(long double Value) const {
    const auto Units = Metres ? CheckedUnits(Meter, std::trunc(Value)) : CheckedDegrees(Value);
    if (!Units)
        Fail(Format("the coordinate %.10Lg %s does not fit in OrvexUnits; is the coverage projected?", Value,
                    Metres ? "metres" : "degrees"));
    return *Units;
}

// The x, y pair whose x starts at Column, as a geographic point.
TPoint3D TE00Importer::Pair(std::string_view Line, size_t Column) const {
    const int32_t X = ToUnits(RealField(Line, Column)), Y = ToUnits(RealField(Line, Column + RealWidth()));
    if (Projection != TProjection::Polar && Projection != TProjection::Lambert) return ::MakePoint(X, Y);
    long double Longitude = 0, Latitude = 0;
    if (Polar)
        Polar->Inverse(X, Y, Longitude, Latitude);
    else
        Lambert->Inverse(X, Y, Longitude, Latitude);
    if (!std::isfinite(Longitude) || !std::isfinite(Latitude))
        Fail(Format("the point (%d, %d) has no inverse in the file's projection", X, Y));
    // Whole turns off the longitude first: a central meridian far east stays in range.
    return ::MakePoint(RoundChecked(std::remainder(Longitude, kTwoPi) * kUnitsPerRadian),
                       RoundChecked(Latitude * kUnitsPerRadian));
}

void TE00Importer::TakePair(std::string_view Line, size_t Column, std::vector<TPoint3D>& Points) {
    if (!Conversion) {
        Points.push_back(Pair(Line, Column));
        return;
    }
    const long double X = RealField(Line, Column), Y = RealField(Line, Column + RealWidth());
    RawX.push_back(static_cast<double>(X));
    RawY.push_back(static_cast<double>(Y));
}

// The raw values gathered, converted in one call, after Points' own.
void TE00Importer::ConvertRaw(std::vector<TPoint3D>& Points) {
    if (const std::string Why = ConvertGathered(*Conversion, RawX, RawY, Points); !Why.empty())
        Fail("of the section ending here, " + Why);
}

bool TE00Importer::ReadProjection() {
    Projection = TProjection::Unrecognised;
    Metres = false;
    Spheroid = View.Spheroid();
    Polar.reset();
    Lambert.reset();
    Conversion.reset();
    Rewind();
    if (!Seek("PRJ")) return true;
    const TPrjBlock Block = ParsePrjBlock([this] { return ReadLine(); }, [this] { return AtEnd(); });
    Projection = Block.Projection;
    Metres = Block.Metres;
    if (Block.Spheroid) Spheroid = *Block.Spheroid;
    if (!Block.Unrecognised.empty()) {
        std::string Why;
        if (Projection == TProjection::Unrecognised && !KeepCoordinates && CoordinateConversionAvailable())
            Conversion = PrjConversion(Block, Why);
        if (Conversion) {
            Progress(0, Name + ": " + ConvertedFromText(Conversion->Description()));
        } else {
            if (!Why.empty()) UiServices().ShowMessage("Import ArcInfo E00 File", Path + ": " + Why, mkWarning);
            if (!Options.AcceptProjection("Projection is " + Block.Unrecognised + " Load anyway?")) return false;
        }
    }

    const std::vector<std::string>& Parameters = Block.Parameters;
    const TSpheroidParams& S = SpheroidParams(Spheroid);
    if (Projection == TProjection::Polar) {
        int32_t CentralMeridian = 0;
        const std::string_view Text = Parameters.empty() ? std::string_view() : std::string_view(Parameters[0]);
        if (!ParseInt32(TrimText(Text.substr(0, 4)), CentralMeridian))
            Fail(Format("the polar projection's central meridian '%.*s' is not a whole number of degrees",
                        int(std::min<size_t>(Text.size(), 4)), Text.data()));
        Polar.emplace(S.SemiMajorAxis, S.Flattening, CentralMeridian * kRadiansPerDegree, true);
    } else if (Projection == TProjection::Lambert) {
        Lambert.emplace(S.SemiMajorAxis, S.Flattening, 70 * kRadiansPerDegree, 50 * kRadiansPerDegree, 0,
                        110 * kRadiansPerDegree);
    }
    return true;
}

void TE00Importer::ReadArcs() {
    RawX.clear();
    RawY.clear();
    Arcs.clear();
    ArcByNumber.clear();
    ArcPoints.clear();
    Rings.clear();
    RingPoints.clear();
    Rewind();
    if (Seek("ARC")) {
        for (;;) {
            const std::string_view Header = ReadLine();
            const int32_t Number = IntField(Header, 1);
            if (Number == -1) break;
            IntField(Header, 11);
            const int32_t Title = IntField(Header, 21);
            IntField(Header, 31);
            IntField(Header, 41);
            const int32_t Count = IntField(Header, 61);
            const size_t PerLine = Double ? 1 : 2;
            // Every point line is longer than one byte: a count the rest of the file cannot
            // hold is refused before anything is read or allocated for it.
            if (Count < 0 || (size_t(Count) + PerLine - 1) / PerLine > Text.size() - std::min(Pos, Text.size()))
                Fail(Format("arc %d states %d points, more than the rest of the file holds", Number, Count));
            // With a conversion the points wait in the raw values until the section ends.
            const size_t First = ArcPoints.size() + RawX.size();
            for (int32_t I = 0; I < Count;) {
                const std::string_view Line = ReadLine();
                TakePair(Line, 1, ArcPoints);
                if (++I < Count && !Double) {
                    TakePair(Line, 1 + 2 * kSingleReal, ArcPoints);
                    ++I;
                }
            }
            Arcs.push_back(TArc{Number, Title, First, Count, false});
            ArcByNumber.emplace(Number, Arcs.size() - 1);
        }
        if (Conversion) ConvertRaw(ArcPoints);
        ReadPolygons();
    }
    Progress(0, Name + ": Cleaning Up");
    MakeArcsAndPolygons();
}

int32_t TE00Importer::ReadPolygonHeader() {
    const int32_t Entries = IntField(ReadLine(), 1);
    if (Entries == -1) return Entries;
    // A double-precision header carries its box on a second line.
    if (Double) ReadLine();
    // Two entries to a line, and every line longer than one byte: a count the rest of the file
    // cannot hold is refused before it is looped over (2,147,483,647 is a lie, not a loop).
    if (Entries < 0) Fail(Format("a polygon states %d arcs", Entries));
    if ((int64_t(Entries) + 1) / 2 > int64_t(Text.size() - std::min(Pos, Text.size())))
        Fail(Format("a polygon states %d arcs, more than the rest of the file holds", Entries));
    return Entries;
}

// Polygons find their arcs by number, so an arc without points shifts nothing.
void TE00Importer::ReadPolygons() {
    Rewind();
    if (!Seek("PAL")) return;
    const int32_t Universe = ReadPolygonHeader();
    if (Universe == -1) return;
    for (int64_t I = 0, Lines = (int64_t(Universe) + 1) / 2; I < Lines; ++I) ReadLine();
    int32_t Counter = 1;
    for (;;) {
        int32_t Entries = ReadPolygonHeader();
        if (Entries == -1) break;
        Ring.clear();
        while (Entries > 1) {
            const std::string_view Line = ReadLine();
            if (AddEntry(IntField(Line, 1))) FinishRing(Counter);
            if (AddEntry(IntField(Line, 31))) FinishRing(Counter);
            Entries -= 2;
        }
        if (Entries == 1) AddEntry(IntField(ReadLine(), 1));
        FinishRing(Counter);
    }
}

// Appends the arc's points (reversed for a negative number); true for the entry 0 that ends a
// ring.
bool TE00Importer::AddEntry(int32_t ArcNumber) {
    if (ArcNumber == 0) return true;
    const int64_t Number = ArcNumber < 0 ? -int64_t(ArcNumber) : ArcNumber;
    const auto It = Number <= INT32_MAX ? ArcByNumber.find(int32_t(Number)) : ArcByNumber.end();
    if (It == ArcByNumber.end()) Fail(Format("a polygon lists arc %d, which the file does not hold", ArcNumber));
    TArc& Arc = Arcs[It->second];
    Arc.Used = true;
    // Each arc bounds at most two polygons: more use than that is a file that lies, and would
    // only make memory grow.
    if (Ring.size() + RingPoints.size() + size_t(Arc.Count) > 2 * ArcPoints.size())
        Fail("the polygons use the arcs more often than a coverage can");
    const auto From = ArcPoints.begin() + std::ptrdiff_t(Arc.First);
    const auto To = From + Arc.Count;
    if (ArcNumber > 0)
        Ring.insert(Ring.end(), From, To);
    else
        Ring.insert(Ring.end(), std::make_reverse_iterator(To), std::make_reverse_iterator(From));
    return false;
}

void TE00Importer::FinishRing(int32_t& Counter) {
    if (Ring.size() > 2) {
        ++Counter;
        Rings.push_back(TRing{Counter, RingPoints.size(), Ring.size()});
        RingPoints.insert(RingPoints.end(), Ring.begin(), Ring.end());
        if (Counter % 50 == 0) Progress(0, Format("%s: Imported %d polygons", Name.c_str(), Counter));
    }
    Ring.clear();
}

// The arcs no polygon used, in file order, then the polygons: the layer ends as if every arc
// had been made and the used ones deleted again, without deleting from the middle of the list.
void TE00Importer::MakeArcsAndPolygons() {
    TOrvexPresenter* ArcPresenter = Layer->FindPresenter("", -1);
    for (const TArc& Arc : Arcs) {
        if (Arc.Used || Arc.Count < 1) continue;
        TGeoDataObject::Create(Layer, ArcPresenter, 0, std::to_string(Arc.Title))
            ->SetPoints(ArcPoints.data() + Arc.First, Arc.Count);
    }
    TOrvexPresenter* PolygonPresenter = Layer->FindPresenter("", -3);
    for (const TRing& R : Rings) {
        if (R.Count > size_t(INT32_MAX)) Fail("a polygon has too many points");
        TGeoDataObject::Create(Layer, PolygonPresenter, 0, std::to_string(R.Title))
            ->SetPoints(RingPoints.data() + R.First, int32_t(R.Count));
    }
    Arcs.clear();
    ArcPoints.clear();
    Rings.clear();
    RingPoints.clear();
}

void TE00Importer::MakePoint(const TPoint3D& P, const std::string& Title) {
    TGeoDataObject::Create(Layer, Layer->FindPresenter("", -1), 0, Title)->SetPoints(&P, 1);
}

void TE00Importer::ReadTexts() {
    Rewind();
    if (!Seek("TX7")) return;
    ReadLine();
    RawX.clear();
    RawY.clear();
    Gathered.clear();
    GatheredTitles.clear();
    while (!AtEnd()) {
        const std::string_view Header = ReadLine();
        if (IntField(Header, 1) == -1) break;
        const int32_t Count = IntField(Header, 21);
        for (int I = 0; I < 8; ++I) ReadLine();
        TakePair(ReadLine(), 1, Gathered);
        for (int32_t I = 1; I < Count && !AtEnd(); ++I) ReadLine();
        const std::string Title(TrimText(ReadLine()));
        if (!Conversion) {
            if (!Title.empty()) MakePoint(Gathered.back(), Title);
            Gathered.clear();
        } else {
            GatheredTitles.push_back(Title);
        }
    }
    if (!Conversion) return;
    ConvertRaw(Gathered);
    for (size_t I = 0; I < Gathered.size(); ++I)
        if (!GatheredTitles[I].empty()) MakePoint(Gathered[I], GatheredTitles[I]);
}

// Labels in the LAB section wherever it stands (ArcInfo writes it before PAL). A label inside an
// object made before (a polygon, an arc, a text) adds nothing; labels do not hide each other,
// which would drop points of a point coverage by the zoom of the moment.
void TE00Importer::ReadLabels() {
    Progress(0, Name + ": Processing Labels");
    Rewind();
    if (!Seek("LAB")) return;
    const int BoxLines = Double ? 2 : 1;
    const int32_t Before = Layer->ObjectCount();
    auto Inside = [&](const TPoint3D& P) {
        for (int32_t I = Before - 1; I >= 0; --I)
            if (TOrvexObject* O = Layer->GetObject(I); O && O->ContainsPoint(P)) return true;
        return false;
    };
    RawX.clear();
    RawY.clear();
    Gathered.clear();
    GatheredTitles.clear();
    for (int32_t Count = 0;;) {
        const std::string_view Line = ReadLine();
        for (int I = 0; I < BoxLines; ++I) ReadLine();
        if (IntField(Line, 1) == -1) break;
        std::string Title(Field(Line, 11, 10));
        TakePair(Line, 21, Gathered);
        if (!Conversion) {
            if (!Inside(Gathered.back())) MakePoint(Gathered.back(), Title);
            Gathered.clear();
        } else {
            GatheredTitles.push_back(std::move(Title));
        }
        if (++Count % 50 == 0) Progress(0, Format("%s: Processing Label %d", Name.c_str(), Count));
    }
    if (!Conversion) return;
    ConvertRaw(Gathered);
    for (size_t I = 0; I < Gathered.size(); ++I)
        if (!Inside(Gathered[I])) MakePoint(Gathered[I], GatheredTitles[I]);
}

void TE00Importer::ImportFile(const std::string& FilePath) {
    Path = FilePath;
    Layer = Driver.AddLayer(FileBaseName(Path));
    Name = Layer->Name();
    Progress(1, "ARC Import of " + Path);
    Progress(0, Name + ": Reading ...");
    Text = ReadWholeFile(Path);
    UiServices().ProcessMessages();
    Driver.CheckLayer();
    Rewind();
    if (ReadLine().starts_with("EXP  1"))
        Fail("the file is compressed; export the coverage again without compression");
    if (!HasVectorSection()) Fail("no ARC, PAL, LAB or TX7 section: the file holds no vector coverage");

    if (ReadProjection()) {
        if (WithArcs) ReadArcs();
        if (WithText) ReadTexts();
        ReadLabels();
    } else {
        Progress(-1, Format("%s: file is not in Geographic projection", Path.c_str()));
    }
    Driver.FinishLayer();
    Progress(0, Format("%s: Imported %d objects", Name.c_str(), Layer->ObjectCount()));
}

}  // namespace

std::string E00ConversionSource(const std::string& Path) {
    if (!CoordinateConversionAvailable()) return {};
    std::string Text;
    try {
        Text = ReadWholeFile(Path);
    } catch (const std::exception&) {
        return {};  // the import itself will say why
    }
    size_t Pos = 0;
    auto Next = [&] { return NextLine(Text, Pos); };
    auto AtEnd = [&] { return Pos >= Text.size(); };
    while (!AtEnd()) {
        if (!IsSectionLine(Next(), "PRJ")) continue;
        const TPrjBlock Block = ParsePrjBlock(Next, AtEnd);
        if (Block.Projection != TProjection::Unrecognised || Block.Unrecognised.empty()) return {};
        std::string Why;
        const auto Conversion = PrjConversion(Block, Why);
        return Conversion ? Conversion->Description() : std::string();
    }
    return {};
}

void ImportE00(const std::vector<std::string>& FileNames, TOrvex3& View, TE00ImportOptions* Options) {
    TImportDriver Driver(View, "E00 Import Finished");
    std::unique_ptr<TE00ImportDialogOptions> Dialog;
    if (!Options) {
        Dialog = std::make_unique<TE00ImportDialogOptions>();
        Options = Dialog.get();
    }
    TE00Importer Importer(View, Driver, *Options);
    Options->PrepareFor(FileNames);
    if (!Options->ChooseRecords(Importer.WithArcs, Importer.WithText)) return;
    Importer.KeepCoordinates = Options->KeepCoordinates();
    // The file's start is reported once its layer is there.
    Driver.Run(FileNames, "", [&](const std::string& Path) {
        Importer.ImportFile(Path);
        return true;
    });
}

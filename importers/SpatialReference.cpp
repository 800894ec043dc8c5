#include "importers/SpatialReference.h"

#include "importers/GdalIO.h"

#ifndef ORVEX_HAVE_GDAL

struct TCoordinateConversion::TImpl {};

bool CoordinateConversionAvailable() { return false; }
TCoordinateConversion::TCoordinateConversion() = default;
TCoordinateConversion::~TCoordinateConversion() = default;

std::unique_ptr<TCoordinateConversion> TCoordinateConversion::FromEsri(std::string_view, std::string& Error) {
    Error = kNoGdalText;
    return nullptr;
}

std::unique_ptr<TCoordinateConversion> TCoordinateConversion::FromMapInfo(std::string_view, std::string& Error) {
    Error = kNoGdalText;
    return nullptr;
}

// Never made in this build.
bool TCoordinateConversion::IsGeographic() const { return true; }
bool TCoordinateConversion::IsProjected() const { return false; }
const std::string& TCoordinateConversion::Description() const {
    static const std::string None;
    return None;
}
size_t TCoordinateConversion::Transform(double*, double*, size_t Count) const { return Count; }

#else

#include <cpl_error.h>
#include <cpl_string.h>
#include <ogr_spatialref.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>

#include "foundation/OrvexExceptions.h"

namespace {

// GDAL's messages are kept for ours instead of going to standard error.
struct TQuietErrors {
    TQuietErrors() {
        CPLPushErrorHandler(CPLQuietErrorHandler);
        CPLErrorReset();
    }
    ~TQuietErrors() { CPLPopErrorHandler(); }
    TQuietErrors(const TQuietErrors&) = delete;
    TQuietErrors& operator=(const TQuietErrors&) = delete;
};

std::string GdalReason() {
    const char* Text = CPLGetLastErrorMsg();
    return Text && *Text ? std::string(": ") + Text : std::string();
}

struct TSrsReleaser {
    void operator()(OGRSpatialReference* S) const { S->Release(); }
};
using TSrs = std::unique_ptr<OGRSpatialReference, TSrsReleaser>;

struct TTransformDeleter {
    void operator()(OGRCoordinateTransformation* T) const { OGRCoordinateTransformation::DestroyCT(T); }
};
using TTransform = std::unique_ptr<OGRCoordinateTransformation, TTransformDeleter>;

// The description as a message can quote it: on one line, blanks run together, not too long.
std::string Quoted(std::string_view Text) {
    constexpr size_t kLongest = 100;
    std::string R;
    for (const char C : Text) {
        const bool Blank = static_cast<unsigned char>(C) <= ' ';
        if (Blank && (R.empty() || R.back() == ' ')) continue;
        R += Blank ? ' ' : C;
        if (R.size() > kLongest) {
            // Not inside a UTF-8 sequence: the message stays valid text.
            size_t Cut = kLongest;
            while (Cut > 0 && (static_cast<unsigned char>(R[Cut]) & 0xC0) == 0x80) --Cut;
            R.resize(Cut);
            R += "...";
            break;
        }
    }
    while (!R.empty() && R.back() == ' ') R.pop_back();
    return "'" + R + "'";
}

bool Unnamed(const char* Name) { return !Name || !*Name || EQUAL(Name, "unnamed") || EQUAL(Name, "unknown"); }

// WKT's names with blanks for their underscores.
std::string Words(std::string Name) {
    std::replace(Name.begin(), Name.end(), '_', ' ');
    return Name;
}

// The name the system gives itself, else the name of the registered system it matches, else
// what it is made of ("NAD27 / UTM zone 13N", "Lambert Conformal Conic 1SP on NTF Paris").
std::string NameOf(const OGRSpatialReference& Srs) {
    if (!Unnamed(Srs.GetName())) return Srs.GetName();
    if (const TSrs Match{Srs.FindBestMatch()}; Match && !Unnamed(Match->GetName())) return Match->GetName();
    const char* Base = Srs.GetAttrValue("GEOGCS");
    if (Unnamed(Base)) Base = Srs.GetAttrValue("DATUM");
    const std::string Datum = Unnamed(Base) ? std::string("an unnamed datum") : Words(Base);
    int North = 0;
    if (const int Zone = Srs.GetUTMZone(&North); Zone > 0)
        return Format("%s / UTM zone %d%c", Datum.c_str(), Zone, North ? 'N' : 'S');
    if (const char* Method = Srs.GetAttrValue("PROJECTION"); Method && *Method) return Words(Method) + " on " + Datum;
    return Datum;
}

constexpr double kRadiansPerDegree = 0.017453292519943295;

}  // namespace

struct TCoordinateConversion::TImpl {
    TSrs Source;
    TTransform Transform;
    std::string Description;
    bool Geographic = false;
    bool Projected = false;

    // Describes Source and builds the transformation it needs; false with Error otherwise.
    bool Complete(std::string_view Text, std::string& Error);
};

bool TCoordinateConversion::TImpl::Complete(std::string_view Text, std::string& Error) {
    Source->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    // Degrees from Greenwich on whatever datum: taken as they are, as such files always were.
    Geographic = Source->IsGeographic() &&
                 std::fabs(Source->GetAngularUnits(nullptr) - kRadiansPerDegree) < 1e-12 &&
                 Source->GetPrimeMeridian(nullptr) == 0;
    Projected = Source->IsProjected();
    Description = NameOf(*Source);
    if (Geographic) return true;
    if (!Projected && !Source->IsGeographic()) {
        Error = "the coordinate system " + Quoted(Text) + " (" + Description +
                ") is not one of longitudes and latitudes or of a map projection, so its coordinates cannot be "
                "converted to longitude/latitude";
        return false;
    }
    OGRSpatialReference Wgs84;
    Wgs84.SetWellKnownGeogCS("WGS84");
    Wgs84.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    CPLErrorReset();
    Transform.reset(OGRCreateCoordinateTransformation(Source.get(), &Wgs84));
    if (!Transform) {
        Error = "the coordinates of " + Quoted(Text) + " (" + Description +
                ") cannot be converted to longitude/latitude" + GdalReason();
        return false;
    }
    return true;
}

bool CoordinateConversionAvailable() { return true; }

TCoordinateConversion::TCoordinateConversion() : FImpl(std::make_unique<TImpl>()) {}
TCoordinateConversion::~TCoordinateConversion() = default;

std::unique_ptr<TCoordinateConversion> TCoordinateConversion::FromEsri(std::string_view Text, std::string& Error) {
    const TQuietErrors Quiet;
    // One entry per line, as GDAL reads a .prj file; a byte order mark goes first.
    std::string_view Body = Text;
    if (Body.starts_with("\xEF\xBB\xBF")) Body.remove_prefix(3);
    CPLStringList Lines;
    for (size_t Start = 0; Start < Body.size();) {
        size_t End = Body.find_first_of("\r\n", Start);
        if (End == std::string_view::npos) End = Body.size();
        if (End > Start) Lines.AddString(std::string(Body.substr(Start, End - Start)).c_str());
        Start = End + 1;
    }
    auto C = std::unique_ptr<TCoordinateConversion>(new TCoordinateConversion);
    C->FImpl->Source.reset(new OGRSpatialReference);
    if (Lines.Count() == 0 || C->FImpl->Source->importFromESRI(Lines.List()) != OGRERR_NONE) {
        Error = "the coordinate system " + Quoted(Text) + " cannot be understood" + GdalReason();
        return nullptr;
    }
    if (!C->FImpl->Complete(Text, Error)) return nullptr;
    return C;
}

std::unique_ptr<TCoordinateConversion> TCoordinateConversion::FromMapInfo(std::string_view CoordSys,
                                                                          std::string& Error) {
    const TQuietErrors Quiet;
    // The Bounds clause tells MapInfo the extent of its integer grid; it says nothing about the
    // system, and its numbers may be written in ways GDAL's reader does not take ("- 1063").
    std::string Clause(CoordSys);
    std::string Upper = Clause;
    std::transform(Upper.begin(), Upper.end(), Upper.begin(), [](unsigned char Ch) { return char(std::toupper(Ch)); });
    if (const size_t Bounds = Upper.find("BOUNDS"); Bounds != std::string::npos) Clause.resize(Bounds);
    auto C = std::unique_ptr<TCoordinateConversion>(new TCoordinateConversion);
    C->FImpl->Source.reset(new OGRSpatialReference);
    if (C->FImpl->Source->importFromMICoordSys(Clause.c_str()) != OGRERR_NONE) {
        Error = "the coordinate system " + Quoted(CoordSys) + " cannot be understood" + GdalReason();
        return nullptr;
    }
    if (!C->FImpl->Complete(CoordSys, Error)) return nullptr;
    return C;
}

bool TCoordinateConversion::IsGeographic() const { return FImpl->Geographic; }
bool TCoordinateConversion::IsProjected() const { return FImpl->Projected; }
const std::string& TCoordinateConversion::Description() const { return FImpl->Description; }

size_t TCoordinateConversion::Transform(double* X, double* Y, size_t Count) const {
    if (!FImpl->Transform) return Count;
    const TQuietErrors Quiet;
    for (size_t Done = 0; Done < Count;) {
        const size_t N = std::min<size_t>(Count - Done, INT_MAX);
        // Points that fail come back as huge values; the others are still converted.
        const bool All = FImpl->Transform->Transform(static_cast<int>(N), X + Done, Y + Done) != 0;
        for (size_t I = Done; I < Done + N; ++I)
            if (!std::isfinite(X[I]) || !std::isfinite(Y[I])) return I;
        if (!All) return Done;
        Done += N;
    }
    return Count;
}

#endif  // ORVEX_HAVE_GDAL

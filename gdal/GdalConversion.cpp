// Conversions of projected or other geographic coordinates to longitude and latitude on WGS 84,
// from the coordinate system an ESRI .prj file, an E00 PRJ block or a MapInfo CoordSys clause
// describes.
#include <ogr_spatialref.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cpl_string.h>
#include <string_view>
#include <vector>

#include "gdal/GdalModuleSupport.h"

struct TGdalConversion {
    orvex_gdal::TTransform Transform;  // none for degrees from Greenwich, taken as they are
    std::string Description;
    int32_t Kind = gkProjected;
};

namespace orvex_gdal {
namespace {

bool Unnamed(const char* Name) { return !Name || !*Name || EQUAL(Name, "unnamed") || EQUAL(Name, "unknown"); }

// WKT's names with blanks for their underscores.
std::string Words(std::string Name) {
    std::replace(Name.begin(), Name.end(), '_', ' ');
    return Name;
}

// The name the system gives itself, else the name of the registered system it matches, else
// what it is made of ("NAD27 / UTM zone 13N", "Lambert Conformal Conic 1SP on NTF Paris").
std::string NameOf(OGRSpatialReferenceH Handle) {
    const OGRSpatialReference& Srs = *OGRSpatialReference::FromHandle(Handle);
    if (!Unnamed(Srs.GetName())) return Srs.GetName();
    if (OGRSpatialReference* Match = Srs.FindBestMatch()) {
        const std::string Name = Unnamed(Match->GetName()) ? std::string() : Match->GetName();
        Match->Release();
        if (!Name.empty()) return Name;
    }
    const char* Base = Srs.GetAttrValue("GEOGCS");
    if (Unnamed(Base)) Base = Srs.GetAttrValue("DATUM");
    const std::string Datum = Unnamed(Base) ? std::string("an unnamed datum") : Words(Base);
    int North = 0;
    if (const int Zone = Srs.GetUTMZone(&North); Zone > 0)
        return Datum + " / UTM zone " + std::to_string(Zone) + (North ? "N" : "S");
    if (const char* Method = Srs.GetAttrValue("PROJECTION"); Method && *Method) return Words(Method) + " on " + Datum;
    return Datum;
}

constexpr double kRadiansPerDegree = 0.017453292519943295;

// A conversion for a system a file describes: degrees from Greenwich on whatever datum are taken
// as they are, as such files always were; other systems of longitudes and latitudes and map
// projections are converted; anything else cannot be.
TGdalConversion* DescribedConversion(TSrs Srs) {
    OSRSetAxisMappingStrategy(Srs.get(), OAMS_TRADITIONAL_GIS_ORDER);
    auto C = std::make_unique<TGdalConversion>();
    C->Description = NameOf(Srs.get());
    const bool Geographic = OSRIsGeographic(Srs.get());
    char* Unused = nullptr;
    if (Geographic && std::fabs(OSRGetAngularUnits(Srs.get(), &Unused) - kRadiansPerDegree) < 1e-12 &&
        OSRGetPrimeMeridian(Srs.get(), &Unused) == 0) {
        C->Kind = gkDegrees;
        return C.release();
    }
    C->Kind = OSRIsProjected(Srs.get()) ? gkProjected : gkGeographic;
    if (!Geographic && C->Kind != gkProjected) {
        SetError("(" + C->Description +
                     ") is not one of longitudes and latitudes or of a map projection, so its coordinates cannot be "
                     "converted to longitude/latitude",
                 false);
        return nullptr;
    }
    CPLErrorReset();
    C->Transform = ConversionFrom(Srs.get());
    if (!C->Transform) {
        SetError("(" + C->Description + "): its coordinates cannot be converted to longitude/latitude");
        return nullptr;
    }
    return C.release();
}

}  // namespace

TGdalConversion* MakeConversion(TSrs Srs) {
    auto C = std::make_unique<TGdalConversion>();
    C->Kind = OSRIsProjected(Srs.get()) ? gkProjected : gkGeographic;
    C->Transform = ConversionFrom(Srs.get());
    if (!C->Transform) return nullptr;
    C->Description = NameOf(Srs.get());
    return C.release();
}

TGdalConversion* ConversionFromEsri(const char* Text) {
    return Guarded<TGdalConversion*>(nullptr, [&]() -> TGdalConversion* {
        const TQuietErrors Quiet;
        // One entry per line, as GDAL reads a .prj file; a byte order mark goes first.
        std::string_view Body(Text);
        if (Body.starts_with("\xEF\xBB\xBF")) Body.remove_prefix(3);
        CPLStringList Lines;
        for (size_t Start = 0; Start < Body.size();) {
            size_t End = Body.find_first_of("\r\n", Start);
            if (End == std::string_view::npos) End = Body.size();
            if (End > Start) Lines.AddString(std::string(Body.substr(Start, End - Start)).c_str());
            Start = End + 1;
        }
        TSrs Srs(OSRNewSpatialReference(nullptr));
        if (!Srs || Lines.Count() == 0 || OSRImportFromESRI(Srs.get(), Lines.List()) != OGRERR_NONE) {
            SetError("cannot be understood");
            return nullptr;
        }
        return DescribedConversion(std::move(Srs));
    });
}

TGdalConversion* ConversionFromMapInfo(const char* CoordSys) {
    return Guarded<TGdalConversion*>(nullptr, [&]() -> TGdalConversion* {
        const TQuietErrors Quiet;
        // The Bounds clause tells MapInfo the extent of its integer grid; it says nothing about
        // the system, and its numbers may be written in ways GDAL's reader does not take ("- 1063").
        std::string Clause(CoordSys);
        std::string Upper = Clause;
        std::transform(Upper.begin(), Upper.end(), Upper.begin(),
                       [](unsigned char Ch) { return char(std::toupper(Ch)); });
        if (const size_t Bounds = Upper.find("BOUNDS"); Bounds != std::string::npos) Clause.resize(Bounds);
        TSrs Srs(OSRNewSpatialReference(nullptr));
        if (!Srs || OSRImportFromMICoordSys(Srs.get(), Clause.c_str()) != OGRERR_NONE) {
            SetError("cannot be understood");
            return nullptr;
        }
        return DescribedConversion(std::move(Srs));
    });
}

const char* DescribeConversion(const TGdalConversion* Conversion) { return Conversion->Description.c_str(); }

int32_t ConversionKind(const TGdalConversion* Conversion) { return Conversion->Kind; }

int64_t Convert(const TGdalConversion* Conversion, int64_t Count, double* X, double* Y) {
    if (!Conversion->Transform) return std::max<int64_t>(Count, 0);
    // GDAL counts points in int: large arrays go in slices.
    constexpr int64_t kSlice = 1 << 20;
    if (Count <= 0) return 0;
    // Reused from call to call: an import converts feature by feature.
    thread_local std::vector<double> KeptX, KeptY;
    thread_local std::vector<int> Success;
    const TQuietErrors Quiet;
    for (int64_t Start = 0; Start < Count; Start += kSlice) {
        const int N = static_cast<int>(std::min(kSlice, Count - Start));
        double* const Xs = X + Start;
        double* const Ys = Y + Start;
        KeptX.assign(Xs, Xs + N);
        KeptY.assign(Ys, Ys + N);
        Success.assign(static_cast<size_t>(N), 0);
        const bool Done = OCTTransformEx(Conversion->Transform.get(), N, Xs, Ys, nullptr, Success.data());
        // False when a point failed, which Success marks (none marked: all of them). A point
        // that "succeeds" into infinity failed too.
        auto Failed = std::find(Success.begin(), Success.end(), 0);
        for (int I = 0; I < N && Failed == Success.end(); ++I)
            if (!std::isfinite(Xs[I]) || !std::isfinite(Ys[I])) Failed = Success.begin() + I;
        if (Done && Failed == Success.end()) continue;
        const auto I = Failed == Success.end() ? 0 : static_cast<size_t>(Failed - Success.begin());
        std::copy(KeptX.begin() + static_cast<ptrdiff_t>(I), KeptX.end(), Xs + I);
        std::copy(KeptY.begin() + static_cast<ptrdiff_t>(I), KeptY.end(), Ys + I);
        SetError("the point (" + Number(KeptX[I]) + ", " + Number(KeptY[I]) +
                     ") cannot be converted to longitude and latitude",
                 false);
        return Start + static_cast<int64_t>(I);
    }
    return Count;
}

void FreeConversion(TGdalConversion* Conversion) { delete Conversion; }

}  // namespace orvex_gdal

// Conversions of projected or other geographic coordinates to longitude and latitude on WGS 84,
// from the coordinate system an ESRI .prj file or a MapInfo CoordSys clause describes.
#include <algorithm>
#include <cpl_string.h>
#include <vector>

#include "gdal/GdalModuleSupport.h"

struct TGdalConversion {
    orvex_gdal::TTransform Transform;
    std::string Description;
};

namespace orvex_gdal {
namespace {

// The system in words: its name, else its PROJ definition.
std::string Describe(OGRSpatialReferenceH Srs) {
    const char* Name = OSRGetName(Srs);
    if (Name && *Name && std::string(Name) != "unnamed" && std::string(Name) != "unknown") return Name;
    char* Proj = nullptr;
    std::string R = "an unnamed coordinate system";
    if (OSRExportToProj4(Srs, &Proj) == OGRERR_NONE && Proj && *Proj) R = Proj;
    CPLFree(Proj);
    return R;
}

}  // namespace

TGdalConversion* MakeConversion(TSrs Srs) {
    auto C = std::make_unique<TGdalConversion>();
    C->Transform = ConversionFrom(Srs.get());
    if (!C->Transform) return nullptr;
    C->Description = Describe(Srs.get());
    return C.release();
}

TGdalConversion* ConversionFromEsri(const char* Text) {
    return Guarded<TGdalConversion*>(nullptr, [&]() -> TGdalConversion* {
        const TQuietErrors Quiet;
        TSrs Srs(OSRNewSpatialReference(nullptr));
        // The old .prj files are lines of keywords, the newer ones one line of well-known text.
        char** Lines = CSLTokenizeString2(Text, "\r\n", CSLT_HONOURSTRINGS | CSLT_PRESERVEQUOTES);
        const bool Esri = Srs && Lines && OSRImportFromESRI(Srs.get(), Lines) == OGRERR_NONE;
        CSLDestroy(Lines);
        if (!Esri && !(Srs && OSRImportFromWkt(Srs.get(), const_cast<char**>(&Text)) == OGRERR_NONE)) {
            SetError("GDAL cannot read the coordinate system");
            return nullptr;
        }
        return MakeConversion(std::move(Srs));
    });
}

TGdalConversion* ConversionFromMapInfo(const char* CoordSys) {
    return Guarded<TGdalConversion*>(nullptr, [&]() -> TGdalConversion* {
        const TQuietErrors Quiet;
        TSrs Srs(OSRNewSpatialReference(nullptr));
        if (!Srs || OSRImportFromMICoordSys(Srs.get(), CoordSys) != OGRERR_NONE) {
            SetError("GDAL cannot read the CoordSys clause");
            return nullptr;
        }
        return MakeConversion(std::move(Srs));
    });
}

const char* DescribeConversion(const TGdalConversion* Conversion) { return Conversion->Description.c_str(); }

int64_t Convert(const TGdalConversion* Conversion, int64_t Count, double* X, double* Y) {
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
        // False when a point failed, which Success marks (none marked: all of them).
        const auto Failed = std::find(Success.begin(), Success.end(), 0);
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

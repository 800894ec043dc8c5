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

#include <algorithm>
#include <cctype>

#include "importers/GdalLoader.h"

namespace {

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

std::string Lower(std::string_view Text) {
    std::string R(Text);
    std::transform(R.begin(), R.end(), R.begin(), [](unsigned char C) { return char(std::tolower(C)); });
    return R;
}

// The plain degrees that nearly every geographic .prj holds ("GEOGCS[...,PRIMEM["Greenwich",0],
// UNIT["Degree",0.0174532925199433]]") are told without loading GDAL; the name is the system's.
// Anything else, however close, is left to GDAL.
bool PlainDegrees(std::string_view Text, std::string& Name) {
    if (Text.starts_with("\xEF\xBB\xBF")) Text.remove_prefix(3);
    while (!Text.empty() && std::isspace(static_cast<unsigned char>(Text.front()))) Text.remove_prefix(1);
    while (!Text.empty() && std::isspace(static_cast<unsigned char>(Text.back()))) Text.remove_suffix(1);
    const std::string L = Lower(Text);
    if (!L.starts_with("geogcs[\"") || !L.ends_with("]") || L.find("projcs") != std::string::npos) return false;
    // One prime meridian and one unit, the ones of degrees from Greenwich.
    const auto Count = [&](std::string_view What) {
        size_t N = 0;
        for (size_t At = L.find(What); At != std::string::npos; At = L.find(What, At + 1)) ++N;
        return N;
    };
    if (Count("primem[") != 1 || Count("unit[") != 1 || Count("axis[") != 0 || Count("towgs84") != 0) return false;
    const size_t Meridian = L.find("primem[\"greenwich\",");
    if (Meridian == std::string::npos) return false;
    const size_t Zero = Meridian + std::string_view("primem[\"greenwich\",").size();
    const size_t ZeroEnd = L.find(']', Zero);
    if (ZeroEnd == std::string::npos || L.find_first_not_of("0.", Zero) != ZeroEnd) return false;
    const size_t Unit = L.find("unit[\"degree\",0.01745329251994");
    if (Unit == std::string::npos || L.find(']', Unit) != L.size() - 2) return false;
    const size_t NameEnd = Text.find('"', 8);
    Name = std::string(Text.substr(8, NameEnd == std::string_view::npos ? 0 : NameEnd - 8));
    return true;
}

}  // namespace

struct TCoordinateConversion::TImpl {
    const TGdalInterface* Module = nullptr;
    TGdalConversion* Handle = nullptr;  // none for plain degrees told without the module
    std::string Description;
    int32_t Kind = gkDegrees;
    ~TImpl() {
        if (Handle) Module->FreeConversion(Handle);
    }
};

bool CoordinateConversionAvailable() { return true; }

TCoordinateConversion::TCoordinateConversion() : FImpl(std::make_unique<TImpl>()) {}
TCoordinateConversion::~TCoordinateConversion() = default;

std::unique_ptr<TCoordinateConversion> TCoordinateConversion::FromModule(std::string_view Text, std::string& Error,
                                                                         bool MapInfo) {
    const TGdalInterface* G = GdalModule();
    if (!G) {
        Error = "the coordinate system " + Quoted(Text) + " cannot be converted: " + GdalModuleError();
        return nullptr;
    }
    const std::string Nul(Text);
    TGdalConversion* Handle = MapInfo ? G->ConversionFromMapInfo(Nul.c_str()) : G->ConversionFromEsri(Nul.c_str());
    if (!Handle) {
        Error = "the coordinate system " + Quoted(Text) + " " + G->LastError();
        return nullptr;
    }
    auto C = std::unique_ptr<TCoordinateConversion>(new TCoordinateConversion);
    C->FImpl->Module = G;
    C->FImpl->Handle = Handle;
    C->FImpl->Description = G->DescribeConversion(Handle);
    C->FImpl->Kind = G->ConversionKind(Handle);
    return C;
}

std::unique_ptr<TCoordinateConversion> TCoordinateConversion::FromEsri(std::string_view Text, std::string& Error) {
    if (std::string Name; PlainDegrees(Text, Name)) {
        auto C = std::unique_ptr<TCoordinateConversion>(new TCoordinateConversion);
        C->FImpl->Description = Name;
        return C;
    }
    return FromModule(Text, Error, false);
}

std::unique_ptr<TCoordinateConversion> TCoordinateConversion::FromMapInfo(std::string_view CoordSys,
                                                                          std::string& Error) {
    return FromModule(CoordSys, Error, true);
}

bool TCoordinateConversion::IsGeographic() const { return FImpl->Kind == gkDegrees; }
bool TCoordinateConversion::IsProjected() const { return FImpl->Kind == gkProjected; }
const std::string& TCoordinateConversion::Description() const { return FImpl->Description; }

size_t TCoordinateConversion::Transform(double* X, double* Y, size_t Count) const {
    if (!FImpl->Handle || Count == 0) return Count;
    const int64_t Done = FImpl->Module->Convert(FImpl->Handle, static_cast<int64_t>(Count), X, Y);
    return Done < 0 ? 0 : static_cast<size_t>(Done);
}

#endif  // ORVEX_HAVE_GDAL

#include "importers/ImportSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

#include "importers/SpatialReference.h"
#include "model/ExtentRefresh.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "platform/UiServices.h"
#include "styling/OrvexPresenter.h"
#include "view/Orvex3.h"

namespace {

struct TFdCloser {
    int Fd;
    ~TFdCloser() { ::close(Fd); }
};

}  // namespace

int OpenRegular(const std::string& Path, size_t& Size) {
    const int Fd = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (Fd < 0) throw EImportError(Format("Cannot open %s: %s", Path.c_str(), std::strerror(errno)));
    struct stat Info {};
    if (::fstat(Fd, &Info) != 0 || !S_ISREG(Info.st_mode)) {
        ::close(Fd);
        throw EImportError(Format("Cannot read %s: not a regular file", Path.c_str()));
    }
    Size = static_cast<size_t>(Info.st_size);
    return Fd;
}

size_t ReadAll(int Fd, const std::string& Path, char* Buffer, size_t Size) {
    size_t Done = 0;
    while (Done < Size) {
        const ssize_t N = ::read(Fd, Buffer + Done, Size - Done);
        if (N < 0 && errno == EINTR) continue;
        if (N < 0) throw EImportError(Format("Cannot read %s: %s", Path.c_str(), std::strerror(errno)));
        if (N == 0) break;
        Done += static_cast<size_t>(N);
    }
    return Done;
}

std::string ReadWholeFile(const std::string& Path) {
    size_t Size = 0;
    const TFdCloser Closer{OpenRegular(Path, Size)};
    std::string Data;
    Data.resize(Size);
    Data.resize(ReadAll(Closer.Fd, Path, Data.data(), Size));
    return Data;
}

TFileWindow::TFileWindow(const std::string& Path) : FPath(Path) { FFd = OpenRegular(Path, FSize); }

TFileWindow::~TFileWindow() { ::close(FFd); }

std::string_view TFileWindow::From(size_t Offset, size_t AtLeast) {
    if (Offset >= FSize) return {};
    AtLeast = std::min(AtLeast, FSize - Offset);
    if (Offset < FStart || Offset + AtLeast > FStart + FFill) {
        // Small enough to stay in the cache while it is parsed; larger only for a longer request.
        constexpr size_t kChunk = size_t(512) << 10;
        const size_t Wanted = std::max(AtLeast, kChunk);
        const bool Keep = Offset >= FStart && Offset < FStart + FFill;
        const size_t Kept = Keep ? FStart + FFill - Offset : 0;
        if (Wanted > FCapacity) {
            auto Bigger = std::make_unique_for_overwrite<char[]>(Wanted);
            if (Kept) std::memcpy(Bigger.get(), FBuffer.get() + (Offset - FStart), Kept);
            FBuffer = std::move(Bigger);
            FCapacity = Wanted;
        } else if (Kept) {
            std::memmove(FBuffer.get(), FBuffer.get() + (Offset - FStart), Kept);
        }
        FStart = Offset;
        FFill = Kept;
        while (FFill < FCapacity && FStart + FFill < FSize) {
            const ssize_t N = ::pread(FFd, FBuffer.get() + FFill, FCapacity - FFill, off_t(FStart + FFill));
            if (N < 0 && errno == EINTR) continue;
            if (N < 0) throw EImportError(Format("Cannot read %s: %s", FPath.c_str(), std::strerror(errno)));
            if (N == 0) {
                FSize = FStart + FFill;  // the file shrank meanwhile
                break;
            }
            FFill += static_cast<size_t>(N);
        }
    }
    return {FBuffer.get() + (Offset - FStart), std::min(FFill - (Offset - FStart), FSize - Offset)};
}

namespace {

size_t ExtensionStart(const std::string& Path) {
    const size_t Slash = Path.find_last_of('/');
    const size_t Dot = Path.find_last_of('.');
    if (Dot == std::string::npos || (Slash != std::string::npos && Dot < Slash)) return Path.size();
    return Dot;
}

bool IsFile(const std::string& Path) {
    struct stat Info {};
    return ::stat(Path.c_str(), &Info) == 0 && S_ISREG(Info.st_mode);
}

char Upper(char C) { return (C >= 'a' && C <= 'z') ? static_cast<char>(C - 'a' + 'A') : C; }

}  // namespace

std::string FindCompanionFile(const std::string& Path, std::string_view Extension) {
    const std::string Stem = Path.substr(0, ExtensionStart(Path));
    std::string Exact = Stem + std::string(Extension);
    if (IsFile(Exact)) return Exact;
    std::string Upcased = Stem;
    for (const char C : Extension) Upcased += Upper(C);
    if (IsFile(Upcased)) return Upcased;

    // Any other mix of case: look through the folder once.
    namespace fs = std::filesystem;
    const size_t Slash = Stem.find_last_of('/');
    const std::string Dir = Slash == std::string::npos ? "." : (Slash == 0 ? "/" : Stem.substr(0, Slash));
    const std::string Wanted = FileNamePart(Exact);
    std::error_code Ec;
    fs::directory_iterator It(Dir, Ec), End;
    std::string Found;
    for (; !Ec && It != End; It.increment(Ec)) {
        const std::string Name = It->path().filename().string();
        if (Name.size() != Wanted.size()) continue;
        const size_t StemLength = Wanted.size() - Extension.size();
        if (Name.compare(0, StemLength, Wanted, 0, StemLength) != 0) continue;
        if (!SameText(std::string_view(Name).substr(StemLength), Extension)) continue;
        const std::string Candidate = (Slash == std::string::npos ? std::string() : Stem.substr(0, Slash + 1)) + Name;
        // The folder order is arbitrary: take the smallest name so the choice is repeatable.
        if (IsFile(Candidate) && (Found.empty() || Candidate < Found)) Found = Candidate;
    }
    return Found;
}

std::string FileNamePart(const std::string& Path) {
    const size_t Slash = Path.find_last_of('/');
    return Slash == std::string::npos ? Path : Path.substr(Slash + 1);
}

std::string FileBaseName(const std::string& Path) {
    const std::string Name = FileNamePart(Path);
    const size_t Dot = Name.find_last_of('.');
    return Dot == std::string::npos ? Name : Name.substr(0, Dot);
}

std::string_view TrimText(std::string_view Text) {
    size_t B = 0, E = Text.size();
    while (B < E && static_cast<unsigned char>(Text[B]) <= ' ') ++B;
    while (E > B && static_cast<unsigned char>(Text[E - 1]) <= ' ') --E;
    return Text.substr(B, E - B);
}

bool ParseInt32(std::string_view Text, int32_t& Value) {
    if (!Text.empty() && Text.front() == '+') Text.remove_prefix(1);
    if (Text.empty() || Text.front() == '+') return false;
    int32_t V = 0;
    const auto [End, Ec] = std::from_chars(Text.data(), Text.data() + Text.size(), V);
    if (Ec != std::errc() || End != Text.data() + Text.size()) return false;
    Value = V;
    return true;
}

bool ParseDouble(std::string_view Text, double& Value) {
    const char* P = Text.data();
    if (double V = 0; ScanDecimal(P, Text.data() + Text.size(), V) && P == Text.data() + Text.size()) {
        Value = V;
        return true;
    }
    if (!Text.empty() && Text.front() == '+') Text.remove_prefix(1);
    if (Text.empty() || Text.front() == '+') return false;
    double V = 0;
    const auto [End, Ec] =
        std::from_chars(Text.data(), Text.data() + Text.size(), V, std::chars_format::general);
    if (Ec != std::errc() || End != Text.data() + Text.size() || !std::isfinite(V)) return false;
    Value = V;
    return true;
}

bool ParseReal(std::string_view Text, long double& Value) {
    double V = 0;
    if (!ParseDouble(Text, V)) return false;
    Value = V;
    return true;
}

namespace {
// A conversion result is safe to round into int32 with a margin for the rounding itself.
bool FitsInt32(long double X) {
    return std::isfinite(X) && X > static_cast<long double>(std::numeric_limits<int32_t>::min()) - 0.5L &&
           X < static_cast<long double>(std::numeric_limits<int32_t>::max()) + 0.5L;
}
}  // namespace

long double ParseDivisor(const std::string& Path, std::string_view Text) {
    int32_t D = 1;
    if (!ParseInt32(TrimText(Text), D)) return 1;
    if (D <= 0)
        throw EImportError(Format("%s: the divisor must be a positive whole number, not %s", Path.c_str(),
                                  std::string(TrimText(Text)).c_str()));
    return D;
}

std::optional<int32_t> CheckedDegrees(long double Degrees) {
    const auto D = static_cast<double>(Degrees);
    if (int32_t Units; static_cast<long double>(D) == Degrees && DoubleDegreesToUnits(D, Units)) return Units;
    if (!FitsInt32(Degrees * OrvexUnits::PerDegree)) return std::nullopt;
    return DegToOrvexUnits(Degrees);
}

std::optional<int32_t> CheckedUnits(TOrvexUnits Unit, long double Value) {
    const long double Units = Value * UnitFactor(Unit);
    if (Unit == Pixel || !FitsInt32(Units)) return std::nullopt;
    return UnitsToOrvexUnits(Unit, Value);
}

std::string ConvertedFromText(const std::string& Description) {
    return std::string(kConvertedFrom) + Description + " to longitude/latitude";
}

namespace {
// A number for a message, the same in every locale.
std::string Number(double V) {
    char Buffer[32];
    const auto [End, Ec] = std::to_chars(Buffer, Buffer + sizeof Buffer, V, std::chars_format::general, 10);
    return Ec == std::errc() ? std::string(Buffer, End) : std::string("?");
}
}  // namespace

std::string ConvertPoints(const TCoordinateConversion& Conversion, double* X, double* Y, size_t Count,
                          TPoint3D* Out) {
    const size_t Converted = Conversion.Transform(X, Y, Count);
    for (size_t I = 0; I < Converted; ++I) {
        int32_t Longitude = 0, Latitude = 0;
        if (std::fabs(Y[I]) <= 90 && FastDegreesToUnits(X[I], Longitude) && FastDegreesToUnits(Y[I], Latitude)) {
            Out[I] = MakePoint(Longitude, Latitude);
            continue;
        }
        const auto L = CheckedDegrees(X[I]), B = CheckedDegrees(Y[I]);
        if (!L || !B || !(std::fabs(Y[I]) <= 90)) {
            std::fill(Out + I, Out + Count, TPoint3D{});
            return Format("point %zu converts to (%s, %s), which is no longitude and latitude", I + 1,
                          Number(X[I]).c_str(), Number(Y[I]).c_str());
        }
        Out[I] = MakePoint(*L, *B);
    }
    if (Converted == Count) return {};
    std::fill(Out + Converted, Out + Count, TPoint3D{});
    return Format("point %zu cannot be converted from %s to longitude/latitude", Converted + 1,
                  Conversion.Description().c_str());
}

std::string ConvertGathered(const TCoordinateConversion& Conversion, std::vector<double>& X, std::vector<double>& Y,
                            std::vector<TPoint3D>& Points) {
    const size_t First = Points.size(), Count = X.size();
    Points.resize(First + Count);
    const std::string Why = ConvertPoints(Conversion, X.data(), Y.data(), Count, Points.data() + First);
    X.clear();
    Y.clear();
    return Why;
}

TImportRun::TImportRun(TOrvex3& View, std::string FinishText) : FView(View), FFinishText(std::move(FinishText)) {
    UiServices().BeginHourglass();
}

TImportRun::~TImportRun() {
    UiServices().EndHourglass();
    try {
        FView.Progress(2, FFinishText);
    } catch (...) {
        // The run's own error (if any) is already on its way; a failing handler must not end
        // the program.
    }
}

TLayerFill::TLayerFill(TOrvex3& View, TOrvexLayer* Layer) : FView(View), FLayer(Layer) { FLayer->BeginUpdate(); }

TLayerFill::~TLayerFill() {
    if (!Alive()) return;
    // Also after a failure: the objects made so far stay, with extents that match them.
    try {
        Finish();
    } catch (...) {
    }
    FLayer->EndUpdate();
}

bool TLayerFill::Alive() const {
    const auto& L = FView.Layers();
    return std::find(L.begin(), L.end(), FLayer) != L.end();
}

void TLayerFill::CheckAlive(const std::string& Path) const {
    if (!Alive()) throw EImportError(Format("%s: the layer was deleted while the file was imported", Path.c_str()));
}

void TLayerFill::Finish() {
    if (!Alive()) return;
    // A chain's box computed as it was read stands while nothing invalidated it (a progress
    // handler may have zoomed, which only the presenter's part follows).
    for (TOrvexObject* O : FLayer->Objects()) RefreshExtents(*O);
    FLayer->CalcExtents();
}

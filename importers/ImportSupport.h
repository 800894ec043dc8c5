#pragma once
// What the importers share: loading a whole file, finding the files that travel with it,
// locale-free number parsing, coordinate conversion that refuses values outside OrvexUnits, the
// errors that end a run, and the pieces of the run itself (importers/ImportDriver): the
// hourglass and closing report, and the filling of a layer.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/OXUtils.h"
#include "foundation/ProgressAborted.h"
#include "platform/FilePaths.h"
// The readers' fast number and degree conversions (ScanDecimal, FastDegreesToUnits,
// PairDegreesToUnits, DecodeDegreePairs).
#include "kernels/Decimals.h"
#include "kernels/DegreePairs.h"

class TCoordinateConversion;
class TOrvex3;
class TOrvexLayer;

// A failure that ends an import run; the message names the file and the place in it.
class EImportError : public EOrvexException {
public:
    using EOrvexException::EOrvexException;
};

// Ends a run without a message box: the reason has already gone out through OnProgress with
// MsgType -1. The message repeats it for callers without a progress handler (the command line).
class EImportAborted : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Opens a regular file for reading and tells its size; raises EImportError when it cannot.
int OpenRegular(const std::string& Path, size_t& Size);
// Up to Size bytes from Fd's position into Buffer; the count read, less when the file ends
// first. Raises EImportError naming Path on a read error.
size_t ReadAll(int Fd, const std::string& Path, char* Buffer, size_t Size);

// The whole file; raises EImportError when it cannot be read.
std::string ReadWholeFile(const std::string& Path);

// A file read front to back through a buffer of its own: only the part being read is in
// memory, so a large file takes neither its size in memory nor fresh pages for it. Raises
// EImportError when the file cannot be opened or read.
class TFileWindow {
public:
    explicit TFileWindow(const std::string& Path);
    ~TFileWindow();
    TFileWindow(const TFileWindow&) = delete;
    TFileWindow& operator=(const TFileWindow&) = delete;

    // The file's size; smaller once a read finds that the file shrank meanwhile.
    size_t Size() const { return FSize; }
    // The buffered bytes from Offset on: at least AtLeast of them unless the file ends first.
    // Valid until the next call; reading back before the previous Offset reads the file again.
    std::string_view From(size_t Offset, size_t AtLeast);

private:
    std::string FPath;
    int FFd = -1;
    size_t FSize = 0;
    std::unique_ptr<char[]> FBuffer;
    size_t FCapacity = 0;
    size_t FStart = 0;  // file offset of FBuffer[0]
    size_t FFill = 0;   // bytes in FBuffer
};

// Path with its extension replaced by Extension (".dbf"), found in any mix of letter case; empty
// when there is no such file. An exact spelling wins over other cases.
std::string FindCompanionFile(const std::string& Path, std::string_view Extension);

// "/a/b/roads.shp" gives "roads.shp" and "roads".
std::string FileNamePart(const std::string& Path);
std::string FileBaseName(const std::string& Path);

// Blanks and control characters off both ends.
std::string_view TrimText(std::string_view Text);

// "." is the decimal separator whatever the locale. The whole text must be the number; reals
// must be finite; a leading '+' is allowed.
bool ParseInt32(std::string_view Text, int32_t& Value);
bool ParseReal(std::string_view Text, long double& Value);
bool ParseDouble(std::string_view Text, double& Value);
// The divisor typed in an import dialog: text that is not a whole number means 1, as it always
// has; a number must be positive (EImportError naming Path otherwise).
long double ParseDivisor(const std::string& Path, std::string_view Text);

// Degrees (or metres) as OrvexUnits; nothing when the result does not fit in 32 bits.
std::optional<int32_t> CheckedDegrees(long double Degrees);
std::optional<int32_t> CheckedUnits(TOrvexUnits Unit, long double Value);

// How the importers say that a file's coordinates are converted (after the file's name), and
// what the command line looks for in their reports: "coordinates converted from NAD27 / UTM
// zone 13N to longitude/latitude".
inline constexpr std::string_view kConvertedFrom = "coordinates converted from ";
std::string ConvertedFromText(const std::string& Description);

// The Count points of X and Y (overwritten) through Conversion to longitude and latitude, then
// by the degrees rule and MakePoint into Out. "" when all went; else which point has no
// longitude and latitude, and why (Out's rest is then zero points).
std::string ConvertPoints(const TCoordinateConversion& Conversion, double* X, double* Y, size_t Count, TPoint3D* Out);
// The coordinates gathered in X and Y, converted in one call and appended to Points; X and Y
// are emptied. "" or, as ConvertPoints, why not.
std::string ConvertGathered(const TCoordinateConversion& Conversion, std::vector<double>& X, std::vector<double>& Y,
                            std::vector<TPoint3D>& Points);

// One import run: the hourglass from construction, and at the end (also when an error leaves the
// run) the hourglass back and the closing report MsgType 2 with FinishText.
class TImportRun {
public:
    TImportRun(TOrvex3& View, std::string FinishText);
    ~TImportRun();
    TImportRun(const TImportRun&) = delete;
    TImportRun& operator=(const TImportRun&) = delete;

private:
    TOrvex3& FView;
    std::string FFinishText;
};

// Brackets the filling of a layer: objects do not request renders until the end, when every
// object's extent and the layer's are computed afresh (also when a failure ends the filling);
// a reader may compute a chain's extent right after its points, and that box is then kept.
// A layer freed meanwhile (a progress handler may delete it) is not touched.
class TLayerFill {
public:
    TLayerFill(TOrvex3& View, TOrvexLayer* Layer);
    ~TLayerFill();
    // Recomputes the objects' and the layer's extents.
    void Finish();
    // Raises EImportError naming Path when the layer is no longer the view's.
    void CheckAlive(const std::string& Path) const;
    TOrvexLayer* Layer() const { return FLayer; }
    TLayerFill(const TLayerFill&) = delete;
    TLayerFill& operator=(const TLayerFill&) = delete;

private:
    bool Alive() const;
    TOrvex3& FView;
    TOrvexLayer* FLayer;
};

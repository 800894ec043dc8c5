#pragma once
// What the three importers share: loading a whole file, finding the files that travel with it,
// locale-free number parsing, coordinate conversion that refuses values outside OrvexUnits, the
// errors that end a run and the frame (hourglass, closing report) around one.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "foundation/OXUtils.h"
#include "foundation/ProgressAborted.h"

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

// A progress report of an import; raises EProgressAborted when the user cancelled.
void ImportProgress(TOrvex3& View, int MsgType, const std::string& Text);
// After a cancelled import: the half-filled layer goes (unless something took it already).
void DropLayer(TOrvex3& View, TOrvexLayer* Layer);

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
// True when Path ends in Extension, ignoring letter case.
bool HasExtension(const std::string& Path, std::string_view Extension);

// Blanks and control characters off both ends.
std::string_view TrimText(std::string_view Text);
bool SameText(std::string_view A, std::string_view B);

// "." is the decimal separator whatever the locale. The whole text must be the number; reals
// must be finite; a leading '+' is allowed.
bool ParseInt32(std::string_view Text, int32_t& Value);
bool ParseReal(std::string_view Text, long double& Value);
bool ParseDouble(std::string_view Text, double& Value);
namespace ImportDetail {
// Eight bytes from P, which has them, the first in the lowest byte.
inline uint64_t LoadWord(const char* P) {
    uint64_t W;
    std::memcpy(&W, P, 8);
    if constexpr (std::endian::native == std::endian::big) W = __builtin_bswap64(W);
    return W;
}

// The number of leading decimal digits in W (at most 8).
inline int DigitCount(uint64_t W) {
    constexpr uint64_t High = 0xF0F0F0F0F0F0F0F0ull, Low7 = 0x7F7F7F7F7F7F7F7Full;
    // A byte is a digit when its high nibble is 3, and still is 3 after adding 6. A carry out
    // of a byte only comes from a non-digit, and nothing after the first one counts.
    const uint64_t Nibbles = (W & High) | (((W + 0x0606060606060606ull) & High) >> 4);
    const uint64_t Off = Nibbles ^ 0x3333333333333333ull;
    const uint64_t NonDigit = (((Off & Low7) + Low7) | Off) & ~Low7;
    return std::countr_zero(NonDigit) / 8;  // no non-digit: 64 / 8
}

// The value of the first N (0 to 8) bytes of W, which are digits.
inline uint64_t DigitValue(uint64_t W, int N) {
    // The digits moved to the top with zeros in front (in two shifts, so that N = 0 clears
    // the word), then combined pairwise. Borrows from the bytes behind the digits run
    // upwards, out of the word.
    const int Half = 4 * (8 - N);
    uint64_t D = ((W - 0x3030303030303030ull) << Half) << Half;
    D = (D * 10 + (D >> 8)) & 0x00FF00FF00FF00FFull;
    D = (D * 100 + (D >> 16)) & 0x0000FFFF0000FFFFull;
    return (D * 10000 + (D >> 32)) & 0xFFFFFFFFull;
}

inline constexpr double kDecimalPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
inline constexpr uint64_t kDecimalScale[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// Digits (at most 15, so exact in a double) over ten to the Decimals: one correctly rounded
// division. The sign goes on as a bit (-0 stays -0): the signs of real coordinates are too
// mixed for a branch on them to be predicted.
inline double DecimalValue(uint64_t Digits, int Decimals, bool Negative) {
    const double V = static_cast<double>(Digits) / kDecimalPowers[Decimals];
    return std::bit_cast<double>(std::bit_cast<uint64_t>(V) | uint64_t(Negative) << 63);
}

// ScanDecimal from S, just behind the sign, the general way.
bool ScanDecimalFrom(const char* S, bool Negative, const char*& P, const char* End, double& Value);
}  // namespace ImportDetail

// A plain decimal of up to 15 digits in all ("-77.0880598154", "-.5", "12.") at P, read eight
// characters at a time and rounded exactly as ParseDouble rounds it; P moves past it. False,
// with P left, for anything else (which ParseDouble reads the general way).
inline bool ScanDecimal(const char*& P, const char* End, double& Value) {
    using namespace ImportDetail;
    const char* S = P;
    const bool Negative = S < End && *S == '-';
    S += Negative;
    // With room to read ahead, a whole part of up to 7 digits and a fraction of up to 16 are
    // counted and converted without branching on their lengths; the words behind a missing
    // point are read and count for nothing. The whole part and the fraction's first digits
    // are joined into one word, the rest of the fraction starts at S + 9.
    if (End - S >= 25) {
        const uint64_t W = LoadWord(S);
        const int N = DigitCount(W);
        if (N < 8) {
            const int Point = S[N] == '.';
            const uint64_t W1 = LoadWord(S + N + 1);
            const int N1 = DigitCount(W1) & -Point;
            const int N2 = DigitCount(LoadWord(S + N + 9)) & -int(N1 == 8);
            const int Count = N + N1 + N2;
            if (Count == 0 || Count > 15) return false;
            const uint64_t Joined = (W & ((uint64_t(1) << 8 * N) - 1)) | W1 << 8 * N;
            const int First = std::min(Count, 8);
            const uint64_t Digits =
                DigitValue(Joined, First) * kDecimalScale[Count - First] + DigitValue(LoadWord(S + 9), Count - First);
            Value = DecimalValue(Digits, N1 + N2, Negative);
            P = S + N + Point + N1 + N2;
            return true;
        }
    }
    return ScanDecimalFrom(S, Negative, P, End, Value);
}

// The divisor typed in an import dialog: text that is not a whole number means 1, as it always
// has; a number must be positive (EImportError naming Path otherwise).
long double ParseDivisor(const std::string& Path, std::string_view Text);

// The fast conversion of the readers' inner loops: CheckedDegrees's result for a double, or
// false when the value needs the general way (then CheckedDegrees decides). Below half a degree
// a product in doubles is exact enough, unless it lies close to a half unit.
inline bool FastDegreesToUnits(double Degrees, int32_t& Units) {
    if (DoubleDegreesToUnits(Degrees, Units)) return true;
    if (!(std::fabs(Degrees) < 0.5)) return false;
    const double Product = Degrees * OrvexUnits::PerDegree;
    const double Rounded = std::round(Product);
    if (std::fabs(std::fabs(Product - Rounded) - 0.5) < 1e-6) return false;
    Units = static_cast<int32_t>(Rounded);
    return true;
}

// DoubleDegreesToUnits of two values at once, for the readers' inner loops: true, with both
// results, when both magnitudes lie in [0.5, 397); false (nothing written) otherwise. The
// product with 5,400,000 is taken exactly in two doubles: the degrees without their low 17
// mantissa bits times the factor (a 17-bit odd number times 2^6) needs at most 53 bits, and so
// do those low bits times it. The high product rounded to a whole, what it leaves and the low
// product sum exactly (below 1, in steps of no less than 2^-47), so that sum alone decides the
// rounding, half to even. Both coordinates take the same few instructions side by side.
namespace ImportDetail {
using TDouble2 = double __attribute__((vector_size(16)));
using TInt64x2 = int64_t __attribute__((vector_size(16)));
using TInt32x2 = int32_t __attribute__((vector_size(8)));
using TDouble4 = double __attribute__((vector_size(32)));
using TInt64x4 = int64_t __attribute__((vector_size(32)));
using TInt32x4 = int32_t __attribute__((vector_size(16)));

// The conversion of PairToUnits for any number of lanes: the rounded wholes, and in In the
// lanes whose magnitude lies in [0.5, 397) (only those results count). By reference and with
// the built-in bit cast, so that wide vectors need no calling convention of their own.
template <class TDoubles, class TInts>
inline void RoundedUnits(const TDoubles& D, TDoubles& Rounded, TInts& In) {
    // Constants as whole vectors: the compiler then takes them from memory as they are.
    constexpr TDoubles Low = TDoubles{} + 0.5, Limit = TDoubles{} + 397.0,
                       NegativeHalf = TDoubles{} + -0.5;
    constexpr TDoubles Factor = TDoubles{} + double(OrvexUnits::PerDegree);
    constexpr TDoubles Round = TDoubles{} + 6755399441055744.0;  // 1.5 * 2^52: adding it rounds to a whole
    constexpr TInts NoSign = TInts{} + INT64_MAX, HighMask = TInts{} + ~int64_t(0x1FFFF);
    constexpr TInts OneBits = TInts{} + std::bit_cast<int64_t>(1.0);
    const auto Bits = __builtin_bit_cast(TInts, D);
    const auto Abs = __builtin_bit_cast(TDoubles, Bits & NoSign);
    In = (Abs >= Low) & (Abs < Limit);
    const auto High = __builtin_bit_cast(TDoubles, Bits & HighMask);
    const TDoubles HighProduct = High * Factor;
    const TDoubles LowProduct = (D - High) * Factor;
    const TDoubles Whole = (HighProduct + Round) - Round;
    const TDoubles Rest = (HighProduct - Whole) + LowProduct;
    const TDoubles Half = Whole * Low;
    const TInts Odd = Half != (Half + Round) - Round;
    const TInts Up = ((Rest > Low) | ((Rest == Low) & Odd)) & OneBits;
    const TInts Down = ((Rest < NegativeHalf) | ((Rest == NegativeHalf) & Odd)) & OneBits;
    Rounded = Whole + (__builtin_bit_cast(TDoubles, Up) - __builtin_bit_cast(TDoubles, Down));
}

inline bool PairToUnits(TDouble2 D, int32_t& UnitsX, int32_t& UnitsY) {
    TDouble2 Rounded;
    TInt64x2 In;
    RoundedUnits(D, Rounded, In);
    if ((In[0] & In[1]) == 0) return false;
    const TInt32x2 Units = __builtin_convertvector(Rounded, TInt32x2);  // below 2^31 in magnitude
    UnitsX = Units[0];
    UnitsY = Units[1];
    return true;
}
}  // namespace ImportDetail

inline bool PairDegreesToUnits(double X, double Y, int32_t& UnitsX, int32_t& UnitsY) {
    return ImportDetail::PairToUnits(ImportDetail::TDouble2{X, Y}, UnitsX, UnitsY);
}

// The same for two little-endian doubles at P.
inline bool PairDegreesToUnits(const char* P, int32_t& UnitsX, int32_t& UnitsY) {
    ImportDetail::TDouble2 D;
    std::memcpy(&D, P, sizeof D);
    if constexpr (std::endian::native == std::endian::big) {
        uint64_t X, Y;
        std::memcpy(&X, P, 8);
        std::memcpy(&Y, P + 8, 8);
        D = ImportDetail::TDouble2{std::bit_cast<double>(__builtin_bswap64(X)), std::bit_cast<double>(__builtin_bswap64(Y))};
    }
    return ImportDetail::PairToUnits(D, UnitsX, UnitsY);
}

// Points from the little-endian (longitude, latitude) doubles at P, 16 bytes a point, for as
// long as both coordinates of each are degrees in PairDegreesToUnits's range: how many were
// written to Out. Two points at a time where the processor can.
int32_t DecodeDegreePairs(const char* P, int32_t Count, TPoint3D* Out);

#if defined(__SSE2__)
namespace ImportDetail {
// Bytes 16 - N to 15 of a row set, for N from 0 to 16.
alignas(32) inline constexpr uint8_t kTailBytes[32] = {0,    0,    0,    0,    0,    0,    0,    0,
                                                       0,    0,    0,    0,    0,    0,    0,    0,
                                                       0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                       0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
[[gnu::always_inline]] inline __m128i TailMask(int N) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(kTailBytes + N));
}

// Where a line's first 32 bytes are line ends, blanks, points and minus signs, and where they
// are any of the bytes a point line is made of (those and digits).
struct TLineMasks {
    uint32_t Ends, Blanks, Points, Minus, Allowed;
};

[[gnu::always_inline]] inline uint32_t Mask32(__m128i Low, __m128i High) {
    return uint32_t(_mm_movemask_epi8(Low)) | uint32_t(_mm_movemask_epi8(High)) << 16;
}

[[gnu::always_inline]] inline TLineMasks LineMasks(const char* P) {
    const __m128i A = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P));
    const __m128i B = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P + 16));
    auto Is = [](__m128i V, char C) { return _mm_cmpeq_epi8(V, _mm_set1_epi8(C)); };
    auto Any = [](__m128i V, __m128i Blank, __m128i Point, __m128i Minus) {
        const __m128i D = _mm_sub_epi8(V, _mm_set1_epi8('0'));
        const __m128i Digit = _mm_cmpeq_epi8(_mm_min_epu8(D, _mm_set1_epi8(9)), D);
        return _mm_or_si128(_mm_or_si128(Digit, Blank), _mm_or_si128(Point, Minus));
    };
    const __m128i BlankA = Is(A, ' '), BlankB = Is(B, ' '), PointA = Is(A, '.'), PointB = Is(B, '.');
    const __m128i MinusA = Is(A, '-'), MinusB = Is(B, '-');
    return {Mask32(_mm_or_si128(Is(A, '\n'), Is(A, '\r')), _mm_or_si128(Is(B, '\n'), Is(B, '\r'))),
            Mask32(BlankA, BlankB), Mask32(PointA, PointB), Mask32(MinusA, MinusB),
            Mask32(Any(A, BlankA, PointA, MinusA), Any(B, BlankB, PointB, MinusB))};
}

// The shape of a point line found from its masks: where each number ends, its digits and
// decimals, its sign and whether it has a point.
struct TLineShape {
    int Length, XEnd, XCount, YCount, XDecimals, YDecimals;
    bool XPoint, YPoint, XNegative, YNegative;
};

[[gnu::always_inline]] inline bool LineShape(const TLineMasks& M, TLineShape& S) {
    if (M.Ends == 0) return false;
    const int Length = std::countr_zero(M.Ends);
    const uint32_t Line = (uint32_t(1) << Length) - 1;
    const uint32_t Blanks = M.Blanks & Line;
    if (Blanks == 0) return false;
    const int XEnd = std::countr_zero(Blanks), YBegin = std::bit_width(Blanks);
    const uint32_t Points = M.Points & Line, Minus = M.Minus & Line;
    const uint32_t XPoint = Points & ((uint32_t(1) << XEnd) - 1), YPoint = Points >> YBegin;
    // One run of blanks, a minus only in front of a number, at most one point in each, and
    // every other byte a digit.
    if (((M.Allowed & Line) ^ Line) | ((Blanks + (uint32_t(1) << XEnd)) & Blanks) |
        (Minus & ~(uint32_t(1) | uint32_t(1) << YBegin)) | (XPoint & (XPoint - 1)) | (YPoint & (YPoint - 1)))
        return false;
    S.Length = Length;
    S.XEnd = XEnd;
    S.XPoint = XPoint != 0;
    S.YPoint = YPoint != 0;
    S.XNegative = Minus & 1;
    S.YNegative = Minus >> YBegin & 1;
    S.XCount = XEnd - S.XNegative - S.XPoint;
    S.YCount = Length - YBegin - S.YNegative - S.YPoint;
    S.XDecimals = XPoint ? XEnd - std::bit_width(XPoint) : 0;
    S.YDecimals = YPoint ? Length - YBegin - std::bit_width(YPoint) : 0;
    return unsigned(S.XCount - 1) <= 14 && unsigned(S.YCount - 1) <= 14;
}

// The Count digits of the plain decimal that ends just before End, Decimals of them behind a
// point when there is one: right-aligned in a row of 16 bytes as values 0 to 9 behind zeros.
// Reads the 16 bytes in front of End.
[[gnu::always_inline]] inline __m128i DigitRow(const char* End, int Count, int Decimals, bool HasPoint) {
    const __m128i Row = _mm_loadu_si128(reinterpret_cast<const __m128i*>(End - 16));
    // In front of the fraction every byte moves up one place, over the point.
    const __m128i Fraction = TailMask(HasPoint ? Decimals : 16);
    const __m128i Joined =
        _mm_or_si128(_mm_and_si128(Fraction, Row), _mm_andnot_si128(Fraction, _mm_slli_si128(Row, 1)));
    return _mm_and_si128(_mm_sub_epi8(Joined, _mm_set1_epi8('0')), TailMask(Count));
}

// Two rows of 16 digit values as two whole numbers: pairs, fours and eights of digits
// combined by multiply-adds, most significant digit first.
[[gnu::always_inline]] inline __m128i RowValues(__m128i A, __m128i B) {
    const __m128i Zero = _mm_setzero_si128();
    const __m128i Ten = _mm_set1_epi32(0x0001000A), Hundred = _mm_set1_epi32(0x00010064);
    auto Fours = [&](__m128i R) {
        const __m128i Pairs = _mm_packs_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(R, Zero), Ten),
                                              _mm_madd_epi16(_mm_unpackhi_epi8(R, Zero), Ten));
        return _mm_madd_epi16(Pairs, Hundred);
    };
    const __m128i Eights = _mm_madd_epi16(_mm_packs_epi32(Fours(A), Fours(B)), _mm_set1_epi32(0x00012710));
    return _mm_add_epi64(_mm_mul_epu32(Eights, _mm_set1_epi32(100000000)), _mm_srli_epi64(Eights, 32));
}

// The two numbers of the line from their digits, and the line's length with its end.
[[gnu::always_inline]] inline int LineValues(const char* P, const TLineShape& S, __m128i Digits, TDouble2& XY) {
    // Below 2^52 a whole number in the low bits of 2^52 is exact; the division rounds once,
    // as DecimalValue's does.
    const __m128i Magic = _mm_set1_epi64x(0x4330000000000000);
    const __m128d Whole = _mm_sub_pd(_mm_castsi128_pd(_mm_or_si128(Digits, Magic)), _mm_castsi128_pd(Magic));
    const __m128d Value = _mm_div_pd(Whole, _mm_set_pd(kDecimalPowers[S.YDecimals], kDecimalPowers[S.XDecimals]));
    const __m128i Signs =
        _mm_set_epi64x(int64_t(uint64_t(S.YNegative) << 63), int64_t(uint64_t(S.XNegative) << 63));
    XY = std::bit_cast<TDouble2>(_mm_or_pd(Value, _mm_castsi128_pd(Signs)));
    return S.Length + 1 + (P[S.Length] == '\r' && P[S.Length + 1] == '\n');
}
}  // namespace ImportDetail

// A point line of two plain decimals at P ("-77.0880598154 83.1256427863\n"): nothing but two
// numbers of ScanDecimal's form, one or more blanks apart, ending in LF, CR LF or CR within 32
// bytes. The line's length with its end, and the two numbers exactly as ScanDecimal reads them;
// 0 for any other line. The 16 bytes in front of P and the 33 from P on must be readable.
[[gnu::always_inline]] inline int ScanPointLine(const char* P, ImportDetail::TDouble2& XY) {
    using namespace ImportDetail;
    TLineShape S;
    if (!LineShape(LineMasks(P), S)) return 0;
    const __m128i Digits =
        RowValues(DigitRow(P + S.XEnd, S.XCount, S.XDecimals, S.XPoint),
                  DigitRow(P + S.Length, S.YCount, S.YDecimals, S.YPoint));
    return LineValues(P, S, Digits, XY);
}

#if defined(__x86_64__)
// Code for processors with AVX2 and the bit instructions (HasAvx2WithBitOps), whose wider compares and
// bit steps take the scanner's work in fewer instructions. Not FMA: fused products would round
// the degree conversions differently.
#define ORVEX_WIDE_SCAN __attribute__((target("avx2,bmi,bmi2,lzcnt,popcnt")))
namespace ImportDetail {
ORVEX_WIDE_SCAN __attribute__((always_inline)) inline TLineMasks WideLineMasks(const char* P) {
    const __m256i V = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(P));
    const __m256i D = _mm256_sub_epi8(V, _mm256_set1_epi8('0'));
    const __m256i Digit = _mm256_cmpeq_epi8(_mm256_min_epu8(D, _mm256_set1_epi8(9)), D);
    const __m256i Blank = _mm256_cmpeq_epi8(V, _mm256_set1_epi8(' '));
    const __m256i Point = _mm256_cmpeq_epi8(V, _mm256_set1_epi8('.'));
    const __m256i Minus = _mm256_cmpeq_epi8(V, _mm256_set1_epi8('-'));
    const __m256i Ends = _mm256_or_si256(_mm256_cmpeq_epi8(V, _mm256_set1_epi8('\n')),
                                         _mm256_cmpeq_epi8(V, _mm256_set1_epi8('\r')));
    const __m256i Allowed = _mm256_or_si256(_mm256_or_si256(Digit, Blank), _mm256_or_si256(Point, Minus));
    return {uint32_t(_mm256_movemask_epi8(Ends)), uint32_t(_mm256_movemask_epi8(Blank)),
            uint32_t(_mm256_movemask_epi8(Point)), uint32_t(_mm256_movemask_epi8(Minus)),
            uint32_t(_mm256_movemask_epi8(Allowed))};
}

ORVEX_WIDE_SCAN __attribute__((always_inline)) inline __m128i WideRowValues(__m128i A, __m128i B) {
    const __m128i Ten = _mm_set1_epi16(0x010A), Hundred = _mm_set1_epi32(0x00010064);
    const __m128i Fours = _mm_packs_epi32(_mm_madd_epi16(_mm_maddubs_epi16(A, Ten), Hundred),
                                          _mm_madd_epi16(_mm_maddubs_epi16(B, Ten), Hundred));
    const __m128i Eights = _mm_madd_epi16(Fours, _mm_set1_epi32(0x00012710));
    return _mm_add_epi64(_mm_mul_epu32(Eights, _mm_set1_epi32(100000000)), _mm_srli_epi64(Eights, 32));
}
}  // namespace ImportDetail

// ScanPointLine for ORVEX_WIDE_SCAN code, once HasAvx2WithBitOps said yes.
ORVEX_WIDE_SCAN __attribute__((always_inline)) inline int ScanPointLineWide(const char* P,
                                                                            ImportDetail::TDouble2& XY) {
    using namespace ImportDetail;
    TLineShape S;
    if (!LineShape(WideLineMasks(P), S)) return 0;
    const __m128i Digits =
        WideRowValues(DigitRow(P + S.XEnd, S.XCount, S.XDecimals, S.XPoint),
                      DigitRow(P + S.Length, S.YCount, S.YDecimals, S.YPoint));
    return LineValues(P, S, Digits, XY);
}
#endif
#endif

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

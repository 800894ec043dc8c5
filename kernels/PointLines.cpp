#include "kernels/PointLines.h"

#include <bit>

#include "kernels/Decimals.h"
#include "kernels/DegreePairs.h"
#include "kernels/Dispatch.h"
#include "kernels/VectorDegrees.h"
#if defined(ORVEX_X86_KERNELS)
#include <immintrin.h>
#endif

namespace {

using TPairFn = bool(double X, double Y, int32_t& UnitsX, int32_t& UnitsY);

// ScanPointLine with Pair for the common conversion.
template <TPairFn* Pair>
bool PointAt(const char*& P, const char* End, bool Last, TPoint3D& Point) {
    const char* S = P;
    double X = 0, Y = 0;
    if (!ScanDecimal(S, End, X) || S == End || *S != ' ') return false;
    while (S < End && *S == ' ') ++S;
    if (!ScanDecimal(S, End, Y)) return false;
    if (S == End && !Last) return false;
    if (S < End) {
        if (*S == '\n')
            ++S;
        else if (*S == '\r')
            S += (S + 1 < End && S[1] == '\n') ? 2 : 1;
        else
            return false;
    }
    int32_t Longitude = 0, Latitude = 0;
    if (!Pair(X, Y, Longitude, Latitude) && (!FastDegreesToUnits(X, Longitude) || !FastDegreesToUnits(Y, Latitude)))
        return false;
    Point = MakePoint(Longitude, Latitude);
    P = S;
    return true;
}

// What the vector line scanners compute: the line at P (whose first 33 bytes are readable) when
// it is two plain decimals, blanks apart, ending within 32 bytes.
int LineScanPlain(const char* P, double& X, double& Y) {
    const char* const End = P + 33;
    const char* S = P;
    double XV = 0, YV = 0;
    if (!ScanDecimal(S, End, XV) || S == End || *S != ' ') return 0;
    while (S < End && *S == ' ') ++S;
    if (!ScanDecimal(S, End, YV) || S == End || (*S != '\n' && *S != '\r')) return 0;
    const int Length = int(S - P);
    if (Length >= 32) return 0;
    X = XV;
    Y = YV;
    return Length + 1 + (S[0] == '\r' && S[1] == '\n');
}

int32_t PointLinesPlain(const char*& P, const char*, const char* End, int32_t Room, TPoint3D* Out) {
    for (int32_t N = 0;; ++N)
        if (N == Room || End - P < 64 || !PointAt<PairDegreesToUnits>(P, End, false, Out[N])) return N;
}

#if defined(ORVEX_VECTOR_KERNELS)
bool PointAtVectors(const char*& P, const char* End, bool Last, TPoint3D& Point) {
    return PointAt<VectorDegrees::PairToUnits>(P, End, Last, Point);
}
#endif

#if defined(ORVEX_X86_KERNELS)
using VectorDegrees::TDouble2;

// Bytes 16 - N to 15 of a row set, for N from 0 to 16.
alignas(32) constexpr uint8_t kTailBytes[32] = {0,    0,    0,    0,    0,    0,    0,    0,
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
    using DecimalDetail::kDecimalPowers;
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

[[gnu::always_inline]] inline int LineScanSse2(const char* P, TDouble2& XY) {
    TLineShape S;
    if (!LineShape(LineMasks(P), S)) return 0;
    const __m128i Digits = RowValues(DigitRow(P + S.XEnd, S.XCount, S.XDecimals, S.XPoint),
                                     DigitRow(P + S.Length, S.YCount, S.YDecimals, S.YPoint));
    return LineValues(P, S, Digits, XY);
}

// Code for processors with AVX2 and the bit instructions, whose wider compares and bit steps
// take the scanner's work in fewer instructions. Not FMA: fused products would round the degree
// conversions differently.
#define ORVEX_WIDE_SCAN __attribute__((target("avx2,bmi,bmi2,lzcnt,popcnt")))

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

ORVEX_WIDE_SCAN __attribute__((always_inline)) inline int LineScanWide(const char* P, TDouble2& XY) {
    TLineShape S;
    if (!LineShape(WideLineMasks(P), S)) return 0;
    const __m128i Digits = WideRowValues(DigitRow(P + S.XEnd, S.XCount, S.XDecimals, S.XPoint),
                                         DigitRow(P + S.Length, S.YCount, S.YDecimals, S.YPoint));
    return LineValues(P, S, Digits, XY);
}

// ScanPointLine's point for a line of Length bytes that a line scanner read as XY (none when
// Length is 0); false (P left) when the numbers need the general conversion.
[[gnu::always_inline]] inline bool TakeLine(const char*& P, int Length, TDouble2 XY, TPoint3D& Point) {
    int32_t Longitude = 0, Latitude = 0;
    if (Length == 0 || (!VectorDegrees::PairToUnits(XY, Longitude, Latitude) &&
                        (!FastDegreesToUnits(XY[0], Longitude) || !FastDegreesToUnits(XY[1], Latitude))))
        return false;
    Point = MakePoint(Longitude, Latitude);
    P += Length;
    return true;
}

// Lines the scanner does not take whole go the general way, outside the inner loop, which thus
// keeps its constants in registers.
int32_t PointLinesSse2(const char*& P, const char* Floor, const char* End, int32_t Room, TPoint3D* Out) {
    for (int32_t N = 0;; ++N) {
        const char* Q = P;  // a local, kept in a register
        for (TDouble2 XY; N < Room && End - Q >= 64 && Q - Floor >= 16; ++N) {
            const int Length = LineScanSse2(Q, XY);
            if (!TakeLine(Q, Length, XY, Out[N])) break;
        }
        P = Q;
        if (N == Room || End - P < 64 || !PointAtVectors(P, End, false, Out[N])) return N;
    }
}

ORVEX_WIDE_SCAN int32_t PointLinesWide(const char*& P, const char* Floor, const char* End, int32_t Room,
                                       TPoint3D* Out) {
    for (int32_t N = 0;; ++N) {
        const char* Q = P;  // a local, kept in a register
        for (TDouble2 XY; N < Room && End - Q >= 64 && Q - Floor >= 16; ++N) {
            const int Length = LineScanWide(Q, XY);
            if (!TakeLine(Q, Length, XY, Out[N])) break;
        }
        P = Q;
        if (N == Room || End - P < 64 || !PointAtVectors(P, End, false, Out[N])) return N;
    }
}

// The line scanners on their own, for the tests.
int LineScanSse2Apart(const char* P, double& X, double& Y) {
    TDouble2 XY;
    const int Length = LineScanSse2(P, XY);
    if (Length) X = XY[0], Y = XY[1];
    return Length;
}

ORVEX_WIDE_SCAN int LineScanWideApart(const char* P, double& X, double& Y) {
    TDouble2 XY;
    const int Length = LineScanWide(P, XY);
    if (Length) X = XY[0], Y = XY[1];
    return Length;
}
#elif defined(ORVEX_VECTOR_KERNELS)
int32_t PointLinesVectors(const char*& P, const char*, const char* End, int32_t Room, TPoint3D* Out) {
    for (int32_t N = 0;; ++N)
        if (N == Room || End - P < 64 || !PointAtVectors(P, End, false, Out[N])) return N;
}
#endif

constexpr TKernelVersion<Kernels::TPointLinesFn> kBatches[] = {
    {"plain", PointLinesPlain, TKernelNeeds::Nothing},
#if defined(ORVEX_X86_KERNELS)
    {"sse2", PointLinesSse2, TKernelNeeds::Vectors},
    {"avx2+bits", PointLinesWide, TKernelNeeds::Avx2WithBitOps},
#elif defined(ORVEX_VECTOR_KERNELS)
    {"vectors", PointLinesVectors, TKernelNeeds::Vectors},
#endif
};

constexpr TKernelVersion<Kernels::TLineScanFn> kLineScans[] = {
    {"plain", LineScanPlain, TKernelNeeds::Nothing},
#if defined(ORVEX_X86_KERNELS)
    {"sse2", LineScanSse2Apart, TKernelNeeds::Vectors},
    {"avx2+bits", LineScanWideApart, TKernelNeeds::Avx2WithBitOps},
#endif
};

using TPointAtFn = bool(const char*& P, const char* End, bool Last, TPoint3D& Point);
constexpr TKernelVersion<TPointAtFn> kSingles[] = {
    {"plain", PointAt<PairDegreesToUnits>, TKernelNeeds::Nothing},
#if defined(ORVEX_VECTOR_KERNELS)
    {"vectors", PointAtVectors, TKernelNeeds::Vectors},
#endif
};

}  // namespace

bool ScanPointLine(const char*& P, const char* End, bool Last, TPoint3D& Point) {
    return TKernelEntry<TPointAtFn, kSingles>::Call(P, End, Last, Point);
}

int32_t ScanPointLines(const char*& P, const char* Floor, const char* End, int32_t Room, TPoint3D* Out) {
    return TKernelEntry<Kernels::TPointLinesFn, kBatches>::Call(P, Floor, End, Room, Out);
}

std::vector<TKernelVersion<Kernels::TPointLinesFn>> Kernels::PointLinesVersions() { return RunnableVersions(kBatches); }

std::vector<TKernelVersion<Kernels::TLineScanFn>> Kernels::LineScanVersions() { return RunnableVersions(kLineScans); }

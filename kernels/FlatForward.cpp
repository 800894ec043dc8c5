#include "kernels/FlatForward.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

#include "kernels/Dispatch.h"
#if defined(ORVEX_X86_KERNELS)
#include <immintrin.h>
#endif

namespace {

constexpr double Turn = OrvexUnits::Deg360, HalfTurn = OrvexUnits::Deg180;
constexpr double K = static_cast<double>(RadiansPerOrvexUnit);
// Below this sine of the angular distance the equidistant map's azimuth is not defined.
constexpr double AzimuthEpsilon = 1e-5;
// The projections round their offsets from wider reals and scalar sines: an offset this near a
// half pixel could round the other way there, and is left to them.
constexpr double TieRelative = 1e-12, TieAbsolute = 1e-9;

// The offset rounded to nearest even; false when it lies too near a half for that to be sure.
bool RoundClear(double Offset, double& Rounded) {
    Rounded = std::nearbyint(Offset);
    return std::fabs(Offset - Rounded) < (0.5 - TieAbsolute) - TieRelative * std::fabs(Offset);
}

// The plane position of one point, in radians; false where the formula has none it can trust.
bool PlaneOf(const TFlatForward& F, double Lambda, double Phi, double& X, double& Y) {
    switch (F.Kind) {
        case TFlatForward::Cartesian:
            X = Lambda;
            Y = Phi;
            return true;
        case TFlatForward::Sinusoidal:
            X = Lambda * std::cos(Phi);
            Y = Phi;
            return true;
        case TFlatForward::Albers: {
            const double Rho = std::sqrt(F.B - 2 * F.A * std::sin(Phi)) / F.A;
            const double Theta = F.A * Lambda;
            X = Rho * std::sin(Theta);
            Y = F.C - Rho * std::cos(Theta);
            return true;
        }
        case TFlatForward::Bonne: {
            const double Rho = F.A + F.B - Phi;
            const double E = Lambda * std::cos(Phi) / Rho;
            X = Rho * std::sin(E);
            Y = F.A - Rho * std::cos(E);
            return true;
        }
        case TFlatForward::Equidistant: {
            const double North = std::sin(Phi), CosPhi = std::cos(Phi);
            const double East = CosPhi * std::sin(Lambda), Toward = CosPhi * std::cos(Lambda);
            const double SinC = std::hypot(East, North);
            if (!(SinC >= AzimuthEpsilon)) return false;
            const double Ratio = std::atan2(SinC, Toward) / SinC;
            X = Ratio * East;
            Y = Ratio * North;
            return true;
        }
    }
    return false;
}

void ProjectFlatPlain(const TFlatForward& F, const TPoint3D* Points, int32_t N, int32_t* XY, uint8_t* Sure) {
    for (int32_t I = 0; I < N; ++I) {
        const TPoint3D& P = Points[I];
        Sure[I] = 0;
        if (P.X < F.MinLongitude || P.X > F.MaxLongitude || P.Y < F.MinLatitude || P.Y > F.MaxLatitude) continue;
        double D = double(P.X) - F.CentralMeridian;
        D = D >= HalfTurn ? D - Turn : D < -HalfTurn ? D + Turn : D;
        double X, Y;
        if (!PlaneOf(F, D * K, P.Y * K, X, Y)) continue;
        double RX, RY;
        if (!RoundClear(X * F.PixelsPerRadian, RX) || !RoundClear(-(Y * F.PixelsPerRadian), RY)) continue;
        const double PX = RX + F.XOrigin, PY = RY + F.YOrigin;
        if (!(std::fabs(PX) <= FlatPixelLimit && std::fabs(PY) <= FlatPixelLimit)) continue;
        XY[2 * I] = static_cast<int32_t>(PX);
        XY[2 * I + 1] = static_cast<int32_t>(PY);
        Sure[I] = 1;
    }
}

#if defined(ORVEX_X86_KERNELS)
}  // namespace

// glibc's vector mathematics (libmvec), four lanes in AVX2 registers.
extern "C" {
__m256d _ZGVdN4v_sin(__m256d);
__m256d _ZGVdN4v_cos(__m256d);
}

namespace {

// Polynomials fitted at Chebyshev nodes: sine within 2e-14 of its value on a quarter turn,
// cosine and arctangent (on tan(pi/12)) within 4e-15, relative; far inside the 1e-12 the
// pixel test leaves for them. Horner's rule from the last.
constexpr double SinTerms[] = {-0.16666666666663885, 0.008333333331078323, -0.00019841266916110632,
                               2.7555990664728974e-06, -2.4805611712122475e-08};
constexpr double CosTerms[] = {0.04166666666666468, -0.0013888888887276698, 2.480158521036455e-05,
                               -2.755636950618061e-07, 2.0700582941271302e-09};
constexpr double AtanTerms[] = {-0.3333333333332766, 0.19999999992249748,  -0.14285712552944543, 0.11110965350764723,
                                -0.09085040586310086, 0.07569856127190124, -0.05370122655682426};

template <size_t N>
__attribute__((target("avx2,fma"), always_inline)) inline __m256d Horner(const double (&Terms)[N], __m256d Z) {
    __m256d Sum = _mm256_set1_pd(Terms[N - 1]);
    for (size_t I = N - 1; I-- > 0;) Sum = _mm256_fmadd_pd(Sum, Z, _mm256_set1_pd(Terms[I]));
    return Sum;
}

// The helpers below work on W vectors at once, step by step, so that the processor has W
// independent chains of long-latency steps in flight rather than one.
#define EACH _Pragma("GCC unroll 4") for (int J = 0; J < W; ++J)

// Sine and cosine of angles within a few turns, sharing one reduction to a quarter turn.
template <int W>
__attribute__((target("avx2,fma"), always_inline)) inline void SinCos(const __m256d (&X)[W], __m256d (&Sin)[W],
                                                                    __m256d (&Cos)[W]) {
    // Adding 1.5 * 2^52 rounds to an integer and leaves it, two's complement, in the low bits.
    const __m256d Shifter = _mm256_set1_pd(6755399441055744.0);
    __m256d Shifted[W], R[W], Z[W], S[W], C[W];
    EACH Shifted[J] = _mm256_fmadd_pd(X[J], _mm256_set1_pd(0.63661977236758138), Shifter);
    // Pi/2 in two parts, so that the reduction stays exact to the last bit.
    EACH R[J] = _mm256_fnmadd_pd(_mm256_sub_pd(Shifted[J], Shifter), _mm256_set1_pd(1.5707963267948966), X[J]);
    EACH R[J] = _mm256_fnmadd_pd(_mm256_sub_pd(Shifted[J], Shifter), _mm256_set1_pd(6.123233995736766e-17), R[J]);
    EACH Z[J] = _mm256_mul_pd(R[J], R[J]);
    EACH S[J] = _mm256_fmadd_pd(_mm256_mul_pd(R[J], Z[J]), Horner(SinTerms, Z[J]), R[J]);
    EACH C[J] = _mm256_fmadd_pd(_mm256_mul_pd(Z[J], Z[J]), Horner(CosTerms, Z[J]),
                                _mm256_fnmadd_pd(_mm256_set1_pd(0.5), Z[J], _mm256_set1_pd(1)));
    const __m256i One = _mm256_set1_epi64x(1), Two = _mm256_set1_epi64x(2);
    EACH {
        const __m256i Q = _mm256_castpd_si256(Shifted[J]);
        const __m256d Odd = _mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_and_si256(Q, One), One));
        const __m256d SinSign = _mm256_castsi256_pd(_mm256_slli_epi64(_mm256_and_si256(Q, Two), 62));
        const __m256d CosSign = _mm256_castsi256_pd(_mm256_slli_epi64(_mm256_and_si256(_mm256_add_epi64(Q, One), Two), 62));
        Sin[J] = _mm256_xor_pd(_mm256_blendv_pd(S[J], C[J], Odd), SinSign);
        Cos[J] = _mm256_xor_pd(_mm256_blendv_pd(C[J], S[J], Odd), CosSign);
    }
}

// atan2(Y, X) / Y for Y > 0, with one division: the reduction of the angle to within
// tan(pi/12) of zero divides by Den, the result by Y, and both come from 1 / (Den Y).
template <int W>
__attribute__((target("avx2,fma"), always_inline)) inline void Atan2OverY(const __m256d (&Y)[W], const __m256d (&X)[W],
                                                                        __m256d (&A)[W]) {
    const __m256d Magnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7fffffffffffffff));
    const __m256d Root3 = _mm256_set1_pd(1.7320508075688772);
    __m256d Steep[W], Far[W], T[W], Z[W], Over[W];
    EACH {
        const __m256d AX = _mm256_and_pd(X[J], Magnitude);
        Steep[J] = _mm256_cmp_pd(Y[J], AX, _CMP_GT_OQ);
        const __m256d Low = _mm256_min_pd(Y[J], AX), High = _mm256_max_pd(Y[J], AX);
        // Past tan(pi/12), atan t = pi/6 + atan((sqrt3 t - 1) / (sqrt3 + t)).
        Far[J] = _mm256_cmp_pd(Low, _mm256_mul_pd(_mm256_set1_pd(0.26794919243112270), High), _CMP_GT_OQ);
        const __m256d Num = _mm256_blendv_pd(Low, _mm256_fmsub_pd(Root3, Low, High), Far[J]);
        const __m256d Den = _mm256_blendv_pd(High, _mm256_fmadd_pd(Root3, High, Low), Far[J]);
        const __m256d Reciprocal = _mm256_div_pd(_mm256_set1_pd(1), _mm256_mul_pd(Den, Y[J]));
        T[J] = _mm256_mul_pd(Num, _mm256_mul_pd(Y[J], Reciprocal));
        Over[J] = _mm256_mul_pd(Den, Reciprocal);
    }
    EACH Z[J] = _mm256_mul_pd(T[J], T[J]);
    EACH A[J] = _mm256_fmadd_pd(_mm256_mul_pd(T[J], Z[J]), Horner(AtanTerms, Z[J]), T[J]);
    EACH {
        A[J] = _mm256_add_pd(A[J], _mm256_and_pd(Far[J], _mm256_set1_pd(0.52359877559829887)));
        A[J] = _mm256_blendv_pd(A[J], _mm256_sub_pd(_mm256_set1_pd(1.5707963267948966), A[J]), Steep[J]);
        A[J] = _mm256_blendv_pd(A[J], _mm256_sub_pd(_mm256_set1_pd(3.1415926535897931), A[J]), X[J]);
        A[J] = _mm256_mul_pd(A[J], Over[J]);
    }
}

// The equidistant map's plane position of W vectors; the lanes that hold (all but the centre
// and the antipode, where the azimuth is not defined).
template <int W>
__attribute__((target("avx2,fma"), always_inline)) inline void EquidistantPlane(const __m256d (&Lambda)[W],
                                                                              const __m256d (&Phi)[W], __m256d (&X)[W],
                                                                              __m256d (&Y)[W], __m256d (&Holds)[W]) {
    __m256d North[W], CosPhi[W], SinLambda[W], CosLambda[W], East[W], Toward[W], SinC[W], Ratio[W];
    SinCos<W>(Phi, North, CosPhi);
    SinCos<W>(Lambda, SinLambda, CosLambda);
    EACH East[J] = _mm256_mul_pd(CosPhi[J], SinLambda[J]);
    EACH Toward[J] = _mm256_mul_pd(CosPhi[J], CosLambda[J]);
    // Both below one: the squares neither overflow nor underflow where it matters.
    EACH SinC[J] = _mm256_sqrt_pd(_mm256_fmadd_pd(East[J], East[J], _mm256_mul_pd(North[J], North[J])));
    Atan2OverY<W>(SinC, Toward, Ratio);
    EACH {
        X[J] = _mm256_mul_pd(Ratio[J], East[J]);
        Y[J] = _mm256_mul_pd(Ratio[J], North[J]);
        Holds[J] = _mm256_cmp_pd(SinC[J], _mm256_set1_pd(AzimuthEpsilon), _CMP_GE_OQ);
    }
}

template <TFlatForward::TKind Kind>
__attribute__((target("avx2,fma"))) inline __m256d Plane(const TFlatForward& F, __m256d Lambda, __m256d Phi,
                                                     __m256d& X, __m256d& Y) {
    // The lanes whose plane position holds: all of them; NaN lanes fail the pixel test later.
    const __m256d All = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
    if constexpr (Kind == TFlatForward::Cartesian) {
        X = Lambda;
        Y = Phi;
        return All;
    } else if constexpr (Kind == TFlatForward::Sinusoidal) {
        X = _mm256_mul_pd(Lambda, _ZGVdN4v_cos(Phi));
        Y = Phi;
        return All;
    } else if constexpr (Kind == TFlatForward::Albers) {
        const __m256d A = _mm256_set1_pd(F.A);
        const __m256d Root = _mm256_sub_pd(_mm256_set1_pd(F.B),
                                           _mm256_mul_pd(_mm256_mul_pd(_mm256_set1_pd(2), A), _ZGVdN4v_sin(Phi)));
        const __m256d Rho = _mm256_div_pd(_mm256_sqrt_pd(Root), A);
        const __m256d Theta = _mm256_mul_pd(A, Lambda);
        X = _mm256_mul_pd(Rho, _ZGVdN4v_sin(Theta));
        Y = _mm256_sub_pd(_mm256_set1_pd(F.C), _mm256_mul_pd(Rho, _ZGVdN4v_cos(Theta)));
        return All;
    } else {
        static_assert(Kind == TFlatForward::Bonne, "the equidistant map has EquidistantPlane");
        const __m256d Cot = _mm256_set1_pd(F.A);
        const __m256d Rho = _mm256_sub_pd(_mm256_add_pd(Cot, _mm256_set1_pd(F.B)), Phi);
        const __m256d E = _mm256_div_pd(_mm256_mul_pd(Lambda, _ZGVdN4v_cos(Phi)), Rho);
        X = _mm256_mul_pd(Rho, _ZGVdN4v_sin(E));
        Y = _mm256_sub_pd(Cot, _mm256_mul_pd(Rho, _ZGVdN4v_cos(E)));
        return All;
    }
}

// A four-lane mask as four bytes, 0 or 1, in memory order.
constexpr std::array<uint32_t, 16> SureBytes = [] {
    std::array<uint32_t, 16> Bytes{};
    for (int Mask = 0; Mask < 16; ++Mask) {
        uint8_t Lanes[4];
        for (int L = 0; L < 4; ++L) Lanes[L] = uint8_t((Mask >> L) & 1);
        Bytes[size_t(Mask)] = std::bit_cast<uint32_t>(Lanes);
    }
    return Bytes;
}();

// RoundClear's test of four offsets and their rounded values.
__attribute__((target("avx2,fma"))) inline __m256d ClearOfHalf(__m256d Offset, __m256d Rounded) {
    const __m256d Magnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7fffffffffffffff));
    const __m256d Room = _mm256_sub_pd(_mm256_set1_pd(0.5 - TieAbsolute),
                                       _mm256_mul_pd(_mm256_set1_pd(TieRelative), _mm256_and_pd(Offset, Magnitude)));
    return _mm256_cmp_pd(_mm256_and_pd(_mm256_sub_pd(Offset, Rounded), Magnitude), Room, _CMP_LT_OQ);
}

// A map's block formula in vectors, made once a call.
struct TFlatVectors {
    __m256d MinLon, MaxLon, MinLat, MaxLat, Meridian, Scale, XOrigin, YOrigin;
};

// The 4 W points from Points[I] into XY and Sure (the block's first entries). Clamped: the block
// reaches past Last, and the points past it repeat it, so that the tail of a short chain is one
// more block of the same steps.
template <TFlatForward::TKind Kind, int W, bool Clamped>
__attribute__((target("avx2,fma"), always_inline)) inline void ProjectBlock(const TFlatForward& F, const TFlatVectors& V,
                                                                            const TPoint3D* Points, int32_t I, int32_t Last,
                                                                            int32_t* XY, uint8_t* Sure) {
    const __m256d HalfTurnV = _mm256_set1_pd(HalfTurn), MinusHalfTurn = _mm256_set1_pd(-HalfTurn);
    const __m256d TurnV = _mm256_set1_pd(Turn), KV = _mm256_set1_pd(K);
    const __m256d Limit = _mm256_set1_pd(FlatPixelLimit);
    const __m256d Magnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7fffffffffffffff));
    constexpr int Nearest = _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC;
    auto At = [&](int32_t L) -> const TPoint3D& { return Points[Clamped ? std::min(I + L, Last) : I + L]; };
    __m256d Ok[W], Lambda[W], Phi[W], X[W], Y[W], Holds[W];
    EACH {
        const TPoint3D &P0 = At(4 * J), &P1 = At(4 * J + 1), &P2 = At(4 * J + 2), &P3 = At(4 * J + 3);
        const __m256d Lon = _mm256_cvtepi32_pd(_mm_setr_epi32(P0.X, P1.X, P2.X, P3.X));
        const __m256d Lat = _mm256_cvtepi32_pd(_mm_setr_epi32(P0.Y, P1.Y, P2.Y, P3.Y));
        Ok[J] = _mm256_and_pd(
            _mm256_and_pd(_mm256_cmp_pd(Lon, V.MinLon, _CMP_GE_OQ), _mm256_cmp_pd(Lon, V.MaxLon, _CMP_LE_OQ)),
            _mm256_and_pd(_mm256_cmp_pd(Lat, V.MinLat, _CMP_GE_OQ), _mm256_cmp_pd(Lat, V.MaxLat, _CMP_LE_OQ)));
        __m256d D = _mm256_sub_pd(Lon, V.Meridian);
        D = _mm256_sub_pd(D, _mm256_and_pd(_mm256_cmp_pd(D, HalfTurnV, _CMP_GE_OQ), TurnV));
        D = _mm256_add_pd(D, _mm256_and_pd(_mm256_cmp_pd(D, MinusHalfTurn, _CMP_LT_OQ), TurnV));
        Lambda[J] = _mm256_mul_pd(D, KV);
        Phi[J] = _mm256_mul_pd(Lat, KV);
    }
    if constexpr (Kind == TFlatForward::Equidistant)
        EquidistantPlane<W>(Lambda, Phi, X, Y, Holds);
    else
        EACH Holds[J] = Plane<Kind>(F, Lambda[J], Phi[J], X[J], Y[J]);
    EACH {
        const __m256d OX = _mm256_mul_pd(X[J], V.Scale), OY = _mm256_sub_pd(_mm256_setzero_pd(), _mm256_mul_pd(Y[J], V.Scale));
        const __m256d RX = _mm256_round_pd(OX, Nearest), RY = _mm256_round_pd(OY, Nearest);
        __m256d Good = _mm256_and_pd(_mm256_and_pd(Ok[J], Holds[J]), _mm256_and_pd(ClearOfHalf(OX, RX), ClearOfHalf(OY, RY)));
        const __m256d PX = _mm256_add_pd(RX, V.XOrigin), PY = _mm256_add_pd(RY, V.YOrigin);
        // NaN fails the comparisons.
        Good = _mm256_and_pd(Good, _mm256_and_pd(_mm256_cmp_pd(_mm256_and_pd(PX, Magnitude), Limit, _CMP_LE_OQ),
                                                 _mm256_cmp_pd(_mm256_and_pd(PY, Magnitude), Limit, _CMP_LE_OQ)));
        const int Mask = _mm256_movemask_pd(Good);
        // Lanes that fail hold zeros, so that the conversion sees nothing out of range.
        const __m128i XI = _mm256_cvtpd_epi32(_mm256_and_pd(PX, Good)), YI = _mm256_cvtpd_epi32(_mm256_and_pd(PY, Good));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(XY + 8 * J), _mm_unpacklo_epi32(XI, YI));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(XY + 8 * J + 4), _mm_unpackhi_epi32(XI, YI));
        std::memcpy(Sure + 4 * J, &SureBytes[Mask], 4);
    }
}

// The last points of a chain, fewer than 4 W: one clamped block into room of its own, copied
// out, with half as many vectors while they would fill at least half.
template <TFlatForward::TKind Kind, int W>
__attribute__((target("avx2,fma"), always_inline)) inline void ProjectTail(const TFlatForward& F, const TFlatVectors& V,
                                                                           const TPoint3D* Points, int32_t I, int32_t N,
                                                                           int32_t* XY, uint8_t* Sure) {
    if constexpr (W > 1) {
        if (N - I <= 2 * W) return ProjectTail<Kind, W / 2>(F, V, Points, I, N, XY, Sure);
    }
    int32_t TailXY[8 * W];
    uint8_t TailSure[4 * W];
    ProjectBlock<Kind, W, true>(F, V, Points, I, N - 1, TailXY, TailSure);
    std::memcpy(XY + 2 * I, TailXY, sizeof(int32_t) * 2 * size_t(N - I));
    std::memcpy(Sure + I, TailSure, size_t(N - I));
}

template <TFlatForward::TKind Kind, int W>
__attribute__((target("avx2,fma"))) void ProjectFlatAvx2For(const TFlatForward& F, const TPoint3D* Points, int32_t N,
                                                            int32_t* XY, uint8_t* Sure) {
    const TFlatVectors V{_mm256_set1_pd(double(F.MinLongitude)), _mm256_set1_pd(double(F.MaxLongitude)),
                         _mm256_set1_pd(double(F.MinLatitude)),  _mm256_set1_pd(double(F.MaxLatitude)),
                         _mm256_set1_pd(F.CentralMeridian),      _mm256_set1_pd(F.PixelsPerRadian),
                         _mm256_set1_pd(F.XOrigin),              _mm256_set1_pd(F.YOrigin)};
    int32_t I = 0;
    for (; I + 4 * W <= N; I += 4 * W) ProjectBlock<Kind, W, false>(F, V, Points, I, N - 1, XY + 2 * I, Sure + I);
    // Chains are short, and the plain formulas for their tails would cost more than the rest.
    if (I < N) ProjectTail<Kind, W>(F, V, Points, I, N, XY, Sure);
}

void ProjectFlatAvx2(const TFlatForward& F, const TPoint3D* Points, int32_t N, int32_t* XY, uint8_t* Sure) {
    switch (F.Kind) {
        case TFlatForward::Sinusoidal: return ProjectFlatAvx2For<TFlatForward::Sinusoidal, 1>(F, Points, N, XY, Sure);
        case TFlatForward::Albers: return ProjectFlatAvx2For<TFlatForward::Albers, 1>(F, Points, N, XY, Sure);
        case TFlatForward::Bonne: return ProjectFlatAvx2For<TFlatForward::Bonne, 1>(F, Points, N, XY, Sure);
        case TFlatForward::Equidistant: return ProjectFlatAvx2For<TFlatForward::Equidistant, 4>(F, Points, N, XY, Sure);
        case TFlatForward::Cartesian: return ProjectFlatAvx2For<TFlatForward::Cartesian, 2>(F, Points, N, XY, Sure);
    }
    ProjectFlatPlain(F, Points, N, XY, Sure);
}

#undef EACH
#endif

constexpr TKernelVersion<Kernels::TProjectFlatFn> kVersions[] = {
    {"plain", ProjectFlatPlain, TKernelNeeds::Nothing},
#if defined(ORVEX_X86_KERNELS)
    {"avx2+fma", ProjectFlatAvx2, TKernelNeeds::Avx2WithFma},
#endif
};

}  // namespace

void ProjectFlat(const TFlatForward& F, const TPoint3D* Points, int32_t N, int32_t* XY, uint8_t* Sure) {
    TKernelEntry<Kernels::TProjectFlatFn, kVersions>::Call(F, Points, N, XY, Sure);
}

std::vector<TKernelVersion<Kernels::TProjectFlatFn>> Kernels::ProjectFlatVersions() {
    return RunnableVersions(kVersions);
}

#include "kernels/FlatForward.h"

#include <algorithm>
#include <cmath>

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
__m256d _ZGVdN4vv_hypot(__m256d, __m256d);
__m256d _ZGVdN4vv_atan2(__m256d, __m256d);
}

namespace {

template <TFlatForward::TKind Kind>
__attribute__((target("avx2"))) inline __m256d Plane(const TFlatForward& F, __m256d Lambda, __m256d Phi,
                                                     __m256d& X, __m256d& Y) {
    // The lanes whose plane position holds: all of them, but for the equidistant map's centre
    // and antipode; NaN lanes fail the pixel test later.
    const __m256d All = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
    if constexpr (Kind == TFlatForward::Sinusoidal) {
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
    } else if constexpr (Kind == TFlatForward::Bonne) {
        const __m256d Cot = _mm256_set1_pd(F.A);
        const __m256d Rho = _mm256_sub_pd(_mm256_add_pd(Cot, _mm256_set1_pd(F.B)), Phi);
        const __m256d E = _mm256_div_pd(_mm256_mul_pd(Lambda, _ZGVdN4v_cos(Phi)), Rho);
        X = _mm256_mul_pd(Rho, _ZGVdN4v_sin(E));
        Y = _mm256_sub_pd(Cot, _mm256_mul_pd(Rho, _ZGVdN4v_cos(E)));
        return All;
    } else {
        const __m256d North = _ZGVdN4v_sin(Phi), CosPhi = _ZGVdN4v_cos(Phi);
        const __m256d East = _mm256_mul_pd(CosPhi, _ZGVdN4v_sin(Lambda));
        const __m256d Toward = _mm256_mul_pd(CosPhi, _ZGVdN4v_cos(Lambda));
        const __m256d SinC = _ZGVdN4vv_hypot(East, North);
        const __m256d Ratio = _mm256_div_pd(_ZGVdN4vv_atan2(SinC, Toward), SinC);
        X = _mm256_mul_pd(Ratio, East);
        Y = _mm256_mul_pd(Ratio, North);
        return _mm256_cmp_pd(SinC, _mm256_set1_pd(AzimuthEpsilon), _CMP_GE_OQ);
    }
}

// RoundClear's test of four offsets and their rounded values.
__attribute__((target("avx2"))) inline __m256d ClearOfHalf(__m256d Offset, __m256d Rounded) {
    const __m256d Magnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7fffffffffffffff));
    const __m256d Room = _mm256_sub_pd(_mm256_set1_pd(0.5 - TieAbsolute),
                                       _mm256_mul_pd(_mm256_set1_pd(TieRelative), _mm256_and_pd(Offset, Magnitude)));
    return _mm256_cmp_pd(_mm256_and_pd(_mm256_sub_pd(Offset, Rounded), Magnitude), Room, _CMP_LT_OQ);
}

template <TFlatForward::TKind Kind>
__attribute__((target("avx2"))) void ProjectFlatAvx2For(const TFlatForward& F, const TPoint3D* Points, int32_t N,
                                                        int32_t* XY, uint8_t* Sure) {
    const __m256d MinLon = _mm256_set1_pd(double(F.MinLongitude)), MaxLon = _mm256_set1_pd(double(F.MaxLongitude));
    const __m256d MinLat = _mm256_set1_pd(double(F.MinLatitude)), MaxLat = _mm256_set1_pd(double(F.MaxLatitude));
    const __m256d Meridian = _mm256_set1_pd(F.CentralMeridian);
    const __m256d HalfTurnV = _mm256_set1_pd(HalfTurn), MinusHalfTurn = _mm256_set1_pd(-HalfTurn);
    const __m256d TurnV = _mm256_set1_pd(Turn), KV = _mm256_set1_pd(K), Scale = _mm256_set1_pd(F.PixelsPerRadian);
    const __m256d XOrigin = _mm256_set1_pd(F.XOrigin), YOrigin = _mm256_set1_pd(F.YOrigin);
    const __m256d Limit = _mm256_set1_pd(FlatPixelLimit);
    const __m256d Magnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7fffffffffffffff));
    constexpr int Nearest = _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC;
    int32_t I = 0;
    for (; I + 4 <= N; I += 4) {
        const TPoint3D* P = Points + I;
        const __m256d Lon = _mm256_cvtepi32_pd(_mm_setr_epi32(P[0].X, P[1].X, P[2].X, P[3].X));
        const __m256d Lat = _mm256_cvtepi32_pd(_mm_setr_epi32(P[0].Y, P[1].Y, P[2].Y, P[3].Y));
        __m256d Ok = _mm256_and_pd(_mm256_and_pd(_mm256_cmp_pd(Lon, MinLon, _CMP_GE_OQ), _mm256_cmp_pd(Lon, MaxLon, _CMP_LE_OQ)),
                                   _mm256_and_pd(_mm256_cmp_pd(Lat, MinLat, _CMP_GE_OQ), _mm256_cmp_pd(Lat, MaxLat, _CMP_LE_OQ)));
        __m256d D = _mm256_sub_pd(Lon, Meridian);
        D = _mm256_sub_pd(D, _mm256_and_pd(_mm256_cmp_pd(D, HalfTurnV, _CMP_GE_OQ), TurnV));
        D = _mm256_add_pd(D, _mm256_and_pd(_mm256_cmp_pd(D, MinusHalfTurn, _CMP_LT_OQ), TurnV));
        __m256d X, Y;
        Ok = _mm256_and_pd(Ok, Plane<Kind>(F, _mm256_mul_pd(D, KV), _mm256_mul_pd(Lat, KV), X, Y));
        const __m256d OX = _mm256_mul_pd(X, Scale), OY = _mm256_sub_pd(_mm256_setzero_pd(), _mm256_mul_pd(Y, Scale));
        const __m256d RX = _mm256_round_pd(OX, Nearest), RY = _mm256_round_pd(OY, Nearest);
        Ok = _mm256_and_pd(Ok, _mm256_and_pd(ClearOfHalf(OX, RX), ClearOfHalf(OY, RY)));
        const __m256d PX = _mm256_add_pd(RX, XOrigin), PY = _mm256_add_pd(RY, YOrigin);
        // NaN fails the comparisons.
        Ok = _mm256_and_pd(Ok, _mm256_and_pd(_mm256_cmp_pd(_mm256_and_pd(PX, Magnitude), Limit, _CMP_LE_OQ),
                                             _mm256_cmp_pd(_mm256_and_pd(PY, Magnitude), Limit, _CMP_LE_OQ)));
        const int Mask = _mm256_movemask_pd(Ok);
        // Lanes that fail hold zeros, so that the conversion sees nothing out of range.
        const __m128i XI = _mm256_cvtpd_epi32(_mm256_and_pd(PX, Ok)), YI = _mm256_cvtpd_epi32(_mm256_and_pd(PY, Ok));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(XY + 2 * I), _mm_unpacklo_epi32(XI, YI));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(XY + 2 * I + 4), _mm_unpackhi_epi32(XI, YI));
        for (int L = 0; L < 4; ++L) Sure[I + L] = uint8_t((Mask >> L) & 1);
    }
    if (I == N) return;
    // The last one to three points in a block of four, the last repeated: chains are short,
    // and the plain formulas for their tails would cost more than the rest.
    TPoint3D Tail[4];
    int32_t TailXY[8];
    uint8_t TailSure[4];
    for (int L = 0; L < 4; ++L) Tail[L] = Points[std::min(I + L, N - 1)];
    ProjectFlatAvx2For<Kind>(F, Tail, 4, TailXY, TailSure);
    for (int32_t L = 0; I + L < N; ++L) {
        XY[2 * (I + L)] = TailXY[2 * L];
        XY[2 * (I + L) + 1] = TailXY[2 * L + 1];
        Sure[I + L] = TailSure[L];
    }
}

void ProjectFlatAvx2(const TFlatForward& F, const TPoint3D* Points, int32_t N, int32_t* XY, uint8_t* Sure) {
    switch (F.Kind) {
        case TFlatForward::Sinusoidal: return ProjectFlatAvx2For<TFlatForward::Sinusoidal>(F, Points, N, XY, Sure);
        case TFlatForward::Albers: return ProjectFlatAvx2For<TFlatForward::Albers>(F, Points, N, XY, Sure);
        case TFlatForward::Bonne: return ProjectFlatAvx2For<TFlatForward::Bonne>(F, Points, N, XY, Sure);
        case TFlatForward::Equidistant: return ProjectFlatAvx2For<TFlatForward::Equidistant>(F, Points, N, XY, Sure);
    }
    ProjectFlatPlain(F, Points, N, XY, Sure);
}
#endif

constexpr TKernelVersion<Kernels::TProjectFlatFn> kVersions[] = {
    {"plain", ProjectFlatPlain, TKernelNeeds::Nothing},
#if defined(ORVEX_X86_KERNELS)
    {"avx2", ProjectFlatAvx2, TKernelNeeds::Avx2},
#endif
};

}  // namespace

void ProjectFlat(const TFlatForward& F, const TPoint3D* Points, int32_t N, int32_t* XY, uint8_t* Sure) {
    TKernelEntry<Kernels::TProjectFlatFn, kVersions>::Call(F, Points, N, XY, Sure);
}

std::vector<TKernelVersion<Kernels::TProjectFlatFn>> Kernels::ProjectFlatVersions() {
    return RunnableVersions(kVersions);
}

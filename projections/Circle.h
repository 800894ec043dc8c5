#pragma once
// The outline of a round map (the globe's disc, the azimuthal projection's edge): a polygon
// of 90 corners four degrees apart.

#include <cmath>
#include <cstdint>

// Hands the corners of a circle of Radius pixels around the centre, from the east, to
// Store(Index, OffsetX, OffsetY), which says whether it kept the corner at Index; returns how
// many it kept.
template <class F>
int32_t StoreCircle(long double Radius, F Store) {
    constexpr long double FourDegrees = 0.06981317007977318L;
    const long double C = std::cos(FourDegrees), S = std::sin(FourDegrees);
    long double X = Radius, Y = 0;
    int32_t N = 0;
    if (Store(N, X, Y)) ++N;
    for (int I = 1; I <= 89; ++I) {
        const long double NX = X * C - Y * S;
        Y = X * S + Y * C;
        X = NX;
        if (Store(N, X, Y)) ++N;
    }
    return N;
}

#pragma once
// A chain's pixels through a map's block formula, each kept when it lies more than a pixel from
// the last one kept: the projection's own placing of a chain, and the copies a second thread
// places ahead of the frame that draws them (view/PlacedAhead.h). Both must keep the same points.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "kernels/FlatForward.h"
#include "projections/PrjModel.h"

// Points placed at a time.
constexpr int32_t KeptPixelsBlock = 64;

// The kept pixels of Points[Resume, Count) into Out, which has room for MaxChainEntries + 1 (the
// last entry is written but not counted). Doubtful(I, N, Pixel) places a point the formula cannot
// vouch for, with entry N free to write: 1 placed, 0 left out, -1 give up, which returns -1. Out
// full, it returns MaxChainEntries with Resume at the last point kept, as ProjectChain does;
// Resume is -1 once the chain is done.
template <class F>
int32_t KeptPixels(const TFlatForward& Flat, const TPoint3D* Points, int32_t Count, int32_t& Resume,
                   TPixelPoint* Out, F&& Doubtful) {
    int32_t XY[2 * KeptPixelsBlock];
    uint8_t Sure[KeptPixelsBlock];
    int64_t LastX = std::numeric_limits<int32_t>::max(), LastY = std::numeric_limits<int32_t>::max();
    int32_t N = 0, LastKept = Resume;
    for (int32_t From = Resume; From < Count; From += KeptPixelsBlock) {
        const int32_t End = std::min(Count, From + KeptPixelsBlock);
        ProjectFlat(Flat, Points + From, End - From, XY, Sure);
        for (int32_t I = From; I < End; ++I) {
            const int32_t K = I - From;
            int64_t X, Y;
            if (Sure[K]) {
                X = XY[2 * K];
                Y = XY[2 * K + 1];
            } else {
                TPixelPoint P{};
                const int Placed = Doubtful(I, N, P);
                if (Placed < 0) return -1;
                if (Placed == 0) continue;
                X = P.X;
                Y = P.Y;
            }
            // Whether a point is kept follows the line's wiggles, which no branch predicts:
            // every point is written to the next entry (the spare last one at the end) and
            // counted only when kept, and the test itself takes no branch (|D| > 1 is D + 1
            // outside [0, 2]).
            const bool Keep = (uint64_t(X - LastX + 1) > 2) | (uint64_t(Y - LastY + 1) > 2);
            if ((N == MaxChainEntries) & Keep) {
                Resume = LastKept;
                return N;
            }
            Out[N] = TPixelPoint{static_cast<int32_t>(X), static_cast<int32_t>(Y)};
            N += Keep;
            LastX = Keep ? X : LastX;
            LastY = Keep ? Y : LastY;
            LastKept = Keep ? I : LastKept;
        }
    }
    Resume = -1;
    return N;
}

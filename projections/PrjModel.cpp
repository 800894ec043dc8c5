#include "projections/PrjModel.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "kernels/BoxSkip.h"
#include "kernels/ChainBounds.h"
#include "kernels/FlatForward.h"
#include "model/ChainDetail.h"
#include "model/OrvexObject.h"
#include "platform/ClipCode.h"
#include "platform/PointBuffer.h"
#include "projections/KeptPixels.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"

static_assert(MaxChainEntries == PointBufferSize - 1);

namespace {
constexpr int32_t Step15 = 15 * OrvexUnits::PerDegree;
constexpr int32_t Lat89 = 89 * OrvexUnits::PerDegree;
constexpr int32_t Lat85 = 85 * OrvexUnits::PerDegree;
constexpr int32_t Step10 = 10 * OrvexUnits::PerDegree;
// Pixels a skipped point may lie from the last kept one, by the stretch bounds: below 1,
// with room for rounding, since only a move of more than a pixel keeps a point.
constexpr long double kThinningReach = 0.99L;

// No projection writes this pair (pixels stay within PixelLimit), so an entry that still
// holds it after a call was not written.
constexpr TPixelPoint Unwritten{std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::min()};

// A value below 2^62 rounded to a whole number, ties to even. Without errno to set, llrint
// is one store of the wide real in the current rounding, which the program never changes;
// a cast would switch the rounding to truncation and back for every value.
inline int64_t RoundOrdinary(long double X) { return std::llrint(X); }

}  // namespace

const TClassInfo& TPrjModel::StaticClassInfo() {
    using P = TPrjModel;
    auto Parameter = [](const char* Name, int32_t Index, int32_t (P::*Getter)() const) {
        return MakeProp<P>(
            Name, TPropKind::Integer, "Integer", [Getter](const P& p) { return (p.*Getter)(); },
            [Index](P& p, int32_t v) { p.SetParameter(Index, v); });
    };
    static const TClassInfo Info{
        "TPrjModel",
        &TPersistent::StaticClassInfo(),
        {},
        {
            MakeProp<P>("ScaleFactor", TPropKind::Float, "Extended", [](const P& p) { return p.ScaleFactor(); },
                        [](P& p, long double v) { p.ApplyScaleFactor(v); }),
            MakeProp<P>("XOrigin", TPropKind::Integer, "Integer", [](const P& p) { return p.XOrigin(); },
                        [](P& p, int32_t v) { p.SetXOrigin(v); }),
            MakeProp<P>("YOrigin", TPropKind::Integer, "Integer", [](const P& p) { return p.YOrigin(); },
                        [](P& p, int32_t v) { p.SetYOrigin(v); }),
            MakeProp<P>("XAxisChanges", TPropKind::Enumeration, "TXAxisChanges",
                        [](const P& p) { return p.XAxisChanges(); },
                        [](P& p, TXAxisChanges v) { p.SetXAxisChanges(v); }, {"xaYOrigin", "xaCentralParallel"}),
            MakeProp<P>("YAxisChanges", TPropKind::Enumeration, "TYAxisChanges",
                        [](const P& p) { return p.YAxisChanges(); },
                        [](P& p, TYAxisChanges v) { p.SetYAxisChanges(v); }, {"yaXOrigin", "yaCentralMeridian"}),
            Parameter("XRotation", 0, &P::XRotation),
            Parameter("YRotation", 1, &P::YRotation),
            Parameter("ZRotation", 2, &P::ZRotation),
            Parameter("CentralMeridian", 3, &P::CentralMeridian),
            Parameter("CentralParallel", 6, &P::CentralParallel),
            Parameter("FirstParallel", 4, &P::FirstParallel),
            Parameter("SecondParallel", 5, &P::SecondParallel),
        }};
    return Info;
}

const TClassInfo& TPrjModel::ClassInfo() const { return StaticClassInfo(); }

TPrjModel::TPrjModel(TOrvex3* View) : TPrjModel(View, TPrjExtents{}) {}

TPrjModel::TPrjModel(TOrvex3* View, const TPrjExtents& Extents) : FView(View), FExtents(Extents) {
    const int32_t W = SurfaceWidth(), H = SurfaceHeight();
    const long double LatSpan = std::llabs(int64_t(FExtents.MaxLatitude) - FExtents.MinLatitude);
    const long double LonSpan = std::llabs(int64_t(FExtents.MaxLongitude) - FExtents.MinLongitude);
    FScaleFactor = MinReal(H / LatSpan, W / LonSpan);
    FXOrigin = W / 2;
    FYOrigin = H / 2;
}

void TPrjModel::SetXAxisChanges(TXAxisChanges Value) {
    if (Value <= xaCentralParallel) FXAxisChanges = Value;
}

void TPrjModel::SetYAxisChanges(TYAxisChanges Value) {
    if (Value <= yaCentralMeridian) FYAxisChanges = Value;
}

void TPrjModel::SetParameter(int32_t Index, int32_t Value) {
    switch (Index) {
        case 0: FXRotation = Value; break;
        case 1: FYRotation = Value; break;
        case 2: FZRotation = Value; break;
        case 3: FCentralMeridian = Value; break;
        case 4: FFirstParallel = Value; break;
        case 5: FSecondParallel = Value; break;
        case 6: FCentralParallel = Value; break;
        default: break;
    }
}

int32_t TPrjModel::SurfaceWidth() const {
    return FView && FView->Canvas() ? FView->Canvas()->Width() : 150;
}

int32_t TPrjModel::SurfaceHeight() const {
    return FView && FView->Canvas() ? FView->Canvas()->Height() : 150;
}

void TPrjModel::RefreshView() {
    // A scroll by nothing refreshes the scroll bars and requests a render.
    if (FView) FView->ScrollBy(0, 0);
}

bool TPrjModel::StorePixel(int32_t Index, long double OffsetX, long double OffsetY) const {
    if (!PointBuffer || Index < 0 || Index >= PointBufferSize) return false;
    // Offsets of ordinary size round straight to integers (the same rounding, to nearest even,
    // without the slow real one); the rest, NaN included, take the careful way below.
    constexpr long double Ordinary = 0x1p40L;
    if (std::fabs(OffsetX) < Ordinary && std::fabs(OffsetY) < Ordinary) {
        const int64_t X = FXOrigin + RoundOrdinary(OffsetX), Y = FYOrigin + RoundOrdinary(OffsetY);
        if (std::llabs(X) <= PixelLimit && std::llabs(Y) <= PixelLimit) {
            PointBuffer[Index] = TPixelPoint{static_cast<int32_t>(X), static_cast<int32_t>(Y)};
            return true;
        }
    }
    long double X = FXOrigin + std::rint(OffsetX);
    long double Y = FYOrigin + std::rint(OffsetY);
    if (!std::isfinite(X) || !std::isfinite(Y)) return false;
    if (std::fabs(X) > PixelLimit || std::fabs(Y) > PixelLimit) {
        // Pulled in along its direction from the surface centre: lines to the point still
        // leave the surface where they did, to well below a pixel.
        const long double CX = SurfaceWidth() / 2, CY = SurfaceHeight() / 2;
        const long double DX = X - CX, DY = Y - CY;
        const long double F = (PixelLimit - std::max(std::fabs(CX), std::fabs(CY))) /
                              std::max(std::fabs(DX), std::fabs(DY));
        X = std::rint(CX + DX * F);
        Y = std::rint(CY + DY * F);
    }
    PointBuffer[Index] = TPixelPoint{static_cast<int32_t>(X), static_cast<int32_t>(Y)};
    return true;
}

bool TPrjModel::LLToXY(int32_t Longitude, int32_t Latitude, int32_t Index) {
    return PointToXY(TPoint3D{NormalizeLongitude(Longitude), Latitude, 0}, Index);
}

bool TPrjModel::PointToXY(const TPoint3D&, int32_t) { return false; }

bool TPrjModel::NeedsLinePoints(const TExtent*) const { return false; }

bool TPrjModel::PlainLinesWithin(const TPointBox&, double) const { return false; }

void TPrjModel::LinePoints(const TPoint3D&, const TPoint3D& To, std::vector<TLinePoint>& Points) const {
    Points.assign(1, TLinePoint{To, false});
}

bool TPrjModel::StretchBounds(long double&, long double&) const { return false; }

bool TPrjModel::XYToLL(int32_t, int32_t, int32_t) { return false; }

bool TPrjModel::SampleTest(int64_t West, int64_t South, int64_t East, int64_t North, uint8_t& ClipCode,
                           int32_t& Samples, int32_t& Visible) {
    // Only entries the projection wrote count, packed from index 0: an unplaced sample
    // must not leave an old position in the bounding box. A hidden point the projection
    // still wrote (the far side of the sphere) does count, so that the far-side pass
    // finds objects that lie wholly behind the horizon.
    if (const std::optional<bool> Shown = CornersDecide(West, South, East, North, ClipCode)) {
        Samples += 4;
        Visible += 4;
        return *Shown;
    }
    int32_t Written = 0;
    auto Place = [&](int32_t Longitude, int32_t Latitude) {
        PointBuffer[Written] = Unwritten;
        ++Samples;
        if (LLToXY(Longitude, Latitude, Written)) ++Visible;
        if (!(PointBuffer[Written] == Unwritten)) ++Written;
    };
    // Maps with a block formula place the samples a block at a time; the formula's doubtful
    // ones go the usual way.
    TFlatForward Flat;
    const bool Blocks = FScaleFactor > 0 && FlatForward(Flat);
    constexpr int32_t Most = SampleBlock;
    TPoint3D* const Pending = FSampleBlock;
    int32_t Waiting = 0;
    auto Flush = [&] {
        int32_t XY[2 * Most];
        uint8_t Sure[Most];
        ProjectFlat(Flat, Pending, Waiting, XY, Sure);
        for (int32_t I = 0; I < Waiting; ++I) {
            if (Sure[I] && Written < PointBufferSize) {
                PointBuffer[Written++] = TPixelPoint{XY[2 * I], XY[2 * I + 1]};
                ++Samples;
                ++Visible;
            } else {
                Place(Pending[I].X, Pending[I].Y);
            }
        }
        Waiting = 0;
    };
    auto Sample = [&](int64_t Longitude, int64_t Latitude) {
        // +180 degrees normalises to the west edge of a flat map; a unit short of it the
        // sample stays on the east side, where the sphere cannot tell the difference.
        if (Longitude == OrvexUnits::Deg180) Longitude = OrvexUnits::Deg180 - 1;
        const int32_t Lon = NormalizeLongitude(SaturateInt32(Longitude)), Lat = SaturateInt32(Latitude);
        if (!Blocks) return Place(Lon, Lat);
        Pending[Waiting++] = TPoint3D{Lon, Lat, 0};
        if (Waiting == Most) Flush();
    };
    Sample(West, South);
    Sample(West, North);
    Sample(East, North);
    Sample(East, South);
    for (int64_t L = West + Step15; L < East; L += Step15) {
        Sample(L, South);
        Sample(L, North);
    }
    for (int64_t B = South + Step15; B < North; B += Step15) {
        Sample(West, B);
        Sample(East, B);
    }
    if (Waiting > 0) Flush();
    return FView->ComputeClipCode(Written, ClipCode);
}

// Inline: the visibility pass asks once an object.
inline std::optional<TPrjModel::TCornerBox> TPrjModel::CornerBoxOf(int32_t Meridian, const TPrjExtents& E, int64_t West,
                                                                   int64_t South, int64_t East, int64_t North) {
    const int64_t EastSample = East == OrvexUnits::Deg180 ? East - 1 : East;
    if (West > EastSample || West < -OrvexUnits::Deg180 || EastSample >= OrvexUnits::Deg180) return std::nullopt;
    const int64_t FromMeridian = NormalizeLongitude(West - Meridian);
    if (FromMeridian + (EastSample - West) >= OrvexUnits::Deg180) return std::nullopt;
    const int32_t Low = SaturateInt32(South), High = SaturateInt32(North);
    if (West < E.MinLongitude || EastSample > E.MaxLongitude || Low < E.MinLatitude || High > E.MaxLatitude)
        return std::nullopt;
    return TCornerBox{FromMeridian, FromMeridian + (EastSample - West), Low, High};
}

std::optional<TPrjModel::TCornerBox> TPrjModel::CornerBox(int64_t West, int64_t South, int64_t East,
                                                          int64_t North) const {
    return CornerBoxOf(FCentralMeridian, FExtents, West, South, East, North);
}

inline int TPrjModel::EdgePlace(const int32_t (&Edge)[4], int64_t Value) {
    // The entries do not decrease.
    return int(Value >= Edge[0]) + int(Value >= Edge[1]) + int(Value >= Edge[2]) + int(Value >= Edge[3]);
}

inline bool TPrjModel::EdgePlaces(const int32_t (&EdgeX)[4], const int32_t (&EdgeY)[4], const TCornerBox& Box,
                                  int (&Places)[4]) {
    Places[0] = EdgePlace(EdgeX, Box.FromWest);
    Places[1] = EdgePlace(EdgeX, Box.FromEast);
    Places[2] = 4 - EdgePlace(EdgeY, Box.North);
    Places[3] = 4 - EdgePlace(EdgeY, Box.South);
    return !((Places[0] | Places[1] | Places[2] | Places[3]) & 1);
}

inline int64_t TPrjModel::StandIn(int Place, int32_t Side) {
    return Place == 0 ? -1 : Place == 2 ? Side / 2 : int64_t(Side) + 1;
}

std::optional<bool> TPrjModel::CornersDecide(int64_t West, int64_t South, int64_t East, int64_t North,
                                             uint8_t& ClipCode) {
    // Where the column follows the longitude alone and the row the latitude alone, both
    // without decreasing, and the box does not pass the seam, the corners hold the samples'
    // extremes: they alone decide, unless one of them is not placed or lies where pixels are
    // pulled in.
    if (!SeparableAxes()) return std::nullopt;
    const std::optional<TCornerBox> Box = CornerBox(West, South, East, North);
    if (!Box) return std::nullopt;
    // The rank tables pass most boxes without a formula run; the first test after a move
    // builds them for the frame's chains (the surface is read once a test).
    const int32_t W = SurfaceWidth(), H = SurfaceHeight();
    if (PrepareRankStarts(W, H))
        if (const std::optional<bool> Shown = DecideByRanks(*Box, W, H, ClipCode)) return Shown;
    // The corners' columns and rows as PointToXY gives them, through the axes' ranks.
    const int64_t X0 = FXOrigin + AxisRank(0, static_cast<int32_t>(Box->FromWest));
    const int64_t X1 = FXOrigin + AxisRank(0, static_cast<int32_t>(Box->FromEast));
    const int64_t Y0 = FYOrigin - AxisRank(1, Box->North), Y1 = FYOrigin - AxisRank(1, Box->South);
    constexpr int64_t Plain = PixelLimit / 2;
    if (std::max(std::llabs(X0), std::llabs(X1)) > Plain || std::max(std::llabs(Y0), std::llabs(Y1)) > Plain)
        return std::nullopt;
    return BoxClipCode(std::min(X0, X1), std::min(Y0, Y1), std::max(X0, X1), std::max(Y0, Y1), W, H, ClipCode);
}

void TPrjModel::MarkMeridianWrap(const TExtent& Extent, TOrvexObject* Obj) const {
    if (!Obj) return;
    if (NormalizeLongitude(int64_t(Extent.Left) - FCentralMeridian) + int64_t(Extent.Width) > OrvexUnits::Deg180)
        Obj->IncludeState(osWrapsMeridian);
    else
        Obj->ExcludeState(osWrapsMeridian);
}

bool TPrjModel::IsExtentVisible(const TExtent& Extent, TOrvexObject* Obj, uint8_t& ClipCode) {
    if (!FView || !PointBuffer) return false;
    const int64_t Left = Extent.Left, Bottom = Extent.Bottom;
    const int64_t Right = Left + Extent.Width, Top = Bottom + Extent.Height;
    MarkMeridianWrap(Extent, Obj);
    // Most boxes of a frame: its rank tables decide them at once, as the corners' test would.
    if (const std::optional<bool> Shown = RanksDecide(Left, Bottom, Right, Top, ClipCode)) {
        if (Obj) Obj->IncludeState(osFrontSide);
        return *Shown;
    }
    // The side bits sum over both halves of a split extent.
    int32_t Samples = 0, Visible = 0;
    bool Result;
    if (Right <= OrvexUnits::Deg180) {
        Result = SampleTest(Left, Bottom, Right, Top, ClipCode, Samples, Visible);
    } else {
        Result = SampleTest(Left, Bottom, OrvexUnits::Deg180, Top, ClipCode, Samples, Visible) ||
                 SampleTest(-OrvexUnits::Deg180, Bottom, Right - OrvexUnits::Deg360, Top, ClipCode, Samples, Visible);
    }
    if (!Obj) return Visible > 0 && Result;
    if (Visible != Samples) Obj->IncludeState(osBackSide);
    if (Visible > 0) Obj->IncludeState(osFrontSide);
    return Result;
}

std::optional<bool> TPrjModel::RanksDecide(int64_t West, int64_t South, int64_t East, int64_t North,
                                           uint8_t& ClipCode) const {
    // CornersDecide with tables made for this very map (a first test after a move goes the long
    // way and makes them).
    if (!(FRankScale > 0)) return std::nullopt;
    const int32_t W = SurfaceWidth(), H = SurfaceHeight();
    if (!RankStartsHold(W, H) || !SeparableAxes()) return std::nullopt;
    const std::optional<TCornerBox> Box = CornerBox(West, South, East, North);
    return Box ? DecideByRanks(*Box, W, H, ClipCode) : std::nullopt;
}

TQuickExtents TPrjModel::QuickExtents() const {
    TQuickExtents Quick;
    const int32_t W = SurfaceWidth(), H = SurfaceHeight();
    // A map with an extent test of its own has no separable axes.
    if (!FView || !PointBuffer || !(FRankScale > 0) || !SeparableAxes() || !RankStartsHold(W, H)) return Quick;
    Quick.FValid = true;
    Quick.FMeridian = FCentralMeridian;
    Quick.FExtents = FExtents;
    std::copy_n(FEdgeX, 4, Quick.FEdgeX);
    std::copy_n(FEdgeY, 4, Quick.FEdgeY);
    // DecideByRanks's answer for each of the 81 placings of the box's west, east, north and
    // south edges.
    for (int West = 0; West <= 4; West += 2)
        for (int East = 0; East <= 4; East += 2)
            for (int North = 0; North <= 4; North += 2)
                for (int South = 0; South <= 4; South += 2) {
                    uint8_t Code = 0;
                    const bool Shows = BoxClipCode(StandIn(West, W), StandIn(North, H), StandIn(East, W),
                                                   StandIn(South, H), W, H, Code);
                    Quick.FOutcome[TQuickExtents::OutcomeIndex(West, East, North, South)] =
                        uint16_t(Code | (Shows ? TQuickExtents::ShowsBit : 0));
                }
    return Quick;
}

std::optional<bool> TQuickExtents::Decide(const TExtent& Extent, TOrvexObject* Obj, uint8_t& ClipCode) const {
    if (!FValid) return std::nullopt;
    const int64_t West = Extent.Left, South = Extent.Bottom;
    const std::optional<TPrjModel::TCornerBox> Box =
        TPrjModel::CornerBoxOf(FMeridian, FExtents, West, South, West + Extent.Width, South + Extent.Height);
    if (!Box) return std::nullopt;
    // Most boxes lie on the surface, all four edges.
    int Index = OutcomeIndex(2, 2, 2, 2);
    if (Box->FromWest < FEdgeX[1] || Box->FromEast >= FEdgeX[2] || Box->South < FEdgeY[1] ||
        Box->North >= FEdgeY[2]) {
        int Places[4];
        if (!TPrjModel::EdgePlaces(FEdgeX, FEdgeY, *Box, Places)) return std::nullopt;
        Index = OutcomeIndex(Places[0], Places[1], Places[2], Places[3]);
    }
    const uint16_t Outcome = FOutcome[Index];
    ClipCode = uint8_t(Outcome);
    if (Obj) {
        // What MarkMeridianWrap writes for such a box: CornerBoxOf admits only boxes that end
        // less than 180 degrees east of the meridian, which do not wrap.
        Obj->ExcludeState(osWrapsMeridian);
        Obj->IncludeState(osFrontSide);
    }
    return (Outcome & ShowsBit) != 0;
}

int64_t TPrjModel::AxisRank(int, int32_t) const { return 0; }

bool TPrjModel::PrepareRankStarts() { return PrepareRankStarts(SurfaceWidth(), SurfaceHeight()); }

bool TPrjModel::PrepareRankStarts(int32_t W, int32_t H) {
    if (!SeparableAxes() || !(FScaleFactor > 0) || !std::isfinite(FScaleFactor)) return false;
    // A table a pixel: beyond this size the bounds alone thin the chains.
    constexpr int32_t MaxSide = 1 << 16;
    if (W > MaxSide || H > MaxSide) return false;
    if (RankStartsHold(W, H)) return true;
    constexpr int64_t Rim = RankRim;
    const int64_t First[2] = {-int64_t(FXOrigin) - Rim, int64_t(FYOrigin) - H - Rim};
    const int64_t Count[2] = {int64_t(W) + 2 * Rim + 1, int64_t(H) + 2 * Rim + 1};
    const int32_t Min[2] = {-OrvexUnits::Deg180, FExtents.MinLatitude};
    const int32_t Max[2] = {OrvexUnits::Deg180 - 1, FExtents.MaxLatitude};
    for (int Axis = 0; Axis < 2; ++Axis) {
        TRankStarts& T = FRankStarts[Axis];
        T.First = First[Axis];
        T.Min = Min[Axis];
        T.Max = Max[Axis];
        T.Starts.resize(size_t(Count[Axis]));
        // Each start is searched from the one before, first in growing steps, then halving.
        int64_t Low = T.Min, Gap = int64_t(T.Max) - T.Min + 1;
        for (int64_t K = 0; K < Count[Axis]; ++K) {
            const int64_t Rank = T.First + K, From = Low;
            // Most starts lie the last gap on, give or take a unit of rounding.
            if (const std::optional<int64_t> Guessed = K > 0 ? GuessedStart(Axis, Rank, From, From + Gap, T.Max)
                                                             : std::nullopt) {
                Low = *Guessed;
                T.Starts[size_t(K)] = static_cast<int32_t>(Low);
                Gap = Low - From;
                continue;
            }
            int64_t High = Low, Step = std::max<int64_t>(Gap, 1);
            while (true) {
                High = std::min<int64_t>(Low + Step, int64_t(T.Max) + 1);
                if (High > T.Max || AxisRank(Axis, static_cast<int32_t>(High)) >= Rank) break;
                Low = High + 1;
                Step *= 2;
            }
            while (Low < High) {
                const int64_t Mid = Low + (High - Low) / 2;
                if (AxisRank(Axis, static_cast<int32_t>(Mid)) >= Rank)
                    High = Mid;
                else
                    Low = Mid + 1;
            }
            T.Starts[size_t(K)] = static_cast<int32_t>(Low);
            if (K > 0) Gap = Low - From;
        }
    }
    const std::vector<int32_t>&X = FRankStarts[0].Starts, &Y = FRankStarts[1].Starts;
    const size_t Edges[2][4] = {{size_t(Rim - 1), size_t(Rim + 1), size_t(W + Rim), size_t(W + Rim + 2)},
                                {size_t(Rim - 1), size_t(Rim + 1), size_t(H + Rim), size_t(H + Rim + 2)}};
    for (int E = 0; E < 4; ++E) {
        FEdgeX[E] = X[Edges[0][E]];
        FEdgeY[E] = Y[Edges[1][E]];
    }
    FRankScale = FScaleFactor;
    FRankKey = RankKey(W, H);
    return true;
}

std::optional<int64_t> TPrjModel::GuessedStart(int Axis, int64_t Rank, int64_t From, int64_t Guess,
                                                int32_t Max) const {
    // The start is the first value from From on whose rank reaches Rank (the values before From
    // stay below the rank before it): one that reaches it after one that does not, or From.
    auto Reaches = [&](int64_t V) { return AxisRank(Axis, static_cast<int32_t>(V)) >= Rank; };
    constexpr int Tries = 3;
    int64_t G = Guess;
    if (G <= From || G > Max) return std::nullopt;
    if (Reaches(G)) {
        for (int T = 0; T < Tries; ++T, --G)
            if (G == From || !Reaches(G - 1)) return G;
        return std::nullopt;
    }
    for (int T = 0; T < Tries && ++G <= Max; ++T)
        if (Reaches(G)) return G;
    return std::nullopt;
}

std::array<int64_t, 6> TPrjModel::RankKey(int32_t W, int32_t H) const {
    // The standard parallel and meridian shape some projections' axes.
    return {FXOrigin, FYOrigin, W, H, FFirstParallel, FCentralMeridian};
}

bool TPrjModel::RankStartsHold(int32_t W, int32_t H) const {
    // Field by field: every extent test asks.
    return FRankKey[0] == FXOrigin && FRankKey[1] == FYOrigin && FRankKey[2] == W && FRankKey[3] == H &&
           FRankKey[4] == FFirstParallel && FRankKey[5] == FCentralMeridian && FRankScale == FScaleFactor &&
           FRankStarts[1].Min == FExtents.MinLatitude && FRankStarts[1].Max == FExtents.MaxLatitude;
}

std::optional<bool> TPrjModel::DecideByRanks(const TCornerBox& Box, int32_t Width, int32_t Height,
                                             uint8_t& ClipCode) const {
    // The tables start RankRim pixels outside the surface: X's entry K is the first value of
    // column K - Rim, and Y's entry K the first value of row H + Rim - K (rows run down); the
    // edges hold the entries this test reads.
    // Where a corner's pixel lies for the clip code: before the surface, on it, or past it,
    // each only when a pixel clear of the edge, so that a formula's last bit cannot matter; the
    // stand-in pixel of each class gives the box's code as the corners themselves would.
    int Places[4];
    if (!EdgePlaces(FEdgeX, FEdgeY, Box, Places)) return std::nullopt;
    return BoxClipCode(StandIn(Places[0], Width), StandIn(Places[2], Height), StandIn(Places[1], Width),
                       StandIn(Places[3], Height), Width, Height, ClipCode);
}

bool TPrjModel::RankSpan(int Axis, int64_t Rank, int32_t& Low, int32_t& High) const {
    const TRankStarts& T = FRankStarts[Axis];
    const int64_t From = Rank - 1 - T.First, To = Rank + 2 - T.First;
    if (From < 0 || To >= int64_t(T.Starts.size())) return false;
    // A unit clear of the thresholds: the last bit of a formula's rounding cannot matter.
    Low = T.Starts[size_t(From)] + 1;
    High = T.Starts[size_t(To)] - 2;
    return Low <= High;
}

bool TPrjModel::StretchBoundsWithin(const TPointBox&, double& PerLongitude, double& PerLatitude) const {
    long double Lon = 0, Lat = 0;
    if (!StretchBounds(Lon, Lat)) return false;
    PerLongitude = static_cast<double>(Lon);
    PerLatitude = static_cast<double>(Lat);
    return true;
}

bool TPrjModel::DetailStretch(const TPointBox& Box, double& PixelsPerUnit) const {
    double PerLongitude = 0, PerLatitude = 0;
    if (LocalStretch()) {
        if (!StretchBoundsWithin(Box, PerLongitude, PerLatitude)) return false;
    } else {
        long double Lon = 0, Lat = 0;
        if (!StretchBounds(Lon, Lat)) return false;
        PerLongitude = static_cast<double>(Lon);
        PerLatitude = static_cast<double>(Lat);
    }
    PixelsPerUnit = (PerLongitude + PerLatitude) * static_cast<double>(FScaleFactor);
    return true;
}

int TPrjModel::DetailLevel(const TExtent& Extent) const {
    if (!(FScaleFactor > 0) || !std::isfinite(FScaleFactor)) return -1;
    const TPointBox Box{Extent.Left, int64_t(Extent.Left) + Extent.Width, Extent.Bottom,
                        int64_t(Extent.Bottom) + Extent.Height};
    double PixelsPerUnit = 0;
    if (!DetailStretch(Box, PixelsPerUnit) || !(PixelsPerUnit > 0) || !std::isfinite(PixelsPerUnit)) return -1;
    // A left-out point lies within a cell of a kept one in both longitude and latitude.
    const double Cell = DetailTolerance / PixelsPerUnit;
    if (!(Cell >= 2)) return -1;
    return std::min(std::ilogb(Cell), MaxDetailLevel);
}

void TPrjModel::LongitudeReach(const TPointBox& Box, double& Least, double& Most) const {
    constexpr double Pi = static_cast<double>(OrvexPi);
    const int64_t From = Box.MinLongitude - FCentralMeridian, To = Box.MaxLongitude - FCentralMeridian;
    if (To - From >= OrvexUnits::Deg360) {
        Least = 0;
        Most = Pi;
        return;
    }
    // Taken from the meridian, the longitudes run without a jump except where they pass the
    // one opposite it (+-180 degrees) or come round to it again (0).
    auto Passes = [&](int64_t Mark) {
        constexpr int64_t Turn = OrvexUnits::Deg360;
        const int64_t First = From - Mark;
        // The first whole turn at or after First.
        const int64_t Up = First >= 0 ? (First + Turn - 1) / Turn * Turn : -(-First / Turn) * Turn;
        return Up <= To - Mark;
    };
    const double A = std::fabs(static_cast<double>(NormalizeLongitude(From))) * static_cast<double>(RadiansPerOrvexUnit);
    const double B = std::fabs(static_cast<double>(NormalizeLongitude(To))) * static_cast<double>(RadiansPerOrvexUnit);
    Least = Passes(0) ? 0 : std::min(A, B);
    Most = Passes(OrvexUnits::Deg180) ? Pi : std::max(A, B);
}

namespace {
// Points a block of ProjectChain's local thinning: its box is gathered once for them all.
constexpr int32_t kThinningBlock = 64;

TPrjModel::TPointBox BoxOf(const TPoint3D* Points, int32_t N) {
    const TChainBounds B = ChainBounds(Points, N);
    return TPrjModel::TPointBox{B.MinX, B.MaxX, B.MinY, B.MaxY};
}

TPrjModel::TPointBox Union(const TPrjModel::TPointBox& A, const TPrjModel::TPointBox& B) {
    return TPrjModel::TPointBox{std::min(A.MinLongitude, B.MinLongitude), std::max(A.MaxLongitude, B.MaxLongitude),
                                std::min(A.MinLatitude, B.MinLatitude), std::max(A.MaxLatitude, B.MaxLatitude)};
}
}  // namespace

int32_t TPrjModel::ProjectChain(TOrvexObject* Obj, int32_t& Resume) {
    const int32_t Count = Obj ? Obj->GetPointCount() : 0;
    if (!PointBuffer || Resume < 0 || Resume >= Count) {
        Resume = -1;
        return 0;
    }
    // Chains are read straight from their array rather than a virtual call a point.
    const auto* Geo = Obj->AsGeoData();
    const TPoint3D* Points = Geo && Geo->Count() == Count ? Geo->Points() : nullptr;
    // A point whose projection cannot be more than a pixel from the last one kept would
    // be dropped anyway; the bounds find most of them before the formulas run. Where the
    // projection has bounds for a part of the map they are taken for the box of the points
    // since the last one kept, a block at a time, so the points skipped are the same ones.
    double PerLongitude = 0, PerLatitude = 0;
    // Where the map has a block formula, every point is placed a block at a time: that costs
    // less than the bounds that would pass over some of them, and than the ranks where they
    // would pass over few (a coarser copy has a few points a pixel).
    TFlatForward Flat;
    const bool Blocks = Points && FScaleFactor > 0 && FlatForward(Flat);
    if (Blocks && FPlacingCopies) return ProjectBlocks(Flat, Points, Count, Resume);
    // Where the axes are separable, the values that keep both column and row within a
    // pixel of the last kept point: a box of longitudes and latitudes, which the local
    // bounds would not better.
    const bool Ranked = PrepareRankStarts();
    if (Blocks && !Ranked) return ProjectBlocks(Flat, Points, Count, Resume);
    const bool Local = Points && FScaleFactor > 0 && LocalStretch() && !Ranked;
    bool Thin = false;
    if (FScaleFactor > 0 && !Local) {
        long double Lon = 0, Lat = 0;
        Thin = StretchBounds(Lon, Lat);
        PerLongitude = static_cast<double>(Lon);
        PerLatitude = static_cast<double>(Lat);
    }
    const double Reach = FScaleFactor > 0 ? static_cast<double>(kThinningReach / FScaleFactor) : 0;
    int32_t BlockEnd = Resume;
    bool KeptInBlock = true;
    TPointBox Block{}, Since{};
    int64_t KeptLongitude = 0, KeptLatitude = 0;
    int64_t LastX = std::numeric_limits<int32_t>::max(), LastY = std::numeric_limits<int32_t>::max();
    int32_t N = 0, LastKept = Resume;
    bool Boxed = false;
    TSkipBox Box{FCentralMeridian, 0, 0, 0, 0};
    for (int32_t I = Resume; I < Count; ++I) {
        if (Boxed && Points) {
            I = SkipInsideBox(Points, I, Count, Box);
            if (I == Count) break;
        }
        if (Local && I == BlockEnd) {
            BlockEnd = I + std::min(kThinningBlock, Count - I);
            const TPointBox Next = BoxOf(Points + I, BlockEnd - I);
            // The kept point lies in the block before this one, or earlier still when none
            // was kept there.
            Since = I == Resume ? Next : Union(KeptInBlock ? Block : Since, Next);
            Block = Next;
            KeptInBlock = false;
            Thin = StretchBoundsWithin(Since, PerLongitude, PerLatitude);
        }
        const TPoint3D Point = Points ? Points[I] : Obj->GetPoint(I);
        const int64_t Longitude = NormalizeLongitude(int64_t(Point.X) - FCentralMeridian);
        // (A chain read from its array has passed over them above.)
        if (Boxed && !Points && Box.Holds(Point)) continue;
        if (Thin && N > 0 &&
            PerLongitude * static_cast<double>(std::llabs(Longitude - KeptLongitude)) +
                    PerLatitude * static_cast<double>(std::llabs(Point.Y - KeptLatitude)) <
                Reach)
            continue;
        // With the buffer full the spare last entry takes the candidate: only a point that
        // would be kept ends the piece.
        if (!PointToXY(Point, N)) continue;
        const TPixelPoint& P = PointBuffer[N];
        if (std::llabs(P.X - LastX) > 1 || std::llabs(P.Y - LastY) > 1) {
            if (N == MaxChainEntries) {
                Resume = LastKept;
                return N;
            }
            LastX = P.X;
            LastY = P.Y;
            KeptLongitude = Longitude;
            KeptLatitude = Point.Y;
            LastKept = I;
            KeptInBlock = true;
            ++N;
            int32_t West, East, South, North;
            Boxed = Ranked && RankSpan(0, LastX - FXOrigin, West, East) &&
                    RankSpan(1, int64_t(FYOrigin) - LastY, South, North);
            if (Boxed) {
                Box.West = West;
                Box.Width = uint64_t(int64_t(East) - West);
                Box.South = South;
                Box.Height = uint64_t(int64_t(North) - South);
            }
        }
    }
    Resume = -1;
    return N;
}

void TPrjModel::PlacePoints(const TPoint3D* Points, int32_t N, int32_t* XY, uint8_t* Placed) {
    TFlatForward Flat;
    if (PointBuffer && FScaleFactor > 0 && FlatForward(Flat))
        ProjectFlat(Flat, Points, N, XY, Placed);
    else
        std::fill(Placed, Placed + N, uint8_t(0));
    for (int32_t I = 0; I < N; ++I) {
        if (Placed[I] || !PointBuffer || !PointToXY(Points[I], MaxChainEntries)) continue;
        XY[2 * I] = PointBuffer[MaxChainEntries].X;
        XY[2 * I + 1] = PointBuffer[MaxChainEntries].Y;
        Placed[I] = 1;
    }
}

int32_t TPrjModel::ProjectBlocks(const TFlatForward& Flat, const TPoint3D* Points, int32_t Count, int32_t& Resume) {
    // The formula's doubtful points the usual way; the spare last entry takes them.
    return KeptPixels(Flat, Points, Count, Resume, PointBuffer, [&](int32_t I, int32_t N, TPixelPoint& Pixel) {
        if (!PointToXY(Points[I], N)) return 0;
        Pixel = PointBuffer[N];
        return 1;
    });
}

void TPrjModel::PaintBackground() {
    if (!FView || !FView->Canvas() || !PointBuffer) return;
    const int32_t Saved = FCentralMeridian;
    FCentralMeridian = 0;
    const TPrjExtents& E = FExtents;
    int32_t N = 0;
    auto Place = [&](int64_t Longitude, int64_t Latitude) {
        if (LLToXY(SaturateInt32(Longitude), SaturateInt32(Latitude), N)) ++N;
    };
    for (int64_t I = 0; I <= 35; ++I) Place(E.MinLongitude + I * Step10, E.MinLatitude);
    for (int64_t I = 0; I <= 17; ++I) Place(int64_t(E.MaxLongitude) - 1, E.MinLatitude + I * Step10);
    for (int64_t I = 0; I <= 35; ++I) Place(E.MaxLongitude - I * Step10 - 1, E.MaxLatitude);
    for (int64_t I = 0; I <= 17; ++I) Place(E.MinLongitude, E.MaxLatitude - I * Step10);
    FCentralMeridian = Saved;
    FView->Canvas()->PolygonBuffer(N, 255);
}

void TPrjModel::PaintGraticule() {
    if (!FView) return;
    if (FView->LongitudeStep() > 0) {
        const int64_t Step = int64_t(FView->LongitudeStep()) * OrvexUnits::PerDegree;
        const int32_t Steps = std::max(2, FMeridianSteps);
        for (int64_t L = -OrvexUnits::Deg180; L < OrvexUnits::Deg180; L += Step) {
            const int32_t Lon = static_cast<int32_t>(L);
            DrawLine(TPoint3D{Lon, -Lat89, 0}, TPoint3D{Lon, Lat89, 0}, Steps);
        }
    }
    if (FView->LatitudeStep() > 0) {
        const int64_t Step = int64_t(FView->LatitudeStep()) * OrvexUnits::PerDegree;
        const int32_t Steps = std::max(2, FParallelSteps);
        constexpr int32_t East = OrvexUnits::Deg180 - 1;
        for (int64_t B64 = 0; B64 < Lat85; B64 += Step) {
            const int32_t B = static_cast<int32_t>(B64);
            // Each parallel in two halves, so that no piece spans 180 degrees or more.
            DrawLine(TPoint3D{East, B, 0}, TPoint3D{0, B, 0}, Steps);
            DrawLine(TPoint3D{0, B, 0}, TPoint3D{-East, B, 0}, Steps);
            DrawLine(TPoint3D{East, -B, 0}, TPoint3D{0, -B, 0}, Steps);
            DrawLine(TPoint3D{0, -B, 0}, TPoint3D{-East, -B, 0}, Steps);
        }
    }
}

void TPrjModel::DrawLine(const TPoint3D& From, const TPoint3D& To, int32_t Steps) {
    FView->PaintLineLL(From, To, Steps);
}

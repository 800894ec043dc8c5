// Layer file records of map objects: the common header and the point encodings.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <type_traits>
#include <typeinfo>

#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "model/OrvexStream.h"

namespace {

// Record flags.
constexpr uint8_t rfTitle = 0x01;
constexpr uint8_t rfID = 0x02;
constexpr uint8_t rfAltitude = 0x04;
constexpr uint8_t rfWholeMinute = 0x08;
constexpr uint8_t rfDelta = 0x10;
constexpr uint8_t rfSinglePoint = 0x20;
constexpr uint8_t rfZoomRange = 0x80;

constexpr int32_t MinuteUnits = OrvexUnits::PerMinute;

// The escape marker, in the place of a delta's X.
int32_t EscapeMarker(uint8_t Flags) { return (Flags & rfWholeMinute) ? 127 : 32767; }

bool IsWholeMinute(const TPoint3D& P) {
    return P.X % MinuteUnits == 0 && P.Y % MinuteUnits == 0 && P.Z % MinuteUnits == 0;
}

size_t AbsoluteSize(uint8_t Flags) { return ((Flags & rfWholeMinute) ? 2 : 4) * ((Flags & rfAltitude) ? 3 : 2); }
// The smallest a point after the first can take.
size_t MinFollowingSize(uint8_t Flags) {
    if (!(Flags & rfDelta)) return AbsoluteSize(Flags);
    return ((Flags & rfWholeMinute) ? 1 : 2) * ((Flags & rfAltitude) ? 3 : 2);
}

void WriteAbsolute(TOrvexStream& S, const TPoint3D& P, uint8_t Flags) {
    if (Flags & rfWholeMinute) {
        S.WriteInt16(static_cast<int16_t>(P.X / MinuteUnits));
        S.WriteInt16(static_cast<int16_t>(P.Y / MinuteUnits));
        if (Flags & rfAltitude) S.WriteInt16(static_cast<int16_t>(P.Z / MinuteUnits));
    } else {
        S.WriteInt32(P.X);
        S.WriteInt32(P.Y);
        if (Flags & rfAltitude) S.WriteInt32(P.Z);
    }
}

// A stored longitude as the model keeps it: 16-bit minutes and sums of deltas reach several
// turns, further than the one turn NormalizeLongitude takes back.
int32_t StoredLongitude(int64_t X) {
    // Nearly every value is in range already, and the remainder is a division.
    if (X >= -OrvexUnits::Deg180 && X < OrvexUnits::Deg180) return static_cast<int32_t>(X);
    return NormalizeLongitude(X % OrvexUnits::Deg360);
}

TPoint3D ReadAbsolute(TOrvexStream& S, uint8_t Flags) {
    TPoint3D P;
    if (Flags & rfWholeMinute) {
        const int64_t X = S.ReadInt16();
        const int64_t Y = S.ReadInt16();
        const int64_t Z = (Flags & rfAltitude) ? S.ReadInt16() : 0;
        // Hostile files may name values past the 32-bit range; those saturate.
        P = TPoint3D{StoredLongitude(X * MinuteUnits), SaturateInt32(Y * MinuteUnits),
                     SaturateInt32(Z * MinuteUnits)};
    } else {
        const int32_t X = S.ReadInt32();
        const int32_t Y = S.ReadInt32();
        const int32_t Z = (Flags & rfAltitude) ? S.ReadInt32() : 0;
        P = TPoint3D{StoredLongitude(X), Y, Z};
    }
    return P;
}

struct TDivided {
    int32_t X, Y, Z;
};

TDivided Divide(const TPoint3D& P, int32_t D) { return TDivided{P.X / D, P.Y / D, P.Z / D}; }

// Runs Body with the divisor as a compile-time constant: a division by a variable costs
// tens of cycles, three of them a point.
template <class F>
void WithDivisor(uint8_t Flags, F Body) {
    if (Flags & rfWholeMinute)
        Body(std::integral_constant<int32_t, MinuteUnits>{});
    else
        Body(std::integral_constant<int32_t, 1>{});
}

// The same fields on raw bytes, for the chains of points: one size check per record (on
// writing) instead of one per field.
uint8_t* Put16(uint8_t* Out, int32_t V) {
    Out[0] = static_cast<uint8_t>(V);
    Out[1] = static_cast<uint8_t>(V >> 8);
    return Out + 2;
}
uint8_t* Put32(uint8_t* Out, int32_t V) {
    const auto U = static_cast<uint32_t>(V);
    Out[0] = static_cast<uint8_t>(U);
    Out[1] = static_cast<uint8_t>(U >> 8);
    Out[2] = static_cast<uint8_t>(U >> 16);
    Out[3] = static_cast<uint8_t>(U >> 24);
    return Out + 4;
}
int32_t Get16(const uint8_t* In) { return static_cast<int16_t>(uint16_t(In[0] | In[1] << 8)); }
int32_t Get32(const uint8_t* In) {
    return static_cast<int32_t>(uint32_t(In[0]) | uint32_t(In[1]) << 8 | uint32_t(In[2]) << 16 | uint32_t(In[3]) << 24);
}

template <bool Minute>
uint8_t* PutAbsolute(uint8_t* Out, const TPoint3D& P, bool Altitude) {
    if constexpr (Minute) {
        Out = Put16(Out, P.X / MinuteUnits);
        Out = Put16(Out, P.Y / MinuteUnits);
        if (Altitude) Out = Put16(Out, P.Z / MinuteUnits);
    } else {
        Out = Put32(Out, P.X);
        Out = Put32(Out, P.Y);
        if (Altitude) Out = Put32(Out, P.Z);
    }
    return Out;
}

template <bool Minute>
uint8_t* PutDelta(uint8_t* Out, int32_t V) {
    if constexpr (Minute) {
        *Out = static_cast<uint8_t>(V);
        return Out + 1;
    } else {
        return Put16(Out, V);
    }
}

// As ReadAbsolute; the caller has checked that the bytes are there.
template <bool Minute>
TPoint3D GetAbsolute(const uint8_t*& In, bool Altitude) {
    if constexpr (Minute) {
        const int64_t X = Get16(In), Y = Get16(In + 2), Z = Altitude ? Get16(In + 4) : 0;
        In += Altitude ? 6 : 4;
        return TPoint3D{StoredLongitude(X * MinuteUnits), SaturateInt32(Y * MinuteUnits),
                        SaturateInt32(Z * MinuteUnits)};
    } else {
        const int32_t X = Get32(In), Y = Get32(In + 4), Z = Altitude ? Get32(In + 8) : 0;
        In += Altitude ? 12 : 8;
        return TPoint3D{StoredLongitude(X), Y, Z};
    }
}

template <bool Minute>
int32_t GetDelta(const uint8_t*& In) {
    if constexpr (Minute) {
        return static_cast<int8_t>(*In++);
    } else {
        const int32_t V = Get16(In);
        In += 2;
        return V;
    }
}

// Whether a delta of P from Prev needs an escape: a coordinate moves by Limit units or more.
// Without branches: about one point in ten escapes, in no pattern a predictor could learn.
template <int32_t Limit>
int32_t EscapesAt(const TPoint3D& P, const TPoint3D& Prev) {
    constexpr int64_t Bias = Limit - 1;
    constexpr uint64_t Span = 2 * uint64_t(Bias);
    auto Out = [](int32_t A, int32_t B) { return int32_t(uint64_t(int64_t(A) - B + Bias) > Span); };
    return Out(P.X, Prev.X) | Out(P.Y, Prev.Y) | Out(P.Z, Prev.Z);
}

// The points of a chain, plain or as deltas with escapes, into room of their exact size.
template <bool Minute, bool Altitude>
void PutChain(uint8_t* Out, const TPoint3D& First, const TPoint3D* P, int32_t N, bool Deltas) {
    constexpr int32_t D = Minute ? MinuteUnits : 1;
    constexpr int32_t E = Minute ? 127 : 32767;
    Out = PutAbsolute<Minute>(Out, First, Altitude);
    if (!Deltas) {
        for (int32_t I = 1; I < N; ++I) Out = PutAbsolute<Minute>(Out, P[I], Altitude);
        return;
    }
    TDivided Prev = Divide(P[0], D);
    for (int32_t I = 1; I < N; ++I) {
        const TDivided Cur = Divide(P[I], D);
        const int64_t DX = int64_t(Cur.X) - Prev.X, DY = int64_t(Cur.Y) - Prev.Y, DZ = int64_t(Cur.Z) - Prev.Z;
        if (std::llabs(DX) >= E || std::llabs(DY) >= E || (Altitude && std::llabs(DZ) >= E)) {
            Out = PutDelta<Minute>(Out, E);
            Out = PutAbsolute<Minute>(Out, P[I], Altitude);
        } else {
            Out = PutDelta<Minute>(Out, int32_t(DX));
            Out = PutDelta<Minute>(Out, int32_t(DY));
            if constexpr (Altitude) Out = PutDelta<Minute>(Out, int32_t(DZ));
        }
        Prev = Cur;
    }
}

uint8_t* Put64(uint8_t* Out, uint64_t V) {
    for (int I = 0; I < 8; ++I) Out[I] = static_cast<uint8_t>(V >> (8 * I));
    return Out + 8;
}

// The common chain (plain deltas, no altitude), encoded in the same pass that finds whether it
// is one: points 1 to N-1 into Out, which has room for 10 bytes a point. Gives the end of the
// bytes, or null when the chain needs the general writer: it has an altitude, a point to drop
// (equal to its predecessor, from the third on), or too many escapes for deltas to pay.
uint8_t* PutCommonChain(uint8_t* Out, const TPoint3D* P, int32_t N) {
    int64_t PX = P[0].X, PY = P[0].Y;
    int32_t AnyZ = P[0].Z;
    int64_t Escapes = 0;
    int32_t Repeats = 0;
    for (int32_t I = 1; I < N; ++I) {
        const TPoint3D Cur = P[I];
        const int64_t DX = Cur.X - PX, DY = Cur.Y - PY;
        PX = Cur.X;
        PY = Cur.Y;
        AnyZ |= Cur.Z;
        Repeats += (DX | DY) == 0;
        // Both forms are assembled and the one that applies stored as one word (the tail of an
        // escape's latitude after it): no byte-by-byte choice between the two.
        const bool Escape = (uint64_t(DX + 32766) > 65532) | (uint64_t(DY + 32766) > 65532);
        Escapes += Escape;
        const uint64_t Delta = uint64_t(uint16_t(DX)) | uint64_t(uint16_t(DY)) << 16;
        const uint64_t Absolute = 0x7FFF | uint64_t(uint32_t(Cur.X)) << 16 | uint64_t(uint32_t(Cur.Y)) << 48;
        Put64(Out, Escape ? Absolute : Delta);
        Put16(Out + 8, int32_t(uint32_t(Cur.Y) >> 16));
        Out += Escape ? 10 : 4;
    }
    // The first repeat is kept; with no altitude, equal deltas mean equal points.
    const bool Drops = Repeats - (P[1] == P[0]) > 0;
    // The general writer's choice of deltas.
    const bool Deltas = int64_t(N) * 8 > 8 + 4 * int64_t(N - 1) + 6 * Escapes;
    return AnyZ != 0 || Drops || !Deltas ? nullptr : Out;
}

// A chain's box in 32 bits, for runs whose values keep clear of the 32-bit ends: the same
// rule as TChainBounds, a bound widened by one unit when it is set.
struct TRunBounds {
    int32_t MinX, MinY, MaxX, MaxY;

    static bool Fits(const TChainBounds& B) {
        auto In = [](int64_t V) { return V >= INT32_MIN && V <= INT32_MAX; };
        return In(B.MinX) && In(B.MinY) && In(B.MaxX) && In(B.MaxY);
    }
    static TRunBounds From(const TChainBounds& B) {
        return TRunBounds{int32_t(B.MinX), int32_t(B.MinY), int32_t(B.MaxX), int32_t(B.MaxY)};
    }
    TChainBounds Wide() const { return TChainBounds{MinX, MinY, MaxX, MaxY}; }
    void Add(int32_t X, int32_t Y) {
        MinX = X < MinX ? X - 1 : MinX;
        MaxX = X > MaxX ? X + 1 : MaxX;
        MinY = Y < MinY ? Y - 1 : MinY;
        MaxY = Y > MaxY ? Y + 1 : MaxY;
    }
};

// Values of at most 2^30 in magnitude: sums of deltas from them cannot leave 32 bits within a
// run of 2^15 points, nor their bounds, widened by one.
constexpr int32_t SmallValue = 1 << 30;
constexpr int64_t RunLength = 1 << 15;
inline bool IsSmall(int32_t V) { return V > -SmallValue && V < SmallValue; }

// The points I to Stop - 1 of a run of plain deltas from small values, with no check of the
// data's end (the caller has made sure the longest point fits each time). Gives the index of
// the first point not read: before Stop when an escape leads to a value that is not small
// (that point is left unread, to the general reader). Without Reduce the longitudes are stored
// as summed, which is right only while they stay in [-180, 180): the caller checks the bounds.
template <bool Altitude, bool Reduce>
int32_t GetDeltaRun(const uint8_t*& In, TPoint3D* P, int32_t I, int32_t Stop, int32_t& X, int32_t& Y,
                    int32_t& Z, TRunBounds& Bounds) {
    const uint8_t* At = In;
    int32_t SX = X, SY = Y, SZ = Z;
    TRunBounds B = Bounds;
    for (; I < Stop; ++I) {
        const int32_t First = Get16(At);
        if (First == 32767) {
            const int32_t EY = Get32(At + 6), EZ = Altitude ? Get32(At + 10) : 0;
            if (!IsSmall(EY) || !IsSmall(EZ)) break;
            SX = StoredLongitude(Get32(At + 2));
            SY = EY;
            SZ = EZ;
            At += Altitude ? 14 : 10;
        } else {
            SX += First;
            SY += Get16(At + 2);
            if constexpr (Altitude) SZ += Get16(At + 4);
            At += Altitude ? 6 : 4;
        }
        const int32_t Longitude = Reduce ? StoredLongitude(SX) : SX;
        P[I] = TPoint3D{Longitude, SY, SZ};
        B.Add(Longitude, SY);
    }
    In = At;
    X = SX;
    Y = SY;
    Z = SZ;
    Bounds = B;
    return I;
}

// Plain (not whole-minute) deltas from point From on, for as long as the longest point, an
// escape, fits before End; gives the index of the first point not read. The box of the points
// is gathered on the way, while they are in registers. A branch on the escape, though about
// one point in ten takes it: choosing without one would make each point's position wait for
// the bytes of the one before.
template <bool Altitude>
int32_t GetPlainDeltas(const uint8_t*& In, const uint8_t* End, TPoint3D* P, int32_t From, int32_t N,
                       TDivided& Prev, TChainBounds& Bounds) {
    constexpr size_t Longest = Altitude ? 14 : 10;
    const uint8_t* At = In;
    int32_t X = Prev.X, Y = Prev.Y, Z = Prev.Z;
    TChainBounds B = Bounds;
    int32_t I = From;
    // Set when a run stopped before a point it cannot read.
    bool General = false;
    while (I < N) {
        const auto Fit = int64_t(size_t(End - At) / Longest);
        if (Fit == 0) break;
        if (!General && IsSmall(X) && IsSmall(Y) && IsSmall(Z) && TRunBounds::Fits(B)) {
            const auto Stop = int32_t(std::min({int64_t(N), I + Fit, I + RunLength}));
            // Longitudes are stored as summed while the bounds show them all in range (as in
            // every file this program writes); a run that left it is read again, each reduced.
            const uint8_t* const RunAt = At;
            const int32_t RunI = I, RunX = X, RunY = Y, RunZ = Z;
            TRunBounds R = TRunBounds::From(B);
            I = GetDeltaRun<Altitude, false>(At, P, I, Stop, X, Y, Z, R);
            if (R.MinX < -OrvexUnits::Deg180 || R.MaxX >= OrvexUnits::Deg180) {
                At = RunAt;
                X = RunX;
                Y = RunY;
                Z = RunZ;
                R = TRunBounds::From(B);
                I = GetDeltaRun<Altitude, true>(At, P, RunI, Stop, X, Y, Z, R);
            }
            B = R.Wide();
            General = I < Stop;
            continue;
        }
        General = false;
        // One point with saturating sums.
        const int32_t First = Get16(At);
        if (First == 32767) {
            X = StoredLongitude(Get32(At + 2));
            Y = Get32(At + 6);
            Z = Altitude ? Get32(At + 10) : 0;
            At += Longest;
        } else {
            const int32_t DY = Get16(At + 2), DZ = Altitude ? Get16(At + 4) : 0;
            X = SaturateInt32(int64_t(X) + First);
            Y = SaturateInt32(int64_t(Y) + DY);
            Z = SaturateInt32(int64_t(Z) + DZ);
            At += Altitude ? 6 : 4;
        }
        const int32_t Longitude = StoredLongitude(X);
        P[I] = TPoint3D{Longitude, Y, Z};
        B.Add(Longitude, Y);
        ++I;
    }
    In = At;
    Prev = TDivided{X, Y, Z};
    Bounds = B;
    return I;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Record header

void TOrvexObject::WriteRecordHeader(TOrvexStream& Stream, uint8_t Flags) {
    Flags = static_cast<uint8_t>(Flags & ~(rfTitle | rfID | rfZoomRange | 0x40));
    if (!FTitle.empty()) Flags |= rfTitle;
    if (FID != 0) Flags |= rfID;
    if (FZoomMin != FZoomMax) Flags |= rfZoomRange;
    FStreamFlags = Flags;
    Stream.WriteUInt16(Flags);
    if (Flags & rfTitle) Stream.WriteShortString(FTitle);
    if (Flags & rfID) Stream.WriteInt32(FID);
    if (Flags & rfZoomRange) {
        Stream.WriteInt32(FZoomMin);
        Stream.WriteInt32(FZoomMax);
    }
    Stream.WriteInt16(FFeatureID);
}

uint8_t TOrvexObject::ReadRecordHeader(TOrvexStream& Stream) {
    const auto Flags = static_cast<uint8_t>(Stream.ReadUInt16());
    FStreamFlags = Flags;
    if (Flags & rfTitle) FTitle = Stream.ReadShortString();
    if (Flags & rfID) FID = Stream.ReadInt32();
    if (Flags & rfZoomRange) {
        FZoomMin = Stream.ReadInt32();
        FZoomMax = Stream.ReadInt32();
    }
    FFeatureID = Stream.ReadInt16();
    if (FLayer) AttachPresenter(FLayer->FindPresenter(std::string(), FFeatureID));
    return Flags;
}

// ---------------------------------------------------------------------------------------
// TGeoDataObject

namespace {

// A chain's count: 16 bits, or for longer chains a zero there (never a real count, which is
// at least 2) and the count in 32 bits.
void WritePointCount(TOrvexStream& Stream, int32_t N) {
    if (N <= 0xFFFF) {
        Stream.WriteUInt16(static_cast<uint16_t>(N));
    } else {
        Stream.WriteUInt16(0);
        Stream.WriteInt32(N);
    }
}

// What the choice of encoding needs to know of a chain.
struct TChainSurvey {
    bool Whole = false;  // every coordinate, altitude included, survives the division exactly
    int32_t MinuteEscapes = 0;
    int32_t PlainEscapes = 0;
    int32_t AnyZ = 0;     // nonzero when some point has an altitude
    int32_t Repeats = 0;  // points equal to their predecessor
};

TChainSurvey SurveyChain(const TPoint3D* P, int32_t N) {
    TChainSurvey Survey;
    // Real data fails at the first point; the escapes of the whole-minute deltas are counted
    // on the way, since only whole-minute chains need them.
    int32_t WholeUntil = 0;
    while (WholeUntil < N && IsWholeMinute(P[WholeUntil])) {
        if (WholeUntil > 0) Survey.MinuteEscapes += EscapesAt<MinuteUnits * 127>(P[WholeUntil], P[WholeUntil - 1]);
        ++WholeUntil;
    }
    Survey.Whole = WholeUntil == N;

    // One read-only pass for the rest. A dropped point's delta is zero, so the escapes are
    // those of the chain without it.
    Survey.AnyZ = N > 0 ? P[0].Z : 0;
    for (int32_t I = 1; I < N; ++I) {
        const TPoint3D Cur = P[I], Prev = P[I - 1];
        Survey.AnyZ |= Cur.Z;
        Survey.PlainEscapes += EscapesAt<32767>(Cur, Prev);
        Survey.Repeats += (Cur.X == Prev.X) & (Cur.Y == Prev.Y) & (Cur.Z == Prev.Z);
    }
    return Survey;
}

// Drops the points equal to their predecessor, the first two always kept; the new count.
int32_t DropRepeats(TPoint3D* P, int32_t N) {
    int32_t Kept = 2;
    TPoint3D Before = P[1];
    for (int32_t I = 2; I < N; ++I) {
        const TPoint3D Cur = P[I];
        if (!(Cur == Before)) P[Kept++] = Cur;
        Before = Cur;
    }
    return Kept;
}

uint8_t ChooseFlags(const TChainSurvey& Survey, int32_t N, int32_t Escapes) {
    uint8_t Flags = Survey.Whole ? rfWholeMinute : 0;
    if (Survey.AnyZ != 0) Flags |= rfAltitude;
    if (N <= 1) {
        Flags |= rfSinglePoint;
    } else {
        // A cheap estimate, not the exact size: 8 bytes a point plain, against 4 a point
        // and 6 more for each escape.
        const int64_t Cost = 8 + 4 * int64_t(N - 1) + 6 * int64_t(Escapes);
        if (int64_t(N) * 8 > Cost) Flags |= rfDelta;
    }
    return Flags;
}

// The points in the encoding of Flags, their exact size made room for at once.
void WritePoints(TOrvexStream& Stream, uint8_t Flags, const TPoint3D* P, int32_t N, int32_t Escapes) {
    const bool Altitude = Flags & rfAltitude;
    const size_t Absolute = AbsoluteSize(Flags);
    const size_t Delta = MinFollowingSize(Flags);
    const size_t Field = (Flags & rfWholeMinute) ? 1 : 2;
    const size_t Following = N > 1 ? size_t(N - 1) : 0;
    const size_t Bytes = (Flags & rfDelta) ? Absolute + (Following - size_t(Escapes)) * Delta +
                                                 size_t(Escapes) * (Field + Absolute)
                                           : Absolute * (1 + Following);
    uint8_t* Out = Stream.Extend(Bytes);
    const TPoint3D First = N > 0 ? P[0] : TPoint3D{};
    const bool Deltas = Flags & rfDelta;
    if (Flags & rfWholeMinute)
        Altitude ? PutChain<true, true>(Out, First, P, N, Deltas) : PutChain<true, false>(Out, First, P, N, Deltas);
    else
        Altitude ? PutChain<false, true>(Out, First, P, N, Deltas) : PutChain<false, false>(Out, First, P, N, Deltas);
}

// The count of the chain after a record's header, checked against the data before the chain
// is sized by it.
int32_t ReadPointCount(TOrvexStream& Stream, uint8_t Flags) {
    int32_t N = 1;
    if (!(Flags & rfSinglePoint)) {
        N = Stream.ReadUInt16();
        if (N == 0) {
            N = Stream.ReadInt32();
            if (N <= 0 || N > MaxPointListSize)
                throw EOrvexException(Format("TGeoDataObject.LoadFromStream: Bad point count %d", N));
        }
    }
    const uint64_t Needed = AbsoluteSize(Flags) + uint64_t(N - 1) * MinFollowingSize(Flags);
    if (Needed > Stream.Remaining())
        throw EStreamReadError(Format("TGeoDataObject.LoadFromStream: %d points need at least %llu bytes, %zu left", N,
                                      static_cast<unsigned long long>(Needed), Stream.Remaining()));
    return N;
}

// The N points straight from the bytes; Bounds gets the box of the first Bounded of them.
// Every point is written, also when the data ends half-way. The count check covers the plain
// encoding; escapes take more room than it counts on, so the delta reader checks as it goes.
void ReadChain(TOrvexStream& Stream, uint8_t Flags, TPoint3D* P, int32_t N, TChainBounds& Bounds, int32_t& Bounded) {
    const bool Altitude = Flags & rfAltitude;
    const size_t Absolute = AbsoluteSize(Flags);
    const size_t Field = (Flags & rfWholeMinute) ? 1 : 2;
    const uint8_t* const Begin = Stream.Current();
    const uint8_t* In = Begin;
    const uint8_t* const End = Begin + Stream.Remaining();
    auto Check = [&](size_t Count) {
        // Short: the stream raises its own error at the place the data ends.
        if (size_t(End - In) < Count) {
            Stream.Advance(size_t(In - Begin));
            Stream.Advance(Count);
        }
    };
    int32_t I = 0;  // the points written
    try {
        WithDivisor(Flags, [&](auto D) {
            constexpr bool Minute = decltype(D)::value != 1;
            P[0] = GetAbsolute<Minute>(In, Altitude);
            I = 1;
            if (!(Flags & rfDelta)) {
                for (; I < N; ++I) P[I] = GetAbsolute<Minute>(In, Altitude);
                return;
            }
            const int32_t E = EscapeMarker(Flags);
            const size_t Rest = Field * (Altitude ? 2 : 1);
            TDivided Prev = Divide(P[0], D);
            // While the longest point still fits, without checks.
            if constexpr (!Minute) {
                Bounds.Add(P[0].X, P[0].Y);
                I = Altitude ? GetPlainDeltas<true>(In, End, P, I, N, Prev, Bounds)
                             : GetPlainDeltas<false>(In, End, P, I, N, Prev, Bounds);
                Bounded = I;
            }
            for (; I < N; ++I) {
                Check(Field);
                const int32_t First = GetDelta<Minute>(In);
                if (First == E) {
                    Check(Absolute);
                    P[I] = GetAbsolute<Minute>(In, Altitude);
                    Prev = Divide(P[I], D);
                    continue;
                }
                Check(Rest);
                const int32_t DY = GetDelta<Minute>(In);
                const int32_t DZ = Altitude ? GetDelta<Minute>(In) : 0;
                Prev = TDivided{SaturateInt32(int64_t(Prev.X) + First), SaturateInt32(int64_t(Prev.Y) + DY),
                                SaturateInt32(int64_t(Prev.Z) + DZ)};
                P[I] = TPoint3D{StoredLongitude(int64_t(Prev.X) * D), SaturateInt32(int64_t(Prev.Y) * D),
                                SaturateInt32(int64_t(Prev.Z) * D)};
            }
        });
    } catch (...) {
        // The rest are zero points, as a chain sized by SetPointCount has.
        std::fill(P + I, P + N, TPoint3D{});
        throw;
    }
    Stream.Advance(size_t(In - Begin));
}

// The count and points of a chain whose header is written, in one pass for the common case:
// plain deltas without altitude. False, with the stream taken back to Start, for a chain
// that is not.
bool WriteCommonChain(TOrvexStream& Stream, const TPoint3D* P, int32_t N, size_t Start) {
    WritePointCount(Stream, N);
    const size_t PointsAt = Stream.Position();
    uint8_t* const Room = Stream.Extend(8 + 10 * size_t(N - 1));
    if (const uint8_t* End = PutCommonChain(PutAbsolute<false>(Room, P[0], false), P, N)) {
        Stream.Data().resize(PointsAt + size_t(End - Room));
        Stream.Seek(Stream.Data().size());
        return true;
    }
    Stream.Data().resize(Start);
    Stream.Seek(Start);
    return false;
}

}  // namespace

void TGeoDataObject::SaveToStream(TOrvexStream& Stream) {
    TPoint3D* P = FChain.Points();
    const int32_t OldCount = FChain.Count();

    // Most chains are plain deltas without altitude: written in one pass that also checks
    // they are, taken back when not. Only when appending, so that nothing is overwritten, and
    // for chains of up to a million points: the pass makes room for ten bytes a point, where
    // the general writer sizes the bytes exactly.
    const size_t Start = Stream.Position();
    if (OldCount > 1 && OldCount <= (1 << 20) && Start == Stream.Size() && !IsWholeMinute(P[0])) {
        WriteRecordHeader(Stream, rfDelta);
        if (WriteCommonChain(Stream, P, OldCount, Start)) return;
    }

    const TChainSurvey Survey = SurveyChain(P, OldCount);
    int32_t N = OldCount;
    if (OldCount > 2 && Survey.Repeats - (P[1] == P[0]) > 0) {
        N = DropRepeats(P, OldCount);
        FChain.SetCount(N);
        Invalidate();
    }
    const int32_t Escapes = N <= 1 ? 0 : Survey.Whole ? Survey.MinuteEscapes : Survey.PlainEscapes;
    const uint8_t Flags = ChooseFlags(Survey, N, Escapes);
    WriteRecordHeader(Stream, Flags);
    if (!(Flags & rfSinglePoint)) WritePointCount(Stream, N);
    WritePoints(Stream, Flags, P, N, Escapes);
}

void TGeoDataObject::LoadFromStream(TOrvexStream& Stream) {
    const uint8_t Flags = ReadRecordHeader(Stream);
    const int32_t N = ReadPointCount(Stream, Flags);
    TPoint3D* const P = PreparePoints(N, Layer() ? Layer()->LoadSlab() : nullptr);
    // The box of the points before Bounded.
    TChainBounds Bounds;
    int32_t Bounded = 0;
    ReadChain(Stream, Flags, P, N, Bounds, Bounded);

    // Chains whose presenter is gone fall back to the global polyline or point presenter.
    if (!Presenter() && Layer()) AttachPresenter(Layer()->FindPresenter(std::string(), N > 1 ? -2 : -1));

    // The extent now, while the points are in the cache; a chain across the date line, or a
    // class that computes its own, is left to CalcExtents.
    if (N > 1 && Layer() && typeid(*this) == typeid(TGeoDataObject)) {
        for (; Bounded < N; ++Bounded) Bounds.Add(P[Bounded].X, P[Bounded].Y);
        // A step can cross only between points east of 90 degrees and points west of -90.
        bool Crossing = false;
        if (Bounds.MaxX >= OrvexUnits::Deg90 && Bounds.MinX <= -OrvexUnits::Deg90) {
            int32_t Last = P[N - 1].X;
            for (int32_t K = 0; K < N && !Crossing; ++K) {
                Crossing = TChainBounds::Crosses(Last, P[K].X);
                Last = P[K].X;
            }
        }
        if (!Crossing) {
            SetChainExtents(Bounds, 0);
            // The date-line detector is left as CalcExtents leaves it.
            CrossesDateLine(P[0].X);
        }
    }
}

// ---------------------------------------------------------------------------------------
// TSinglePointObject

void TSinglePointObject::SaveToStream(TOrvexStream& Stream) {
    const bool Whole = FPoint.X % MinuteUnits == 0 && FPoint.Y % MinuteUnits == 0;
    WriteRecordHeader(Stream, Whole ? rfWholeMinute : 0);
    WriteAbsolute(Stream, FPoint, StreamFlags());
}

void TSinglePointObject::LoadFromStream(TOrvexStream& Stream) {
    const uint8_t Flags = ReadRecordHeader(Stream);
    SetPoint(ReadAbsolute(Stream, Flags));
}

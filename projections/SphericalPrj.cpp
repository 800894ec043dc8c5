#include "projections/SphericalPrj.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <typeinfo>

#include "foundation/PointList.h"
#include "model/OrvexObject.h"
#include "platform/PointBuffer.h"
#include "projections/Circle.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"

namespace {

constexpr TPrjExtents SphereExtents{-EarthRadius, -EarthRadius, EarthRadius, EarthRadius};

// Saturates instead of leaving the double range, which would be undefined.
inline double Narrow(long double V) {
    constexpr long double Max = std::numeric_limits<double>::max();
    if (V > Max) return std::numeric_limits<double>::infinity();
    if (V < -Max) return -std::numeric_limits<double>::infinity();
    return static_cast<double>(V);
}

inline double Dot(const TPoint3D& V, const double* Row) {
    return V.X * Row[0] + V.Y * Row[1] + V.Z * Row[2];
}

inline double Dot(const TVector3D& V, const double* Row) {
    return static_cast<double>(V.X) * Row[0] + static_cast<double>(V.Y) * Row[1] + static_cast<double>(V.Z) * Row[2];
}

// Subdivision depth of the textured sphere by scale: finer triangles on a larger globe.
constexpr long double CoarseTextureScale = 2e-7L;
constexpr long double MediumTextureScale = 2e-6L;

struct TUnitVector {
    long double X, Y, Z;
};

// The octahedron whose faces, subdivided, cover the sphere with texture triangles; the
// west flag marks the faces of the western hemisphere.
constexpr struct {
    TUnitVector A, B, C;
    bool West;
} Octahedron[8] = {
    {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}, false},   {{1, 0, 0}, {0, 1, 0}, {0, 0, -1}, false},
    {{0, -1, 0}, {0, 0, 1}, {1, 0, 0}, false},  {{0, -1, 0}, {1, 0, 0}, {0, 0, -1}, false},
    {{0, 1, 0}, {-1, 0, 0}, {0, 0, -1}, true},  {{0, 1, 0}, {0, 0, 1}, {-1, 0, 0}, true},
    {{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}, true}, {{-1, 0, 0}, {0, 0, 1}, {0, -1, 0}, true},
};

TUnitVector Midpoint(const TUnitVector& A, const TUnitVector& B) {
    TUnitVector M{A.X + B.X, A.Y + B.Y, A.Z + B.Z};
    const long double Length = std::sqrt(M.X * M.X + M.Y * M.Y + M.Z * M.Z);
    if (Length > 0) M = TUnitVector{M.X / Length, M.Y / Length, M.Z / Length};
    return M;
}

// The vertex's longitude, latitude and height 0. Vertices on the 180-degree meridian are
// moved a unit into the hemisphere of their face, so that no triangle spans the seam.
TPoint3D Geographic(const TUnitVector& V, bool West) {
    // + 0 turns a negative zero positive: atan2 then gives +pi on the 180-degree meridian.
    int64_t Lon = RoundEven(std::atan2(V.X + 0.0L, V.Z) * UnitsPerRadian);
    Lon = West ? -std::llabs(Lon - 1) : Lon - 1;
    const int64_t Lat = RoundEven(ArcSinClamped(V.Y) * UnitsPerRadian);
    return TPoint3D{NormalizeLongitude(Lon), static_cast<int32_t>(Lat), 0};
}
}  // namespace

const TClassInfo& TSphericalPrj::StaticClassInfo() {
    static const TClassInfo Info{"TSphericalPrj", &TPrjModel::StaticClassInfo(), {}, {}};
    return Info;
}

const TClassInfo& TSphericalPrj::ClassInfo() const { return StaticClassInfo(); }

TSphericalPrj::TSphericalPrj(TOrvex3* View) : TPrjModel(View, SphereExtents) {
    FFlags = pfSeamless | pfTextureCapable;
    FMeridianSteps = 36;
    FParallelSteps = 72;
    // The base fitted the scale with a plain store. No refresh: the view is not showing
    // this projection yet and may itself be under construction.
    Rebuild();
}

void TSphericalPrj::ApplyScaleFactor(long double Value) {
    FScaleFactor = Value;
    Rebuild();
    RefreshView();
}

void TSphericalPrj::Rebuild() {
    const long double S = FScaleFactor;
    FDiscRadius = S * EarthRadius;
    FDiscRadiusSquared = FDiscRadius * FDiscRadius;
    TMatrix3 M;
    QuaternionToMatrix(AnglesToQuaternion(FXRotation, FYRotation, FZRotation), M);
    TransposeMatrix(M, FInverseMatrix);
    ScaleMatrix(FInverseMatrix, Narrow(1 / S));
    std::copy(std::begin(M), std::end(M), std::begin(FForwardMatrix));
    ScaleMatrix(FForwardMatrix, Narrow(S));
}

void TSphericalPrj::SetParameter(int32_t Index, int32_t Value) {
    if (Index == 0)
        Value = std::clamp(Value, -OrvexUnits::Deg90, OrvexUnits::Deg90);
    else if (Index == 1 || Index == 2)
        Value = NormalizeLongitude(Value);
    TPrjModel::SetParameter(Index, Value);
    ApplyScaleFactor(FScaleFactor);
}

bool TSphericalPrj::Hidden(double Depth) const {
    // Negative depth faces the viewer; the horizon itself counts as the near side.
    const bool BackSide = FView && FView->BackSidePass;
    return BackSide ? !(Depth > 0) : Depth > 0;
}

inline bool TSphericalPrj::StoreDoublePixel(int32_t Index, double OffsetX, double OffsetY) const {
    constexpr double Ordinary = 0x1p40;
    if (std::fabs(OffsetX) < Ordinary && std::fabs(OffsetY) < Ordinary && PointBuffer && Index >= 0 &&
        Index < PointBufferSize) {
        // Adding and taking away 1.5 * 2^52 rounds a double below 2^51 to a whole one, ties
        // to even, as the wide rounding does.
        constexpr double Magic = 0x1.8p52;
        const int64_t X = FXOrigin + static_cast<int64_t>((OffsetX + Magic) - Magic);
        const int64_t Y = FYOrigin + static_cast<int64_t>((OffsetY + Magic) - Magic);
        if (X <= PixelLimit && X >= -PixelLimit && Y <= PixelLimit && Y >= -PixelLimit) {
            PointBuffer[Index] = TPixelPoint{static_cast<int32_t>(X), static_cast<int32_t>(Y)};
            return true;
        }
    }
    return StorePixel(Index, OffsetX, OffsetY);
}

int TSphericalPrj::CapSide(const TBoundingCap& Cap) const {
    const double* F = FForwardMatrix;
    constexpr double R = EarthRadius;
    auto Centre = [&](int Row) { return R * (Cap.X * F[Row] + Cap.Y * F[Row + 1] + Cap.Z * F[Row + 2]); };
    // A sample's vector is its point's rounded to whole units, under a unit off in each axis,
    // which a row of the matrix turns into less than the scale; two pixels more cover the
    // rounding to pixels and of these sums.
    const double Margin = Narrow(FDiscRadius) * (double(Cap.Reach) + 1e-9) + Narrow(FScaleFactor) + 2;
    const double X = FXOrigin + Centre(0), Y = FYOrigin + Centre(3);
    if (!(X - Margin >= 0 && X + Margin <= SurfaceWidth() && Y - Margin >= 0 && Y + Margin <= SurfaceHeight()))
        return 0;
    const double Depth = Centre(6);
    return Depth + Margin < 0 ? 1 : Depth - Margin > 0 ? -1 : 0;
}

bool TSphericalPrj::IsExtentVisible(const TExtent& Extent, TOrvexObject* Obj, uint8_t& ClipCode) {
    // Only this class's own samples are known to lie within the cap.
    if (Obj && FView && PointBuffer && Extent == Obj->Extents() && typeid(*this) == typeid(TSphericalPrj)) {
        if (const int Side = CapSide(Obj->BoundingCap())) {
            MarkMeridianWrap(Extent, Obj);
            // Every sample visible, or none: the far side shows in the back-side pass.
            Obj->IncludeState((Side > 0) != FView->BackSidePass ? osFrontSide : osBackSide);
            // Every sample on the surface.
            ClipCode = 0;
            return true;
        }
    }
    return TPrjModel::IsExtentVisible(Extent, Obj, ClipCode);
}

bool TSphericalPrj::PointToXY(const TPoint3D& Point, int32_t Index) {
    const TVector3D V = PointToVector(Point);
    const double SX = Dot(V, &FForwardMatrix[0]);
    const double SY = Dot(V, &FForwardMatrix[3]);
    if (!StoreDoublePixel(Index, SX, SY)) return false;
    return !Hidden(Dot(V, &FForwardMatrix[6]));
}

bool TSphericalPrj::XYToLL(int32_t X, int32_t Y, int32_t Index) {
    if (!PointBuffer || Index < 0 || Index >= PointBufferSize) return false;
    const long double DX = static_cast<long double>(X) - FXOrigin;
    const long double DY = static_cast<long double>(Y) - FYOrigin;
    const long double Q = FDiscRadiusSquared - DX * DX - DY * DY;
    if (!(Q >= 0)) return false;
    const long double DZ = -std::sqrt(Q);
    const double* I = FInverseMatrix;
    const long double VX = I[0] * DX + I[1] * DY + I[2] * DZ;
    const long double VY = I[3] * DX + I[4] * DY + I[5] * DZ;
    const long double VZ = I[6] * DX + I[7] * DY + I[8] * DZ;
    const long double Lon = std::atan2(VX, VZ) * UnitsPerRadian;
    const long double Lat = ArcSinClamped(VY / EarthRadius) * UnitsPerRadian;
    if (!std::isfinite(Lon) || !std::isfinite(Lat)) return false;
    // atan2 reaches +pi, which is the normalised -180 degrees.
    PointBuffer[Index] = TPixelPoint{NormalizeLongitude(RoundSaturate(Lon)), RoundSaturate(Lat)};
    return true;
}

namespace {
// OrvexUnits per pixel: chain points closer than this to the last kept one are dropped.
int64_t ThinningStep(long double Scale) {
    const long double PerPixel = 1 / Scale;
    return PerPixel >= 0 && PerPixel < INT32_MAX ? RoundSaturate(PerPixel) : INT32_MAX;
}

// Walks a chain keeping the points at least a thinning step apart.
class TThinning {
public:
    explicit TThinning(int64_t Step) : FStep(Step) {}
    bool Keep(const TPoint3D& P) {
        if (std::llabs(P.X - FLastLon) <= FStep && std::llabs(P.Y - FLastLat) <= FStep) return false;
        FLastLon = P.X;
        FLastLat = P.Y;
        return true;
    }

private:
    int64_t FStep;
    int64_t FLastLon = INT32_MAX, FLastLat = INT32_MAX;
};

// The chain's vectors thinned to Step; null where a point lies too far out for them.
std::unique_ptr<TPoint3DList> BuildVectors(TOrvexObject* Obj, int64_t Step) {
    const int32_t Count = Obj->GetPointCount();
    TThinning Thinning(Step);
    auto Cache = std::make_unique<TPoint3DList>();
    Cache->SetStep(Step);
    Cache->SetCapacity(Count);
    const auto* Geo = Obj->AsGeoData();
    const TPoint3D* Points = Geo && Geo->Count() == Count ? Geo->Points() : nullptr;
    for (int32_t I = 0; I < Count; ++I) {
        const TPoint3D P = Points ? Points[I] : Obj->GetPoint(I);
        if (!VectorFitsInt32(P)) return nullptr;
        if (Thinning.Keep(P)) Cache->Add(PointTo3D(P));
    }
    Cache->SetCapacity(Cache->Count());
    return Cache;
}

// Whether vectors thinned to Have serve a chain drawn at Step: the same step, or with the level
// of detail (which draws from coarser copies anyway) a step up to twice as fine.
bool VectorsServe(const TPoint3DList* Have, int64_t Step, bool Detail) {
    return Have && (Have->Step() == Step || (Detail && Have->Step() < Step && 2 * Have->Step() >= Step));
}
}  // namespace

int64_t TSphericalPrj::PrepareChain(TOrvexObject* Obj) {
    if (!Obj || !FView || !FView->LevelOfDetail() || !Obj->Cache3D()) return -1;
    // A little past the next notch in, so that the scale it settles on takes them; they
    // serve this scale as well.
    const int64_t Finer = ThinningStep(FScaleFactor * TOrvex3::WheelNotchFactor * 1.05L);
    if (Obj->Cache3D()->Step() <= Finer || (Obj->FinerCache3D() && Obj->FinerCache3D()->Step() == Finer)) return -1;
    std::unique_ptr<TPoint3DList> Cache = BuildVectors(Obj, Finer);
    if (!Cache) return -1;
    const int64_t Bytes = Cache->Bytes();
    Obj->SetFinerCache3D(std::move(Cache));
    return Bytes;
}

int32_t TSphericalPrj::ProjectChain(TOrvexObject* Obj, int32_t& Resume) {
    if (!Obj || !PointBuffer) {
        Resume = -1;
        return 0;
    }
    const bool HorizonMode = Obj->HasState(osFrontSide) && Obj->HasState(osBackSide);
    const int32_t Count = Obj->GetPointCount();
    const int64_t Step = ThinningStep(FScaleFactor);
    // Thinned to about a pixel at the current scale (the object drops the cache when its
    // points change). Where the view draws from coarser copies anyway, a cache of a scale up
    // to twice as close serves as well, and zooming out and in again builds none.
    const bool Detail = FView && FView->LevelOfDetail();
    if (!VectorsServe(Obj->Cache3D(), Step, Detail)) {
        // The vectors the idle work built for a closer scale, when they serve this one.
        std::unique_ptr<TPoint3DList> Cache = Obj->TakeFinerCache3D();
        if (!VectorsServe(Cache.get(), Step, Detail)) Cache = BuildVectors(Obj, Step);
        Obj->SetCache3D(std::move(Cache));
    }
    if (const TPoint3DList* Cache = Obj->Cache3D()) {
        const TPoint3D* Items = Cache->Items();
        auto Cached = [Items](int32_t I, TPoint3D& V) {
            V = Items[I];
            return true;
        };
        return ProjectVectors<TPoint3D>(Cached, Cache->Count(), HorizonMode, Resume);
    }
    // Points farther out than the int32 cache can hold are converted on every call, thinned
    // the same way; Resume then counts chain points.
    TThinning Thinning(ThinningStep(FScaleFactor));
    auto Direct = [&](int32_t I, TVector3D& V) {
        const TPoint3D P = Obj->GetPoint(I);
        if (!Thinning.Keep(P)) return false;
        V = PointToVector(P);
        return true;
    };
    return ProjectVectors<TVector3D>(Direct, Count, HorizonMode, Resume);
}

template <class TVector, class TSource>
int32_t TSphericalPrj::ProjectVectors(TSource& Source, int32_t Count, bool HorizonMode, int32_t& Resume) {
    if (Resume < 0 || Resume >= Count) {
        Resume = -1;
        return 0;
    }
    const double* F = FForwardMatrix;
    const double Radius = Narrow(FDiscRadius);
    const double MinRadial = Narrow(FScaleFactor);
    double LastX = INT32_MAX, LastY = INT32_MAX;
    int32_t N = 0, LastKept = Resume;
    TVector V;
    for (int32_t I = Resume; I < Count; ++I) {
        if (!Source(I, V)) continue;
        double SX = Dot(V, &F[0]);
        double SY = Dot(V, &F[3]);
        if (HorizonMode && Hidden(Dot(V, &F[6]))) {
            // Hidden vertices move radially onto the rim, so that the chain runs along the
            // horizon instead of across the disc. A vertex straight behind the centre has
            // no direction to move in and is left out; within one unit of the view axis
            // the direction is only the rounding of the 3D point.
            const double T = std::hypot(SX, SY);
            if (!(T > MinRadial)) continue;
            SX = SX * Radius / T;
            SY = SY * Radius / T;
        }
        if (std::fabs(SX - LastX) >= 1 || std::fabs(SY - LastY) >= 1) {
            if (N == MaxChainEntries) {
                Resume = LastKept;
                return N;
            }
            if (!StoreDoublePixel(N, SX, SY)) continue;
            LastX = SX;
            LastY = SY;
            LastKept = I;
            ++N;
        }
    }
    Resume = -1;
    return N;
}

void TSphericalPrj::PaintBackground() {
    if (!FView || !FView->Canvas() || !PointBuffer) return;
    if (FView->TextureBackground() && TextureCapable() && PaintTexture()) return;
    const int32_t N = StoreCircle(
        FDiscRadius, [this](int32_t Index, long double X, long double Y) { return StorePixel(Index, X, Y); });
    FView->Canvas()->PolygonBuffer(N, 255);
}

namespace {
void Subdivide(TSphericalPrj& Prj, TOrvexCanvas& Canvas, const TTextureData& Texture, const TUnitVector& A,
               const TUnitVector& B, const TUnitVector& C, int Depth, bool West) {
    const TPoint3D Corners[3] = {Geographic(A, West), Geographic(B, West), Geographic(C, West)};
    if (Depth <= 0) {
        Canvas.RenderTextureTriangle(Corners, Texture);
        return;
    }
    // A face with no visible corner is not looked at closer.
    int Visible = 0;
    for (int32_t I = 0; I < 3; ++I) Visible += Prj.PointToXY(Corners[I], I);
    if (Visible == 0) return;
    const TUnitVector AB = Midpoint(A, B), AC = Midpoint(A, C), BC = Midpoint(B, C);
    Subdivide(Prj, Canvas, Texture, A, AC, AB, Depth - 1, West);
    Subdivide(Prj, Canvas, Texture, B, AB, BC, Depth - 1, West);
    Subdivide(Prj, Canvas, Texture, C, BC, AC, Depth - 1, West);
    Subdivide(Prj, Canvas, Texture, AB, AC, BC, Depth - 1, West);
}
}  // namespace

bool TSphericalPrj::PaintTexture() {
    TOrvexCanvas* Canvas = FView ? FView->Canvas() : nullptr;
    if (!Canvas || !PointBuffer) return false;
    const int Depth = FScaleFactor <= CoarseTextureScale ? 3 : FScaleFactor <= MediumTextureScale ? 4 : 5;
    Canvas->PaintTextured([&] {
        for (const auto& Face : Octahedron)
            Subdivide(*this, *Canvas, FView->Texture(), Face.A, Face.B, Face.C, Depth, Face.West);
    });
    return true;
}

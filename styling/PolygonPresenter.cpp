#include "styling/PolygonPresenter.h"

#include <algorithm>
#include <typeinfo>

#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "styling/OrvexAttributes.h"
#include "view/Orvex3.h"

const TClassInfo& TPolygonPresenter::StaticClassInfo() {
    using P = TPolygonPresenter;
    static const TClassInfo Info{
        "TPolygonPresenter",
        &TOrvexPresenter::StaticClassInfo(),
        [](TOrvexLayer* L) -> TOrvexPersistent* { return Create(L); },
        {
            MakeProp<P>("PolygonPen", TPropKind::Class, "TOrvexPen", [](const P& p) { return p.PolygonPen(); },
                        nullptr),
            MakeProp<P>("PolygonBrush", TPropKind::Class, "TOrvexBrush", [](const P& p) { return p.PolygonBrush(); },
                        nullptr),
        }};
    return Info;
}

const TClassInfo& TPolygonPresenter::ClassInfo() const { return StaticClassInfo(); }

TPolygonPresenter::TPolygonPresenter(TOrvexLayer* Layer) : TOrvexPresenter(Layer) {
    FPolygonPen = TOrvexPen::Create(Layer);
    FPolygonBrush = TOrvexBrush::Create(Layer);
}

TPolygonPresenter* TPolygonPresenter::Create(TOrvexLayer* Layer) { return new TPolygonPresenter(Layer); }

TPolygonPresenter::~TPolygonPresenter() {
    delete FPolygonPen;
    delete FPolygonBrush;
}

std::vector<TOrvexAttribute*> TPolygonPresenter::OwnedAttributes() const {
    auto A = TOrvexPresenter::OwnedAttributes();
    A.insert(A.end(), {FPolygonPen, FPolygonBrush});
    return A;
}

TPolygonPresenter* TPolygonPresenter::FindMatching(TOrvexLayer* Layer, const TOrvexPen* Pen,
                                                   const TOrvexFont* TitleFont, const TOrvexBrush* Brush) {
    if (!Layer) return nullptr;
    for (TOrvexPresenter* Candidate : Layer->Presenters()) {
        auto* P = dynamic_cast<TPolygonPresenter*>(Candidate);
        if (!P) continue;
        if (Pen && !P->FPolygonPen->IsEqual(Pen)) continue;
        if (Brush && !P->FPolygonBrush->IsEqual(Brush)) continue;
        if (TitleFont && !P->TitleFont()->IsEqual(TitleFont)) continue;
        return P;
    }
    return nullptr;
}

void TPolygonPresenter::CopyFrom(const TPersistent* Source) {
    TOrvexPresenter::CopyFrom(Source);
    if (const auto* S = dynamic_cast<const TPolygonPresenter*>(Source)) {
        FPolygonPen->CopyFrom(S->FPolygonPen);
        FPolygonBrush->CopyFrom(S->FPolygonBrush);
    }
}

void TPolygonPresenter::SaveToStream(TOrvexStream& Stream) {
    TOrvexPresenter::SaveToStream(Stream);
    FPolygonPen->SaveToStream(Stream);
    FPolygonBrush->SaveToStream(Stream);
}

void TPolygonPresenter::LoadFromStream(TOrvexStream& Stream) {
    TOrvexPresenter::LoadFromStream(Stream);
    FPolygonPen->LoadFromStream(Stream);
    FPolygonBrush->LoadFromStream(Stream);
}

namespace {

// The longitude of To after From along a chain: a step across the date line (by the rule
// that counts crossings for extents and splits chains when drawing) goes on past 180
// degrees instead of jumping back across the map.
int64_t Unwrapped(int64_t FromU, int32_t From, int32_t To) {
    int64_t D = int64_t(To) - From;
    if (CrossesDateLine(To)) D += To < 0 ? OrvexUnits::Deg360 : -OrvexUnits::Deg360;
    return FromU + D;
}

// Calls Edge(AX, AY, BX, BY) for every edge of Obj's ring with unwrapped longitudes, the
// closing edge included; returns where the ring comes back to its first point, a whole
// turn away from it for a ring around a pole.
template <class F>
int64_t WalkRing(TOrvexObject& Obj, int32_t N, F&& Edge) {
    const TPoint3D First = Obj.GetPoint(0);
    TPoint3D Prev = First;
    int64_t U = First.X;
    CrossesDateLine(First.X);
    for (int32_t I = 1; I <= N; ++I) {
        const TPoint3D Q = I < N ? Obj.GetPoint(I) : First;
        const int64_t V = Unwrapped(U, Prev.X, Q.X);
        Edge(U, int64_t(Prev.Y), V, int64_t(Q.Y));
        U = V;
        Prev = Q;
    }
    return U;
}

}  // namespace

bool TPolygonPresenter::HitTest(TOrvexObject& Obj, const TPoint3D& Point) {
    const int32_t N = Obj.GetPointCount();
    if (Obj.ExtentHit(Point) == 0 || N == 0) return false;
    // The crossing test runs on the ring with unwrapped longitudes, so that its parts on
    // either side of the date line meet at the line itself. A ring around a pole comes back
    // a whole turn on; it is closed through the pole on the side of its mean latitude (the
    // south when that is 0), as the flat maps draw it.
    const int64_t Start = Obj.GetPoint(0).X;
    int64_t MinU = Start, MaxU = Start, LatSum = 0;
    const int64_t End = WalkRing(Obj, N, [&](int64_t, int64_t AY, int64_t BX, int64_t) {
        MinU = std::min(MinU, BX);
        MaxU = std::max(MaxU, BX);
        LatSum += AY;
    });
    const int64_t Pole = LatSum > 0 ? OrvexUnits::Deg90 : -OrvexUnits::Deg90;
    const int64_t PY = Point.Y;
    auto Inside = [&](int64_t PX) {
        bool Result = false;
        auto Edge = [&](int64_t AX, int64_t AY, int64_t BX, int64_t BY) {
            if ((BY <= PY && PY < AY) || (AY <= PY && PY < BY)) {
                // The products pass 32 bits for polygons a few degrees across.
                const long double X = BX + static_cast<long double>(PY - BY) * (AX - BX) / (AY - BY);
                if (PX < X) Result = !Result;
            }
        };
        WalkRing(Obj, N, Edge);
        if (End != Start) {
            const int64_t Y0 = Obj.GetPoint(0).Y;
            Edge(End, Y0, End, Pole);
            Edge(End, Pole, Start, Pole);
            Edge(Start, Pole, Start, Y0);
        }
        return Result;
    };
    // The point is tried at each of its longitudes, a turn apart, that the ring spans.
    int64_t PX = MinU + ((int64_t(Point.X) - MinU) % OrvexUnits::Deg360 + OrvexUnits::Deg360) % OrvexUnits::Deg360;
    for (int Turns = 0; PX <= MaxU && Turns < 3; ++Turns, PX += OrvexUnits::Deg360)
        if (Inside(PX)) return true;
    return false;
}

// Exactly this class, as for polylines.
bool TPolygonPresenter::KeepsChainBox() const { return typeid(*this) == typeid(TPolygonPresenter); }

void TPolygonPresenter::Render(TOrvexObject& Obj) {
    FPolygonPen->Apply(Obj.Selected());
    FPolygonBrush->Apply(Obj.Selected());
    if (View()) View()->PaintPolygon(&Obj);
}

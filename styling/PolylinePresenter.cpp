#include "styling/PolylinePresenter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <typeinfo>

#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "styling/OrvexAttributes.h"
#include "view/Orvex3.h"

const TClassInfo& TPolylinePresenter::StaticClassInfo() {
    using P = TPolylinePresenter;
    static const TClassInfo Info{
        "TPolylinePresenter",
        &TOrvexPresenter::StaticClassInfo(),
        [](TOrvexLayer* L) -> TOrvexPersistent* { return Create(L); },
        {
            MakeProp<P>("PolylinePen", TPropKind::Class, "TOrvexPen", [](const P& p) { return p.PolylinePen(); },
                        nullptr),
        }};
    return Info;
}

const TClassInfo& TPolylinePresenter::ClassInfo() const { return StaticClassInfo(); }

TPolylinePresenter::TPolylinePresenter(TOrvexLayer* Layer) : TOrvexPresenter(Layer) {
    FPolylinePen = TOrvexPen::Create(Layer);
}

TPolylinePresenter* TPolylinePresenter::Create(TOrvexLayer* Layer) { return new TPolylinePresenter(Layer); }

TPolylinePresenter::~TPolylinePresenter() { delete FPolylinePen; }

std::vector<TOrvexAttribute*> TPolylinePresenter::OwnedAttributes() const {
    auto A = TOrvexPresenter::OwnedAttributes();
    A.push_back(FPolylinePen);
    return A;
}

TPolylinePresenter* TPolylinePresenter::FindMatching(TOrvexLayer* Layer, const TOrvexPen* Pen,
                                                     const TOrvexFont* TitleFont) {
    if (!Layer) return nullptr;
    for (TOrvexPresenter* Candidate : Layer->Presenters()) {
        auto* P = dynamic_cast<TPolylinePresenter*>(Candidate);
        if (!P) continue;
        if (Pen && !P->FPolylinePen->IsEqual(Pen)) continue;
        if (TitleFont && !P->TitleFont()->IsEqual(TitleFont)) continue;
        return P;
    }
    return nullptr;
}

void TPolylinePresenter::CopyFrom(const TPersistent* Source) {
    TOrvexPresenter::CopyFrom(Source);
    if (const auto* S = dynamic_cast<const TPolylinePresenter*>(Source)) FPolylinePen->CopyFrom(S->FPolylinePen);
}

void TPolylinePresenter::SaveToStream(TOrvexStream& Stream) {
    TOrvexPresenter::SaveToStream(Stream);
    FPolylinePen->SaveToStream(Stream);
}

void TPolylinePresenter::LoadFromStream(TOrvexStream& Stream) {
    TOrvexPresenter::LoadFromStream(Stream);
    FPolylinePen->LoadFromStream(Stream);
}

bool TPolylinePresenter::HitTest(TOrvexObject& Obj, const TPoint3D& Point) {
    if (Obj.ExtentHit(Point) <= 0) return false;
    const long double Scale = View() ? View()->GetScaleFactor() : 0;
    // OrvexUnits per pixel: the tolerance.
    const int64_t T = RoundSaturate(Scale > 0 ? 1.0L / Scale : std::numeric_limits<int32_t>::max());
    const int64_t PY = Point.Y;
    auto OnSegment = [&](int64_t AX, int64_t AY, int64_t CX, int64_t CY, int64_t PX) {
        if (PX < std::min(AX, CX) - T || PX > std::max(AX, CX) + T) return false;
        if (PY < std::min(AY, CY) - T || PY > std::max(AY, CY) + T) return false;
        // Slopes from A to P and from P to C, as whole numbers.
        const int64_t S1 = AX == PX ? 0 : (PY - AY) / (PX - AX);
        const int64_t S2 = CX == PX ? 0 : (CY - PY) / (CX - PX);
        return std::llabs(S1 - S2) < T;
    };
    const int32_t N = Obj.GetPointCount();
    for (int32_t I = 1; I < N; ++I) {
        const TPoint3D A = Obj.GetPoint(I - 1), C = Obj.GetPoint(I);
        // A segment across the date line (by the rule that splits chains when drawing) runs
        // on past 180 degrees; the point is tested there too, a turn away, so that both
        // parts reach the line itself.
        CrossesDateLine(A.X);
        int64_t CX = C.X, Turn = 0;
        if (CrossesDateLine(C.X)) {
            Turn = C.X < 0 ? OrvexUnits::Deg360 : -OrvexUnits::Deg360;
            CX += Turn;
        }
        if (OnSegment(A.X, A.Y, CX, C.Y, Point.X) || (Turn != 0 && OnSegment(A.X, A.Y, CX, C.Y, Point.X + Turn)))
            return true;
    }
    return false;
}

// Exactly this class: a subclass may adjust boxes for the scale.
bool TPolylinePresenter::KeepsChainBox() const { return typeid(*this) == typeid(TPolylinePresenter); }

void TPolylinePresenter::Render(TOrvexObject& Obj) {
    FPolylinePen->Apply(Obj.Selected());
    if (View()) View()->PaintPolyline(&Obj);
}

#include "styling/PolylinePresenter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

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
    const int64_t PX = Point.X, PY = Point.Y;
    const int32_t N = Obj.GetPointCount();
    for (int32_t I = 1; I < N; ++I) {
        const TPoint3D A = Obj.GetPoint(I - 1), C = Obj.GetPoint(I);
        if (PX < int64_t(std::min(A.X, C.X)) - T || PX > int64_t(std::max(A.X, C.X)) + T) continue;
        if (PY < int64_t(std::min(A.Y, C.Y)) - T || PY > int64_t(std::max(A.Y, C.Y)) + T) continue;
        // Slopes from A to P and from P to C, as whole numbers.
        const int64_t S1 = A.X == PX ? 0 : (PY - A.Y) / (PX - A.X);
        const int64_t S2 = C.X == PX ? 0 : (C.Y - PY) / (C.X - PX);
        if (std::llabs(S1 - S2) < T) return true;
    }
    return false;
}

void TPolylinePresenter::Render(TOrvexObject& Obj) {
    FPolylinePen->Apply(Obj.Selected());
    if (View()) View()->PaintPolyline(&Obj);
}

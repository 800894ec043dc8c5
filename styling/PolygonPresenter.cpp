#include "styling/PolygonPresenter.h"

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

bool TPolygonPresenter::HitTest(TOrvexObject& Obj, const TPoint3D& Point) {
    const int W = Obj.ExtentHit(Point);
    const int32_t N = Obj.GetPointCount();
    if (W == 0 || N == 0) return false;
    // W 1: Point is on the wrapped (western) side of the date line, W 2 on the eastern
    // side; points on the other side take no part.
    TPoint3D Prev = Obj.GetPoint(0);
    for (int32_t I = N - 1; I >= 0; --I) {
        const TPoint3D Q = Obj.GetPoint(I);
        if ((W == 1 && Q.X >= 0) || (W == 2 && Q.X < 1)) continue;
        Prev = Q;
        break;
    }
    const int64_t PX = Point.X, PY = Point.Y;
    bool Result = false;
    for (int32_t I = 0; I < N; ++I) {
        const TPoint3D Q = Obj.GetPoint(I);
        if (W != 3 && ((W == 1 && Q.X > 0) || (W == 2 && Q.X < 0))) continue;
        if ((Q.Y <= PY && PY < Prev.Y) || (Prev.Y <= PY && PY < Q.Y)) {
            // The products pass 32 bits for polygons a few degrees across.
            const long double X = Q.X + static_cast<long double>(PY - Q.Y) * (int64_t(Prev.X) - Q.X) /
                                            (int64_t(Prev.Y) - Q.Y);
            if (PX < X) Result = !Result;
        }
        Prev = Q;
    }
    return Result;
}

void TPolygonPresenter::Render(TOrvexObject& Obj) {
    FPolygonPen->Apply(Obj.Selected());
    FPolygonBrush->Apply(Obj.Selected());
    if (View()) View()->PaintPolygon(&Obj);
}

#include "styling/PointPresenter.h"

#include <QFileInfo>
#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <typeinfo>

#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "model/OrvexStream.h"
#include "platform/FilePaths.h"
#include "platform/Pictures.h"
#include "platform/PointBuffer.h"
#include "platform/Text.h"
#include "projections/PrjModel.h"
#include "styling/OrvexAttributes.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"

namespace {

const std::vector<std::string> PointTypeNames{"ppNone",         "ppFontSymbol",   "ppImage",       "ppDot",
                                              "ppCircle",       "ppSquare",       "ppDiamond",     "ppTriangleUp",
                                              "ppTriangleDown", "ppTriangleLeft", "ppTriangleRight"};
const std::vector<std::string> UnitValueNames{
    "Degree", "Minute",     "NauticalMile", "Kilometer", "Mile", "Second", "Third",     "Hundreth",
    "Thousanth", "Meter", "CentiMeter",   "Yard",      "Foot", "Inch",   "OrvexUnit", "Pixel"};

TPointPresenterType CheckedPointType(int64_t V) {
    if (V < ppNone || V > ppTriangleRight) throw EOrvexException(Format("Invalid point type %lld", (long long)V));
    return static_cast<TPointPresenterType>(V);
}

TOrvexUnits CheckedPointUnit(int64_t V) {
    if (V < 0 || V >= OrvexUnitsCount) throw EOrvexException(Format("Invalid point unit %lld", (long long)V));
    return static_cast<TOrvexUnits>(V);
}

}  // namespace

const TClassInfo& TPointPresenter::StaticClassInfo() {
    using P = TPointPresenter;
    static const TClassInfo Info{
        "TPointPresenter",
        &TOrvexPresenter::StaticClassInfo(),
        [](TOrvexLayer* L) -> TOrvexPersistent* { return Create(L); },
        {
            MakeProp<P>("PointPen", TPropKind::Class, "TOrvexPen", [](const P& p) { return p.PointPen(); }, nullptr),
            MakeProp<P>("PointBrush", TPropKind::Class, "TOrvexBrush", [](const P& p) { return p.PointBrush(); },
                        nullptr),
            MakeProp<P>("PointFont", TPropKind::Class, "TOrvexFont", [](const P& p) { return p.PointFont(); },
                        nullptr),
            MakeProp<P>("SymbolIndex", TPropKind::Integer, "Smallint", [](const P& p) { return p.SymbolIndex(); },
                        [](P& p, int16_t v) { p.SetSymbolIndex(v); }),
            MakeProp<P>(
                "PointType", TPropKind::Enumeration, "TPointPresenterType", [](const P& p) { return p.PointType(); },
                [](P& p, int64_t v) { p.SetPointType(CheckedPointType(v)); }, PointTypeNames),
            MakeProp<P>(
                "PointUnit", TPropKind::Enumeration, "TOrvexUnits", [](const P& p) { return p.PointUnit(); },
                [](P& p, int64_t v) { p.SetPointUnit(CheckedPointUnit(v)); }, UnitValueNames),
            MakeProp<P>("PointSize", TPropKind::Integer, "Integer", [](const P& p) { return p.PointSize(); },
                        [](P& p, int32_t v) { p.SetPointSize(v); }),
            MakeProp<P>("MaxPointSize", TPropKind::Integer, "Integer", [](const P& p) { return p.MaxPointSize(); },
                        [](P& p, int32_t v) { p.SetMaxPointSize(v); }),
            // The picture is set in code or loaded through ImageName; it has no inspectable
            // properties of its own, so the inspector shows only its type.
            MakeProp<P>("Image", TPropKind::Class, "TPicture",
                        [](const P&) { return static_cast<TPersistent*>(nullptr); }, nullptr),
            MakeProp<P>("ImageName", TPropKind::String, "String", [](const P& p) { return p.ImageName(); },
                        [](P& p, std::string v) { p.SetImageName(v); }),
        }};
    return Info;
}

const TClassInfo& TPointPresenter::ClassInfo() const { return StaticClassInfo(); }

TPointPresenter::TPointPresenter(TOrvexLayer* Layer) : TOrvexPresenter(Layer) {
    FPointPen = TOrvexPen::Create(Layer);
    FPointBrush = TOrvexBrush::Create(Layer);
    FPointFont = TOrvexFont::Create(Layer);
    SetImageName("");
}

TPointPresenter* TPointPresenter::Create(TOrvexLayer* Layer) { return new TPointPresenter(Layer); }

TPointPresenter::~TPointPresenter() {
    delete FPointPen;
    delete FPointBrush;
    delete FPointFont;
}

std::vector<TOrvexAttribute*> TPointPresenter::OwnedAttributes() const {
    auto A = TOrvexPresenter::OwnedAttributes();
    A.insert(A.end(), {FPointPen, FPointBrush, FPointFont});
    return A;
}

void TPointPresenter::InvalidateUsers() {
    if (!Layer()) return;
    for (TOrvexObject* O : Layer()->Objects())
        if (O->Presenter() == this) O->ExcludeState(osExtentsValid);
}

void TPointPresenter::SetPointUnit(TOrvexUnits V) {
    if (V == FPointUnit) return;
    FPointUnit = V;
    if (FPointType == ppFontSymbol) FPointFont->SetFontUnit(V);
    InvalidateUsers();
}

void TPointPresenter::SetPointSize(int32_t V) {
    if (V == FPointSize) return;
    FPointSize = V;
    if (FPointType == ppFontSymbol) FPointFont->SetFontSize(V);
    InvalidateUsers();
    if (View()) View()->RequestRender();
}

void TPointPresenter::SetMaxPointSize(int32_t V) {
    if (V == FMaxPointSize) return;
    FMaxPointSize = V;
    InvalidateUsers();
    if (View()) View()->RequestRender();
}

void TPointPresenter::DropImage() {
    FOwnedImage.reset();
    FImage = nullptr;
    FImageSize = {};
    FImageName.clear();
}

void TPointPresenter::SetImage(QImage* Picture, TPictureSize Size) {
    DropImage();
    FImage = Picture;
    FImageSize = Size;
}

void TPointPresenter::SetImageName(const std::string& Name) {
    const QString Path = PathToQString(NativePath(Name));
    if (Name.empty() || !QFileInfo(Path).isFile()) {
        DropImage();
        return;
    }
    if (!CanOpenPictures()) {
        // Kept by name, for a program that reads and writes layers without drawing them.
        DropImage();
        FImageName = Name;
        return;
    }
    TPictureFile Loaded;
    if (!OpenPictureFile(NativePath(Name), Loaded))
        throw EInvalidGraphic(Format("Cannot read the picture %s", Name.c_str()));
    // A borrowed picture belongs to someone else: the file goes into a picture of our own,
    // the one already held if there is one (whoever shows it keeps a valid picture).
    if (FOwnedImage && FImage == FOwnedImage.get())
        FOwnedImage->swap(*Loaded.Image);
    else
        FOwnedImage = std::move(Loaded.Image);
    FImage = FOwnedImage.get();
    FImageSize = Loaded.Size;
    FImageName = Name;
    // The extent of a picture symbol follows the picture's proportions.
    InvalidateUsers();
    if (View()) View()->RequestRender();
}

int32_t TPointPresenter::SymbolPixelSize() const {
    const TOrvex3* V = View();
    if (!V) return FPointUnit == Pixel ? FPointSize : 0;
    int32_t S = V->UnitsToPixels(FPointSize, FPointUnit);
    if (FMaxPointSize != 0) S = std::min(S, ScreenToSurfacePixels(V, FMaxPointSize));
    return S;
}

TPointPresenter* TPointPresenter::FindMatching(TOrvexLayer* Layer, const TOrvexPen* Pen, const std::string& ImageName,
                                               int32_t PointSize, TOrvexUnits PointUnit,
                                               TPointPresenterType PointType, const TOrvexFont* TitleFont,
                                               const TOrvexFont* Font, const TOrvexBrush* Brush) {
    if (!Layer) return nullptr;
    for (TOrvexPresenter* Candidate : Layer->Presenters()) {
        auto* P = dynamic_cast<TPointPresenter*>(Candidate);
        if (!P) continue;
        if (Pen && !P->FPointPen->IsEqual(Pen)) continue;
        if (Brush && !P->FPointBrush->IsEqual(Brush)) continue;
        if (Font && !P->FPointFont->IsEqual(Font)) continue;
        if (TitleFont && !P->TitleFont()->IsEqual(TitleFont)) continue;
        if (P->FPointType == PointType && P->FPointUnit == PointUnit && P->FPointSize == PointSize &&
            P->FImageName == ImageName)
            return P;
    }
    return nullptr;
}

void TPointPresenter::CopyFrom(const TPersistent* Source) {
    TOrvexPresenter::CopyFrom(Source);
    const auto* S = dynamic_cast<const TPointPresenter*>(Source);
    if (!S) return;
    FPointType = S->FPointType;
    SetPointUnit(S->FPointUnit);
    SetPointSize(S->FPointSize);
    SetMaxPointSize(S->FMaxPointSize);
    FSymbolIndex = S->FSymbolIndex;
    SetImageName(S->FImageName);
    FPointPen->CopyFrom(S->FPointPen);
    FPointBrush->CopyFrom(S->FPointBrush);
    FPointFont->CopyFrom(S->FPointFont);
}

void TPointPresenter::SaveToStream(TOrvexStream& Stream) {
    TOrvexPresenter::SaveToStream(Stream);
    Stream.WriteUInt8(FPointType);
    Stream.WriteUInt8(FPointUnit);
    // A negative size announces the cap that follows, so a cap is only written with a
    // size it can be told from; a size of 0 draws nothing whatever the cap.
    if (FMaxPointSize > 0 && FPointSize != 0) {
        Stream.WriteInt32(FPointSize > 0 ? -FPointSize : FPointSize);
        Stream.WriteInt32(FMaxPointSize);
    } else {
        Stream.WriteInt32(SaturateInt32(std::llabs(int64_t(FPointSize))));
    }
    Stream.WriteInt16(FSymbolIndex);
    Stream.WriteShortString(FImageName);
    FPointPen->SaveToStream(Stream);
    FPointBrush->SaveToStream(Stream);
    FPointFont->SaveToStream(Stream);
}

void TPointPresenter::LoadFromStream(TOrvexStream& Stream) {
    TOrvexPresenter::LoadFromStream(Stream);
    const TPointPresenterType Type = CheckedPointType(Stream.ReadUInt8());
    const TOrvexUnits Unit = CheckedPointUnit(Stream.ReadUInt8());
    const int32_t S = Stream.ReadInt32();
    FPointType = Type;
    FPointUnit = Unit;
    FPointSize = SaturateInt32(std::llabs(int64_t(S)));
    if (S < 0) FMaxPointSize = Stream.ReadInt32();
    FSymbolIndex = Stream.ReadInt16();
    const std::string Name = Stream.ReadShortString();
    if (!Name.empty()) SetImageName(Name);
    FPointPen->LoadFromStream(Stream);
    FPointBrush->LoadFromStream(Stream);
    FPointFont->LoadFromStream(Stream);
    InvalidateUsers();
}

void TPointPresenter::AdjustExtents(TOrvexObject& Obj) {
    TOrvex3* V = View();
    const long double Scale = V ? V->GetScaleFactor() : 0;
    if (Obj.GetPointCount() == 1 && Scale > 0) {
        const TPoint3D P = Obj.GetPoint(0);
        int64_t A = V->UnitsToOrvexUnits(FPointSize, FPointUnit);
        if (FMaxPointSize != 0) {
            const int32_t M = ScreenToSurfacePixels(V, FMaxPointSize);
            A = std::min<int64_t>(A, RoundSaturate(M / Scale));
        }
        const int64_t B = A / 2;
        TExtent E{SaturateInt32(int64_t(P.X) - B), SaturateInt32(int64_t(P.Y) - B), SaturateInt32(2 * B),
                  SaturateInt32(2 * B)};
        if (FPointType == ppImage && FImage && FImageSize.Width > 0) {
            const int64_t C = RoundSaturate(static_cast<long double>(FImageSize.Height) * B / FImageSize.Width);
            E = TExtent{E.Left, SaturateInt32(int64_t(P.Y) - C), E.Width, SaturateInt32(2 * C)};
        }
        if (FPointType == ppNone && TitleAlignment() != taNone && V->Canvas()) {
            TitleFont()->Apply(false);
            int W = 0, H = 0;
            V->Canvas()->DC()->GetTextExtentPoint(Obj.Title(), W, H);
            E.Width = RoundSaturate(W / Scale);
            E.Height = RoundSaturate(H / Scale);
        }
        Obj.SetExtents(E);
    }
    TOrvexPresenter::AdjustExtents(Obj);
}

// Chains get the base adjustment; exactly this class, as for polylines.
bool TPointPresenter::KeepsChainBox() const { return typeid(*this) == typeid(TPointPresenter); }

void TPointPresenter::Render(TOrvexObject& Obj) {
    TOrvex3* V = View();
    if (!V || !V->Canvas() || !V->ProjectionModel() || !PointBuffer) return;
    const bool Selected = Obj.Selected();
    FPointPen->Apply(Selected);
    FPointBrush->Apply(Selected);
    TDeviceContext* DC = V->Canvas()->DC();
    const int64_t D = SymbolPixelSize() / 2;
    const int32_t N = Obj.GetPointCount();
    for (int32_t I = 0; I < N; ++I) {
        if (!V->ProjectionModel()->PointToXY(Obj.GetPoint(I), 0)) continue;
        const int64_t X = PointBuffer[0].X, Y = PointBuffer[0].Y;
        const int32_t Left = SaturateInt32(X - D), Right = SaturateInt32(X + D);
        const int32_t Top = SaturateInt32(Y - D), Bottom = SaturateInt32(Y + D);
        const int32_t X32 = SaturateInt32(X), Y32 = SaturateInt32(Y);
        auto Shape = [&](std::initializer_list<TPixelPoint> Points) {
            int K = 0;
            for (const TPixelPoint& Q : Points) PointBuffer[K++] = Q;
            DC->Polygon(PointBuffer, K);
        };
        switch (FPointType) {
            case ppNone:
                break;
            case ppFontSymbol: {
                FPointFont->Apply(Selected);
                // Below the minimum text height there is no font of ours to draw with.
                if (!FPointFont->HasHandle()) break;
                const std::string Text(1, static_cast<char>(static_cast<uint8_t>(FSymbolIndex)));
                int W = 0, H = 0;
                DC->GetTextExtentPoint(Text, W, H);
                const long double HW = W / 2, HH = H / 2;
                const long double A = static_cast<long double>(-int64_t(FPointFont->FontAngle()) / 10) * OrvexPi / 180;
                const long double C = std::cos(A), S = std::sin(A);
                DC->TextOut(SaturateInt32(X - static_cast<int64_t>(std::trunc(HW * C - HH * S))),
                            SaturateInt32(Y - static_cast<int64_t>(std::trunc(HW * S + HH * C))), Text);
                break;
            }
            case ppImage:
                if (FImage && FImageSize.Width > 0) {
                    const int64_t E = RoundSaturate(static_cast<long double>(FImageSize.Height) * D / FImageSize.Width);
                    DC->DrawPicture(*FImage, Left, SaturateInt32(Y - E), Right, SaturateInt32(Y + E));
                }
                break;
            case ppDot:
                DC->SetPixel(X32, Y32, FPointPen->PenColor());
                break;
            case ppCircle:
                DC->Ellipse(Left, Top, Right, Bottom);
                break;
            case ppSquare:
                DC->Rectangle(Left, Top, Right, Bottom);
                break;
            case ppDiamond:
                Shape({{X32, Top}, {Right, Y32}, {X32, Bottom}, {Left, Y32}});
                break;
            case ppTriangleUp:
                Shape({{Right, Bottom}, {X32, Top}, {Left, Bottom}});
                break;
            case ppTriangleDown:
                Shape({{Left, Top}, {X32, Bottom}, {Right, Top}});
                break;
            case ppTriangleLeft:
                Shape({{Right, Bottom}, {Left, Y32}, {Right, Top}});
                break;
            case ppTriangleRight:
                Shape({{Left, Top}, {Right, Y32}, {Left, Bottom}});
                break;
        }
    }
}

#include "view/Orvex3.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "model/ClassRegistry.h"
#include "model/StandardClasses.h"
#include "platform/ClipCode.h"
#include "platform/IniFile.h"
#include "platform/Pictures.h"
#include "platform/Screen.h"
#include "platform/UiServices.h"
#include "styling/OrvexAttributes.h"
#include "styling/PointPresenter.h"
#include "styling/PolygonPresenter.h"
#include "styling/PolylinePresenter.h"

#include "model/BitmapObject.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "projections/PrjModel.h"
#include "projections/PrjRegistry.h"
#include "view/OrvexCanvas.h"

namespace {
int LiveViews = 0;
}  // namespace

int32_t TOrvex3::ScreenPixelsPerInch() { return ::ScreenPixelsPerInch(); }

TOrvex3::TOrvex3(QWidget* Parent) : QWidget(Parent) {
    if (LiveViews++ == 0) ReadScreenPixelsPerInch();
    // A view lives in a window system: its questions go to message boxes unless a program
    // installed other services.
    UseWindowUiServices();
    UsePictureFiles();
    AcquirePointBuffer();
    FCanvas = std::make_unique<TOrvexCanvas>(this);
    // Made directly, not through SetProjectionModel: there is no earlier view to keep.
    FProjection.reset(ProjectionOfKind(opSpherical).Create(this));
    FProjectionKind = opSpherical;
    // The window is 150 x 150 pixels inside its scroll bars; the surface is as many at ratio 1.
    CreateScrollBars();
    const qreal Ratio = WindowRatio();
    SetSurfaceSize(RoundSaturate(FCanvas->Width() * static_cast<long double>(Ratio)),
                   RoundSaturate(FCanvas->Height() * static_cast<long double>(Ratio)));
    // Clicking the map gives it the keys; Tab reaches it too.
    setFocusPolicy(Qt::StrongFocus);
    FClassRegistry = std::make_unique<TOrvexClassRegistry>();
    for (const TClassInfo* C : StandardLayerClasses()) RegisterOrvexClass(*C);
    for (TPen* P : {&FSelectedPen, &FTransparentPen, &FGridPen}) P->OnChange = [this] { RequestRender(); };
    for (TBrush* B : {&FSelectedBrush, &FTransparentBrush}) B->OnChange = [this] { RequestRender(); };
    // The global layer is made like any other, then taken out of the drawing list.
    FGlobalLayer = AddLayer("GlobalLayer");
    FLayers.clear();
    FDefaultPen = TOrvexPen::CreateDetached(0, psSolid, 1);
    FDefaultBrush = TOrvexBrush::CreateDetached(16777215, bsSolid);
    FSymbolFont = TOrvexFont::CreateDetached("WingDings", 0, Pixel, 9, 0, 0);
    FTitleFont = TOrvexFont::CreateDetached("Arial", 0, Pixel, 9, 0, 0);
    Clear();
    // Nothing has been drawn yet.
    ScaleChanged = true;
    RequestRender();
}

TOrvex3::~TOrvex3() {
    FDestroying = true;
    Clear();
    delete FGlobalLayer;
    FGlobalLayer = nullptr;
    delete FDefaultPen;
    delete FDefaultBrush;
    delete FSymbolFont;
    delete FTitleFont;
    FTempChain.reset();
    FEast.reset();
    FWest.reset();
    FProjection.reset();
    FCanvas.reset();
    FClassRegistry.reset();
    FProfile.reset();
    --LiveViews;
    ReleasePointBuffer();
}

TOrvexLayer* TOrvex3::GetLayer(int32_t Index) const {
    if (Index < 0 || Index >= LayerCount()) throw EOrvexException(Format("TOrvex3.GetLayer: Bad layer index %d", Index));
    return FLayers[Index];
}

TOrvexLayer* TOrvex3::AddLayer(const std::string& Name) {
    auto* L = new TOrvexLayer(this);
    L->SetName(Name);
    return L;
}

void TOrvex3::Clear() {
    SelectObject(nullptr);
    FProfile.reset();
    while (!FLayers.empty()) delete FLayers.back();
    if (FGlobalLayer) {
        // The global layer is not in the list, so its destructor-side bookkeeping does not
        // apply; reset it in place.
        FGlobalLayer->Reset();
        if (!FDestroying) AddGlobalPresenters(FGlobalLayer);
    }
}

void TOrvex3::SelectObject(TOrvexObject* Obj) {
    TOrvexObject* Previous = SelectedObject();
    if (Obj == Previous) return;
    if (!FDestroying && Previous && OnDeSelected) OnDeSelected(this, Previous);
    // From a copy: an object that fails to leave the list must not stall the loop.
    const std::vector<TOrvexObject*> Selected = FSelection;
    for (auto It = Selected.rbegin(); It != Selected.rend(); ++It) (*It)->SetSelected(false);
    FSelection.clear();
    if (Obj) Obj->SetSelected(true);
    if (!FDestroying && OnSelected) OnSelected(this, Obj);
}

TOrvexObject* TOrvex3::ObjectAtXY(int32_t X, int32_t Y) {
    // By index, checked each step: a layer may load or clear itself while it is asked.
    for (size_t I = FLayers.size(); I-- > 0;) {
        if (I >= FLayers.size()) continue;
        TOrvexLayer* L = FLayers[I];
        if (!L->Enabled() || !L->Visible()) continue;
        if (TOrvexObject* O = L->ObjectAtXY(X, Y)) return O;
    }
    return nullptr;
}

TOrvexObject* TOrvex3::ObjectAtLatLong(int32_t Longitude, int32_t Latitude) {
    for (size_t I = FLayers.size(); I-- > 0;) {
        if (I >= FLayers.size()) continue;
        if (TOrvexObject* O = FLayers[I]->ObjectAtLatLong(Longitude, Latitude)) return O;
    }
    return nullptr;
}

template <class TFind>
TOrvexObject* TOrvex3::FindForward(const TOrvexObject* After, TFind Found) {
    size_t First = 0;
    if (After) {
        const auto It = std::find(FLayers.begin(), FLayers.end(), After->Layer());
        // An object of no listed layer (the global layer, another view) is no place to
        // continue from: the search starts at the beginning.
        if (It == FLayers.end())
            After = nullptr;
        else
            First = size_t(It - FLayers.begin());
    }
    for (size_t I = First; I < FLayers.size(); ++I)
        if (TOrvexObject* O = Found(*FLayers[I], I == First ? After : nullptr)) return O;
    return nullptr;
}

TOrvexObject* TOrvex3::FindObjectByTitle(const std::string& Title, const TOrvexObject* After) {
    return FindForward(After,
                       [&](const TOrvexLayer& L, const TOrvexObject* A) { return L.FindObjectByTitle(Title, A); });
}

TOrvexObject* TOrvex3::FindObjectByID(int32_t ID, const TOrvexObject* After) {
    return FindForward(After, [&](const TOrvexLayer& L, const TOrvexObject* A) { return L.FindObjectByID(ID, A); });
}

void TOrvex3::RequestRender() {
    RedrawPending = true;
    update();
}

void TOrvex3::RequestRepaint() { update(); }

long double TOrvex3::GetScaleFactor() const { return FProjection ? FProjection->ScaleFactor() : 0; }

bool TOrvex3::ComputeClipCode(int32_t Count, uint8_t& ClipCode) const {
    return PointBufferClipCode(Count, FCanvas->Width(), FCanvas->Height(), ClipCode);
}

bool TOrvex3::Progress(int MsgType, const std::string& MsgText) {
    bool Abort = false;
    if (OnProgress) OnProgress(this, MsgType, MsgText, Abort);
    return Abort;
}

void TOrvex3::SetMinTextHeight(int32_t Value) {
    if (Value == FMinTextHeight) return;
    FMinTextHeight = Value;
    RequestRender();
}

int32_t TOrvex3::EffectiveMinTextHeight() const {
    const int64_t Num = int64_t(FMinTextHeight) * FCanvas->PixelsPerInch();
    return RoundSaturate(static_cast<long double>(Num) / ScreenPixelsPerInch());
}

int32_t TOrvex3::UnitsToOrvexUnits(long double Value, TOrvexUnits Units) const {
    long double R;
    if (Units == Pixel) {
        const long double Scale = GetScaleFactor();
        R = Scale > 0 ? Value / Scale : std::numeric_limits<long double>::infinity();
    } else {
        R = Value * UnitFactor(Units);
    }
    // A result outside the 32-bit range falls back to the value itself.
    int32_t Result;
    return RoundInRange(R, Result) ? Result : RoundSaturate(Value);
}

int32_t TOrvex3::UnitsToPixels(long double Value, TOrvexUnits Units) const {
    if (Units == Pixel) return RoundSaturate(Value);
    return RoundSaturate(UnitsToOrvexUnits(Value, Units) * GetScaleFactor());
}

bool TOrvex3::PixelToLL(int32_t X, int32_t Y, TPoint3D& Point) const {
    if (PointBuffer && FProjection && FProjection->XYToLL(X, Y, 0)) {
        Point = TPoint3D{NormalizeLongitude(PointBuffer[0].X), PointBuffer[0].Y, 0};
        return true;
    }
    Point = TPoint3D{-OrvexUnits::Deg180, OrvexUnits::Deg180, 0};
    return false;
}

void TOrvex3::SetProfile(std::unique_ptr<TIniFile> Profile) { FProfile = std::move(Profile); }


void TOrvex3::RegisterOrvexClass(const TClassInfo& Class) { FClassRegistry->Register(Class); }

void TOrvex3::SetLongitudeStep(int32_t Value) {
    if (Value < 0 || Value >= 180 || Value == FLongitudeStep) return;
    FLongitudeStep = Value;
    RequestRender();
}

void TOrvex3::SetLatitudeStep(int32_t Value) {
    if (Value < 0 || Value >= 90 || Value == FLatitudeStep) return;
    FLatitudeStep = Value;
    RequestRender();
}

int32_t TOrvex3::Distance(const TPoint3D& P1, const TPoint3D& P2) const {
    if (P1.X == P2.X && P1.Y == P2.Y) return 0;
    const TSpheroidParams& S = SpheroidParams(FSpheroid);
    const long double A = S.SemiMajorAxis, F = S.Flattening;
    constexpr long double K = 3.2320912073969064e-9L;  // radians per OrvexUnit
    const long double L = (static_cast<long double>(P2.X) - P1.X) * K;
    const long double TanU1 = (1 - F) * std::tan(P1.Y * K), TanU2 = (1 - F) * std::tan(P2.Y * K);
    const long double CosU1 = 1 / std::sqrt(1 + TanU1 * TanU1), SinU1 = TanU1 * CosU1;
    const long double CosU2 = 1 / std::sqrt(1 + TanU2 * TanU2), SinU2 = TanU2 * CosU2;
    long double Lambda = L, SinSigma = 0, CosSigma = 1, Sigma = 0, Cos2Alpha = 1, Cos2SigmaM = 0;
    // Converges in a handful of steps except near antipodes, where the bound stops it.
    for (int Iteration = 0; Iteration < 200; ++Iteration) {
        const long double SinL = std::sin(Lambda), CosL = std::cos(Lambda);
        const long double T1 = CosU2 * SinL, T2 = CosU1 * SinU2 - SinU1 * CosU2 * CosL;
        SinSigma = std::sqrt(T1 * T1 + T2 * T2);
        if (SinSigma == 0) return 0;
        CosSigma = SinU1 * SinU2 + CosU1 * CosU2 * CosL;
        Sigma = std::atan2(SinSigma, CosSigma);
        const long double SinAlpha = CosU1 * CosU2 * SinL / SinSigma;
        Cos2Alpha = 1 - SinAlpha * SinAlpha;
        Cos2SigmaM = Cos2Alpha != 0 ? CosSigma - 2 * SinU1 * SinU2 / Cos2Alpha : 0;
        const long double C = F / 16 * Cos2Alpha * (4 + F * (4 - 3 * Cos2Alpha));
        const long double Previous = Lambda;
        Lambda = L + (1 - C) * F * SinAlpha *
                         (Sigma + C * SinSigma * (Cos2SigmaM + C * CosSigma * (-1 + 2 * Cos2SigmaM * Cos2SigmaM)));
        if (std::fabs(Lambda - Previous) < 1e-15L) break;
    }
    const long double U2 = Cos2Alpha * (1 / ((1 - F) * (1 - F)) - 1);
    const long double Root = std::sqrt(1 + U2);
    const long double K1 = (Root - 1) / (Root + 1);
    const long double AA = (1 + K1 * K1 / 4) / (1 - K1);
    const long double B = K1 * (1 - 3 * K1 * K1 / 8);
    const long double DeltaSigma =
        B * SinSigma *
        (Cos2SigmaM + B / 4 *
                          (CosSigma * (2 * Cos2SigmaM * Cos2SigmaM - 1) -
                           B / 6 * Cos2SigmaM * (4 * SinSigma * SinSigma - 3) * (4 * Cos2SigmaM * Cos2SigmaM - 3)));
    const long double R = A * (1 - F) * AA * (Sigma - DeltaSigma);
    // A sum that did not converge counts as the longest distance, not as none.
    return std::isnan(R) ? std::numeric_limits<int32_t>::max() : RoundSaturate(R);
}

#pragma once
// A view with a simple flat projection and a presenter class that records its calls,
// for testing objects and layers without the drawing pipeline.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "projections/PrjModel.h"
#include "styling/OrvexPresenter.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"

// Pixel = origin + OrvexUnits * scale, y up; places every point; the extent test
// projects the four corners.
class TFlatTestPrj : public TPrjModel {
public:
    explicit TFlatTestPrj(TOrvex3* View) : TPrjModel(View) { FXOrigin = FYOrigin = 75; }
    bool PointToXY(const TPoint3D& P, int32_t Index) override {
        ++PointCalls;
        // Truncated like a cast, saturated at any zoom.
        PointBuffer[Index] = TPixelPoint{RoundSaturate(std::trunc(FXOrigin + P.X * FScaleFactor)),
                                         RoundSaturate(std::trunc(FYOrigin - P.Y * FScaleFactor))};
        return !HideEverything;
    }
    bool XYToLL(int32_t X, int32_t Y, int32_t Index) override {
        PointBuffer[Index] = TPixelPoint{RoundSaturate(std::trunc((X - FXOrigin) / FScaleFactor)),
                                         RoundSaturate(std::trunc((FYOrigin - Y) / FScaleFactor))};
        return true;
    }
    bool IsExtentVisible(const TExtent& E, TOrvexObject* Obj, uint8_t& ClipCode) override {
        // Layers are always in view; objects as ExtentAnswer says.
        ClipCode = 0;
        if (!Obj) return true;
        ++ExtentCalls;
        LastExtent = E;
        Obj->IncludeState(osFrontSide);
        return ExtentAnswer;
    }
    int PointCalls = 0;
    int ExtentCalls = 0;
    bool HideEverything = false;
    bool ExtentAnswer = true;
    TExtent LastExtent;
};

class TTestView : public TOrvex3 {
public:
    TTestView() {
        Prj = new TFlatTestPrj(this);
        SetProjectionModel(Prj);
    }
    void ForceAltitude(int32_t A) { FAltitude = A; }
    void SetScale(long double S) { Prj->ApplyScaleFactor(S); }
    void CopySurfaceToWindow() override { ++SurfaceCopies; }
    int SurfaceCopies = 0;
    TFlatTestPrj* Prj;
};

class TTestPresenter : public TOrvexPresenter {
    ORVEX_CLASS_INFO
public:
    static TTestPresenter* Create(TOrvexLayer* Layer) { return new TTestPresenter(Layer); }
    void Render(TOrvexObject& Obj) override {
        Rendered.push_back(&Obj);
        if (TitleLog) TitleLog->push_back(Obj.Title());
    }
    bool Accepts(const TOrvexObject& Obj) const override { return !RejectAll && TOrvexPresenter::Accepts(Obj); }
    bool HitTest(TOrvexObject& Obj, const TPoint3D& P) override {
        ++HitTests;
        return HitAnswer < 0 ? TOrvexPresenter::HitTest(Obj, P) : HitAnswer != 0;
    }
    void AdjustExtents(TOrvexObject& Obj) override {
        ++Adjusts;
        TOrvexPresenter::AdjustExtents(Obj);
    }
    std::vector<TOrvexObject*> Rendered;
    // Titles of the objects drawn, kept outside the presenter so that they outlive it.
    std::vector<std::string>* TitleLog = nullptr;
    bool RejectAll = false;
    int HitAnswer = -1;  // -1: base extent test
    int HitTests = 0;
    int Adjusts = 0;

protected:
    friend class TOrvexPresenter;
    explicit TTestPresenter(TOrvexLayer* Layer) : TOrvexPresenter(Layer) {}
};

inline const TClassInfo& TTestPresenter::StaticClassInfo() {
    static const TClassInfo Info{"TTestPresenter", &TOrvexPresenter::StaticClassInfo(),
                                 [](TOrvexLayer* L) -> TOrvexPersistent* { return Create(L); },
                                 {}};
    return Info;
}
inline const TClassInfo& TTestPresenter::ClassInfo() const { return StaticClassInfo(); }

constexpr int32_t Deg = OrvexUnits::PerDegree;

// The message of the EOrvexException that F raises.
inline std::string Message(const std::function<void()>& F) {
    try {
        F();
    } catch (const EOrvexException& E) {
        return E.what();
    }
    return "(no exception)";
}

// Records the view's object events as "create:<title>", "select:<title>", "free:<title>".
struct TEventLog {
    explicit TEventLog(TOrvex3& V) : View(V) {
        V.OnObjectCreate = [this](TOrvex3*, TOrvexObject* O) { Events.push_back("create:" + O->Title()); };
        V.OnObjectSelect = [this](TOrvex3*, TOrvexObject* O) {
            Events.push_back(std::string(O->Selected() ? "select:" : "deselect:") + O->Title());
        };
        V.OnObjectFree = [this](TOrvex3*, TOrvexObject* O) { Events.push_back("free:" + O->Title()); };
    }
    // The view may outlive the log: stop recording into it.
    ~TEventLog() { View.OnObjectCreate = View.OnObjectSelect = View.OnObjectFree = nullptr; }
    TOrvex3& View;
    std::vector<std::string> Events;
};

inline TGeoDataObject* Chain(TOrvexLayer* L, std::initializer_list<TPoint3D> Points) {
    auto* O = TGeoDataObject::Create(L);
    for (const TPoint3D& P : Points) O->AddPoint(P);
    return O;
}

#pragma once
// A view with a layer to hold chain objects, and projections that record what they are
// asked to draw or place.

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <memory>
#include <vector>

#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "projections/CartesianPrj.h"
#include "projections/MercatorPrj.h"
#include "projections/SphericalPrj.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"

constexpr int32_t Deg = OrvexUnits::PerDegree;

struct TLine {
    TPoint3D From, To;
    int32_t Steps;
};

// Keeps the graticule's lines instead of drawing them.
template <class Base>
class TLineRecorder : public Base {
public:
    using Base::Base;
    std::vector<TLine> Lines;

protected:
    void DrawLine(const TPoint3D& From, const TPoint3D& To, int32_t Steps) override {
        Lines.push_back(TLine{From, To, Steps});
    }
};

// Keeps every point it is asked to place.
class TSampleRecorder : public TCartesianPrj {
public:
    using TCartesianPrj::TCartesianPrj;
    bool PointToXY(const TPoint3D& P, int32_t Index) override {
        Samples.push_back(P);
        return TCartesianPrj::PointToXY(P, Index);
    }
    std::vector<TPoint3D> Samples;
};

// Projections here belong to the test, not to the view: the view would centre and zoom
// each one it takes over, which moves origins and rotations.
class PrjTest : public ::testing::Test {
protected:
    template <class T>
    T* Use(T* Prj) {
        Owned.emplace_back(Prj);
        return Prj;
    }
    TGeoDataObject* Chain(std::initializer_list<TPoint3D> Points) {
        auto* O = TGeoDataObject::Create(Layer);
        for (const TPoint3D& P : Points) O->AddPoint(P);
        return O;
    }
    static TPixelPoint At(int32_t Index) { return PointBuffer[Index]; }
    // What projecting every point and keeping those more than a pixel from the last kept gives.
    static std::vector<TPixelPoint> KeptOneByOne(TPrjModel& Prj, const std::vector<TPoint3D>& Points) {
        std::vector<TPixelPoint> Kept;
        for (const TPoint3D& P : Points) {
            if (!Prj.PointToXY(P, 0)) continue;
            if (Kept.empty() || std::abs(int64_t(At(0).X) - Kept.back().X) > 1 ||
                std::abs(int64_t(At(0).Y) - Kept.back().Y) > 1)
                Kept.push_back(At(0));
        }
        return Kept;
    }
    static TPoint3D LL(long double LonDeg, long double LatDeg) {
        return TPoint3D{static_cast<int32_t>(std::llrint(LonDeg * Deg)), static_cast<int32_t>(std::llrint(LatDeg * Deg)),
                        0};
    }

    TOrvex3 View;
    TOrvexLayer* Layer = View.AddLayer("projections");
    std::vector<std::unique_ptr<TPrjModel>> Owned;
};

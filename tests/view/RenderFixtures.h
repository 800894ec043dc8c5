#pragma once
// A view rendered without a window, with helpers to build layers of styled chains and to
// read the rendered picture.

#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>

#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "projections/PrjModel.h"
#include "styling/OrvexAttributes.h"
#include "styling/PolygonPresenter.h"
#include "styling/PolylinePresenter.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"

namespace {

constexpr int32_t Deg = OrvexUnits::PerDegree;

// Distinct 0x00BBGGRR colours.
constexpr TColor Black = 0x000000, White = 0xFFFFFF, Red = 0x0000FF, Green = 0x00FF00, Blue = 0xFF0000,
                 Yellow = 0x00FFFF, Magenta = 0xFF00FF, Olive = 0x008080, Navy = 0x800000, Teal = 0x808000;

inline TColor PixelOf(const QImage& Image, int X, int Y) {
    const QRgb C = Image.pixel(X, Y);
    return TColor(qRed(C) | qGreen(C) << 8 | qBlue(C) << 16);
}

inline TPoint3D LL(long double LonDeg, long double LatDeg) {
    return TPoint3D{static_cast<int32_t>(std::llrint(LonDeg * Deg)), static_cast<int32_t>(std::llrint(LatDeg * Deg)),
                    0};
}

// Pixels of Colour in Image.
inline int CountColour(const QImage& Image, TColor Colour) {
    int N = 0;
    for (int Y = 0; Y < Image.height(); ++Y)
        for (int X = 0; X < Image.width(); ++X) N += PixelOf(Image, X, Y) == Colour;
    return N;
}

// Pixels that differ between two pictures of the same size.
inline int DifferentPixels(const QImage& A, const QImage& B) {
    int N = 0;
    for (int Y = 0; Y < A.height(); ++Y)
        for (int X = 0; X < A.width(); ++X) N += A.pixel(X, Y) != B.pixel(X, Y);
    return N;
}

// Pixels of A (of colour Only, when given) whose colour appears nowhere within Reach pixels
// in B: zero both ways means the pictures agree up to that displacement.
inline int Unmatched(const QImage& A, const QImage& B, int Reach = 1, std::optional<TColor> Only = {}) {
    int N = 0;
    for (int Y = 0; Y < A.height(); ++Y)
        for (int X = 0; X < A.width(); ++X) {
            const QRgb C = A.pixel(X, Y);
            if (Only && PixelOf(A, X, Y) != *Only) continue;
            bool Found = false;
            for (int DY = -Reach; DY <= Reach && !Found; ++DY)
                for (int DX = -Reach; DX <= Reach && !Found; ++DX) {
                    const int BX = X + DX, BY = Y + DY;
                    Found = BX >= 0 && BY >= 0 && BX < B.width() && BY < B.height() && B.pixel(BX, BY) == C;
                }
            N += !Found;
        }
    return N;
}

class RenderTest : public ::testing::Test {
protected:
    RenderTest() {
        View.SetColor(Navy);
        View.SetOrvexColor(Teal);
        View.SetDrawGrid(dgNone);
    }

    // A flat map with central meridian 0 fitted to the surface: on 360 x 180 a degree is
    // a pixel and (lon, lat) lands at (180 + lon, 90 - lat).
    void FlatMap(int32_t W, int32_t H, TOrvexProjection Kind = opCartesian) {
        View.SetSurfaceSize(W, H);
        View.SetProjection(Kind);
        View.ProjectionModel()->SetParameter(3, 0);
        View.ZoomToScale(0);
    }

    TPolygonPresenter* AreaStyle(TOrvexLayer* L, TColor Pen, TColor Brush) {
        auto* P = TPolygonPresenter::Create(L);
        P->PolygonPen()->SetPenColor(Pen);
        P->PolygonBrush()->SetBrushColor(Brush);
        return P;
    }
    TPolylinePresenter* LineStyle(TOrvexLayer* L, TColor Pen) {
        auto* P = TPolylinePresenter::Create(L);
        P->PolylinePen()->SetPenColor(Pen);
        return P;
    }
    TGeoDataObject* Chain(TOrvexLayer* L, TOrvexPresenter* P, const std::vector<TPoint3D>& Points) {
        auto* O = TGeoDataObject::Create(L, P, 0, "");
        for (const TPoint3D& Q : Points) O->AddPoint(Q);
        return O;
    }

    // Where the projection puts a point (the point must be placed).
    TPixelPoint At(const TPoint3D& P) {
        EXPECT_TRUE(View.ProjectionModel()->PointToXY(P, 0));
        return PointBuffer[0];
    }

    const QImage& Picture() {
        View.Render();
        return View.Canvas()->Image();
    }
    TColor Pixel(int X, int Y) { return PixelOf(View.Canvas()->Image(), X, Y); }

    TOrvex3 View;
};

}  // namespace

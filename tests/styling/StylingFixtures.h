#pragma once
// A test view with one ordinary layer, and helpers for stream bytes and surface pixels.

#include <gtest/gtest.h>

#include <QImage>
#include <cstdint>
#include <vector>

#include "../model/ModelFixtures.h"
#include "model/OrvexStream.h"
#include "styling/OrvexAttributes.h"
#include "styling/PointPresenter.h"
#include "styling/PolygonPresenter.h"
#include "styling/PolylinePresenter.h"

class StylingTest : public ::testing::Test {
protected:
    TTestView View;
    TOrvexLayer* Layer = View.AddLayer("Test");
    TDeviceContext* DC() { return View.Canvas()->DC(); }
    // 0x00BBGGRR of a surface pixel.
    TColor PixelAt(int X, int Y) {
        const QRgb C = View.Canvas()->Image().pixel(X, Y);
        return TColor(qRed(C) | qGreen(C) << 8 | qBlue(C) << 16);
    }
};

template <class T>
std::vector<uint8_t> Record(T& Item) {
    TOrvexStream S;
    Item.SaveToStream(S);
    return S.Data();
}

inline std::string EMessage(const std::function<void()>& F) {
    try {
        F();
    } catch (const std::exception& E) {
        return E.what();
    }
    return "(no exception)";
}

constexpr TColor Red = 0x0000FF, Black = 0, White = 0xFFFFFF;

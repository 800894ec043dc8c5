#pragma once
// The map's fields in the status bar, right of the hint bar: the place under the mouse, the
// scale, the projection, and the size of a rubber band or of a measured path. Lengths are
// great circles on the sphere of the units: one arc-minute is one nautical mile.

#include <QLabel>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <string>
#include <vector>

#include "foundation/OXUtils.h"

class TOrvex3;

enum class TCoordinateStyle { Dms, Decimal };

// Latitude first, as people read places: 48°51'24"N 2°21'08"E, or 48.85660, 2.35220.
std::string FormatPlace(const TPoint3D& Place, TCoordinateStyle Style);
// "1 : 24 600 000" (three significant digits) for a view of ScaleFactor pixels per
// OrvexUnit on a screen of PixelsPerInch; empty when there is no scale.
std::string FormatScale(long double ScaleFactor, int32_t PixelsPerInch);
// Great-circle length between two places, in nautical miles.
double GreatCircleNauticalMiles(const TPoint3D& From, const TPoint3D& To);
// "12.34 km (6.66 nmi)".
std::string FormatLength(double NauticalMiles);

// The points of a measurement, in the order clicked.
class TMeasurePath {
public:
    void Add(const TPoint3D& Place) { FPoints.push_back(Place); }
    void Clear() { FPoints.clear(); }
    bool Empty() const { return FPoints.empty(); }
    const std::vector<TPoint3D>& Points() const { return FPoints; }
    double TotalNauticalMiles() const;
    double LastLegNauticalMiles() const;

private:
    std::vector<TPoint3D> FPoints;
};

class TMapStatus : public QWidget {
public:
    explicit TMapStatus(QWidget* Parent = nullptr);

    TCoordinateStyle CoordinateStyle() const { return FStyle; }
    void SetCoordinateStyle(TCoordinateStyle Style);

    // The place under pixel (X, Y) of View, or "off the map".
    void ShowPointer(const TOrvex3& View, int32_t X, int32_t Y);
    // The pointer left the map.
    void ClearPointer();
    // The scale and the projection's name.
    void ShowView(const TOrvex3& View);
    // The ground size of a rubber band of pixels.
    void ShowBand(const TOrvex3& View, const QRect& Band);
    void ShowMeasure(const TMeasurePath& Path);
    void ClearMeasure();
    // The place field empties when the mouse leaves Map.
    void Follow(QWidget& Map);

    QString PlaceText() const { return FPlace->text(); }
    QString ScaleText() const { return FScale->text(); }
    QString ProjectionText() const { return FProjection->text(); }
    QString MeasureText() const { return FMeasure->text(); }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    // The map may go first (the window takes the view apart before its status bar).
    QPointer<QWidget> FMap;
    TCoordinateStyle FStyle = TCoordinateStyle::Dms;
    bool FHasPointer = false;
    TPoint3D FPointer{};
    bool FPointerOnMap = false;
    QLabel* FPlace;
    QLabel* FScale;
    QLabel* FProjection;
    QLabel* FMeasure;
};

// Draws a measured path over the map as great-circle arcs; a child of the view that covers it
// and lets the mouse through. The path never becomes part of a layer.
class TMeasureOverlay : public QWidget {
public:
    TMeasureOverlay(TOrvex3& View, const TMeasurePath& Path);

protected:
    void paintEvent(class QPaintEvent* Event) override;
    bool eventFilter(QObject* Watched, class QEvent* Event) override;

private:
    TOrvex3& FView;
    const TMeasurePath& FPath;
};

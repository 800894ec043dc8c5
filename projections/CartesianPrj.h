#pragma once
// The flat map with longitude and latitude plotted linearly, and the base of every other
// flat projection: rotating a flat map pans it.

#include "projections/PrjModel.h"

class TCartesianPrj : public TPrjModel {
    ORVEX_CLASS_INFO
public:
    explicit TCartesianPrj(TOrvex3* View);
    static TCartesianPrj* Create(TOrvex3* View) { return new TCartesianPrj(View); }

    // A change of XRotation or YRotation pans the map, by the axis-change settings:
    // through YOrigin or CentralParallel, and through CentralMeridian or XOrigin.
    void SetParameter(int32_t Index, int32_t Value) override;
    // Points outside the extents are not placed.
    bool PointToXY(const TPoint3D& Point, int32_t Index) override;
    bool XYToLL(int32_t X, int32_t Y, int32_t Index) override;
    // The view's texture in cells of 3 by 4 degrees when the view shows it, else the
    // outline of the extents.
    void PaintBackground() override;
    bool PaintTexture() override;

protected:
    // For the further flat projections, which bring their own extents.
    TCartesianPrj(TOrvex3* View, const TPrjExtents& Extents);

    bool InExtents(int64_t Longitude, int64_t Latitude) const;
    // FlatForward's constants shared by every flat map: meridian, extents, scale and origin.
    void FillFlatForward(TFlatForward& F) const;
    // Only this class's own formulas, as for SeparableAxes.
    bool FlatForward(TFlatForward& F) const override;
    // The pixel offset from XOrigin of a longitude, measured from CentralMeridian.
    long double XOffset(int32_t Longitude) const;
    // The longitude at a pixel offset (in OrvexUnits) from XOrigin; false when it does
    // not fit the integer range.
    bool LongitudeAt(long double Offset, int64_t& Longitude) const;
    bool StretchBounds(long double& PerLongitude, long double& PerLatitude) const override;
    // Only this class's own formulas: a projection derived from it places points its own way.
    bool SeparableAxes() const override;
    int64_t AxisRank(int Axis, int32_t Value) const override;
    // The rounded pixel offset, clamped beyond 2^40 as StorePixel leaves its fast path there.
    static int64_t RoundedOffset(long double Offset);

    // For the projections with formulas in radians: the longitude's angle from
    // CentralMeridian, in (-pi, pi].
    long double Lambda0(int32_t Longitude) const;
    // The pixel as plane coordinates in radians of arc (X', Y'), y up; false when the
    // scale or Index leaves nothing to compute.
    bool PlanePoint(int32_t X, int32_t Y, int32_t Index, long double& XP, long double& YP) const;
    // Writes the inverse's result (normalised longitude, latitude) when abs(Lambda) < pi
    // and abs(Phi) < pi/2; otherwise, or for values that are not numbers, false.
    bool StoreLL(int32_t Index, long double Lambda, long double Phi) const;
};

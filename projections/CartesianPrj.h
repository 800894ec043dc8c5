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
    // The background is the base outline; the texture grid needs the view's texture
    // rasteriser and draws the outline until the view has one.

protected:
    // For the further flat projections, which bring their own extents.
    TCartesianPrj(TOrvex3* View, const TPrjExtents& Extents);

    bool InExtents(int64_t Longitude, int64_t Latitude) const;
    // The pixel offset from XOrigin of a longitude, measured from CentralMeridian.
    long double XOffset(int32_t Longitude) const;
    // The longitude at a pixel offset (in OrvexUnits) from XOrigin; false when it does
    // not fit the integer range.
    bool LongitudeAt(long double Offset, int64_t& Longitude) const;
};

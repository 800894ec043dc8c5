#pragma once
// The conformal cylindrical projection, limited to 89 degrees of latitude.

#include "projections/CartesianPrj.h"

class TMercatorPrj : public TCartesianPrj {
    ORVEX_CLASS_INFO
public:
    // The scale is fitted to the whole earth before the extents narrow to 89 degrees.
    explicit TMercatorPrj(TOrvex3* View);
    static TMercatorPrj* Create(TOrvex3* View) { return new TMercatorPrj(View); }

    bool PointToXY(const TPoint3D& Point, int32_t Index) override;
    bool XYToLL(int32_t X, int32_t Y, int32_t Index) override;

protected:
    bool StretchBounds(long double& PerLongitude, long double& PerLatitude) const override;
    // The ordinate's stretch at the box's latitude farthest from the equator, not the 89th's.
    bool DetailStretch(const TPointBox& Box, double& PixelsPerUnit) const override;
    bool UniformDetailStretch() const override { return false; }
    bool SeparableAxes() const override;
    int64_t AxisRank(int Axis, int32_t Value) const override;
};

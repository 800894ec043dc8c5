#pragma once
// The base of the view's map projections: geographic points to surface pixels and back.

#include <cstdint>

#include "foundation/OXUtils.h"
#include "model/Persistent.h"

class TOrvex3;
class TOrvexObject;

enum TXAxisChanges : uint8_t { xaYOrigin, xaCentralParallel };
enum TYAxisChanges : uint8_t { yaXOrigin, yaCentralMeridian };

struct TPrjExtents {
    int32_t MinLongitude = -OrvexUnits::Deg180;
    int32_t MinLatitude = -OrvexUnits::Deg90;
    int32_t MaxLongitude = OrvexUnits::Deg180;
    int32_t MaxLatitude = OrvexUnits::Deg90;
};

class TPrjModel : public TPersistent {
    ORVEX_CLASS_INFO
public:
    explicit TPrjModel(TOrvex3* View) : FView(View) {}

    TOrvex3* View() const { return FView; }
    long double ScaleFactor() const { return FScaleFactor; }
    int32_t XOrigin() const { return FXOrigin; }
    int32_t YOrigin() const { return FYOrigin; }

    virtual void SetParameter(int32_t Index, int32_t Value);
    virtual void ApplyScaleFactor(long double Value) { FScaleFactor = Value; }
    // Whether the extent can be seen; sets the object's side bits and ClipCode.
    virtual bool IsExtentVisible(const TExtent& Extent, TOrvexObject* Obj, uint8_t& ClipCode);
    // Projects into PointBuffer[Index]; false when the point is not placed.
    virtual bool LLToXY(int32_t Longitude, int32_t Latitude, int32_t Index);
    virtual bool PointToXY(const TPoint3D& Point, int32_t Index);
    virtual bool XYToLL(int32_t X, int32_t Y, int32_t Index);

protected:
    int32_t FXOrigin = 75;
    int32_t FYOrigin = 75;
    long double FScaleFactor = 1e-6L;
    int32_t FXRotation = 126900000;
    int32_t FYRotation = 0;
    int32_t FZRotation = 0;
    TYAxisChanges FYAxisChanges = yaCentralMeridian;
    TXAxisChanges FXAxisChanges = xaYOrigin;
    TOrvex3* FView;
    TPrjExtents FExtents;
    int32_t FCentralMeridian = 0;
    int32_t FCentralParallel = 0;
    int32_t FFirstParallel = 0;
    int32_t FSecondParallel = 0;
};

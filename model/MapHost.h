#pragma once
// What layers, objects and presenters ask of the view they belong to (TOrvex3 answers).
// They reach the view's windowing and painting only through these calls, which are virtual:
// a program that reads and writes layers without drawing them (orvex info) then links none
// of the GUI libraries and starts in a few milliseconds.

#include <cstdint>
#include <string>

#include "foundation/OXUtils.h"

class TOrvexObject;

class TMapHost {
public:
    virtual void SelectObject(TOrvexObject* Obj) = 0;
    virtual void RequestRender() = 0;
    virtual void RequestRepaint() = 0;
    virtual long double GetScaleFactor() const = 0;
    virtual int32_t EffectiveMinTextHeight() const = 0;
    virtual int32_t UnitsToOrvexUnits(long double Value, TOrvexUnits Units) const = 0;
    virtual int32_t UnitsToPixels(long double Value, TOrvexUnits Units) const = 0;
    virtual bool PixelToLL(int32_t X, int32_t Y, TPoint3D& Point) const = 0;
    virtual bool ComputeClipCode(int32_t Count, uint8_t& ClipCode) const = 0;
    virtual void PaintPolyline(TOrvexObject* Obj) = 0;
    virtual void PaintPolygon(TOrvexObject* Obj) = 0;
    virtual bool PrintAborted() const = 0;
    virtual bool Progress(int MsgType, const std::string& MsgText) = 0;

protected:
    ~TMapHost() = default;
    // The render loop's clock check (see TOrvex3::RenderCheckpoint).
    virtual bool RenderCheckpointSlow() = 0;
};

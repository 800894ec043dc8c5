#pragma once
// The framework's mutable pen and brush: a colour, style and width that realize to a
// device-context handle on demand and report every change.

#include <functional>

#include "platform/DeviceContext.h"

// The shared part: a logical record, its lazily realized handle and the change report.
template <class TLog>
class TGdiTool {
public:
    std::function<void()> OnChange;

protected:
    explicit TGdiTool(const TLog& Log) : FLog(Log) {}
    template <class T>
    void Change(T& Field, T Value) {
        if (Field == Value) return;
        Field = Value;
        FHandle.reset();
        if (OnChange) OnChange();
    }
    TLog FLog;
    mutable HGDIOBJ FHandle;
};

class TPen : public TGdiTool<TLogPen> {
public:
    TPen(TColor Color = 0, int Style = PS_SOLID, int Width = 1) : TGdiTool(TLogPen{Style, Width, Color}) {}

    TColor Color() const { return FLog.Color; }
    int Style() const { return FLog.Style; }
    int Width() const { return FLog.Width; }
    void SetColor(TColor C) { Change(FLog.Color, C); }
    void SetStyle(int S) { Change(FLog.Style, S); }
    void SetWidth(int W) { Change(FLog.Width, W); }

    const HGDIOBJ& Handle() const {
        if (!FHandle) FHandle = CreatePen(FLog.Style, FLog.Width, ColorToRGB(FLog.Color));
        return FHandle;
    }
};

class TBrush : public TGdiTool<TLogBrush> {
public:
    TBrush(TColor Color = 0xFFFFFF, int Style = BS_SOLID, int Hatch = 0) : TGdiTool(TLogBrush{Style, Color, Hatch}) {}

    TColor Color() const { return FLog.Color; }
    int Style() const { return FLog.Style; }
    int Hatch() const { return FLog.Hatch; }
    void SetColor(TColor C) { Change(FLog.Color, C); }
    void SetStyle(int S) { Change(FLog.Style, S); }
    void SetHatch(int H) { Change(FLog.Hatch, H); }

    const HGDIOBJ& Handle() const {
        if (!FHandle) {
            TLogBrush L = FLog;
            L.Color = ColorToRGB(L.Color);
            FHandle = CreateBrushIndirect(L);
        }
        return FHandle;
    }
};

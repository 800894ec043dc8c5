#pragma once
// The map view: owns the layers, the global layer, the projection and the drawing
// surface, and keeps the selection.

#include <QElapsedTimer>
#include <QImage>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/OXUtils.h"
#include "model/ListWalk.h"
#include "model/MapHost.h"
#include "model/TextureData.h"
#include "platform/GdiTools.h"
#include "projections/PrjModel.h"
#include "view/PlacedAhead.h"
#include "view/WalkRecords.h"

class QPrinter;
class QScrollBar;
class TGeoDataObject;
class TPointChain;
class TOrvexLayer;
class TOrvexPen;
class TOrvexBrush;
class TOrvexFont;
class TIniFile;
class TOrvexClassRegistry;
struct TClassInfo;
class TOrvexObject;
class TOrvexCanvas;
class TPrjModel;
class TOrvex3;

enum TOrvexMouseButton : uint8_t { mzbLeft, mzbRight, mzbMiddle, mzbNone };
enum TDrawGrid : uint8_t { dgNone, dgBehind, dgInFront };
enum TScrollStyle : uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };

// A view's position: scale factor, origin and the three rotations.
struct TViewRec {
    long double ScaleFactor = 0;
    int32_t XOrigin = 0;
    int32_t YOrigin = 0;
    int32_t XRotation = 0;
    int32_t YRotation = 0;
    int32_t ZRotation = 0;
};

// A rectangle of int32 values: (Left, Top, Width, Height).
struct TOrvexRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    friend bool operator==(const TOrvexRect&, const TOrvexRect&) = default;
};

// A rectangle in pixels by its edges; Right and Bottom lie just outside it.
struct TRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    friend bool operator==(const TRect&, const TRect&) = default;
};

// The button of a mouse message, and its modifier set: the keys held, the buttons down
// and ssDouble for the second press of a double click.
enum TMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };
using TShiftState = uint8_t;
enum : TShiftState {
    ssShift = 0x01,
    ssAlt = 0x02,
    ssCtrl = 0x04,
    ssLeft = 0x08,
    ssRight = 0x10,
    ssMiddle = 0x20,
    ssDouble = 0x40
};

// What a window scroll bar reports: the arrows, the page areas, the thumb being dragged
// (scTrack) or let go (scPosition), the ends and the end of scrolling.
enum TScrollCode : uint8_t {
    scLineUp,
    scLineDown,
    scPageUp,
    scPageDown,
    scPosition,
    scTrack,
    scTop,
    scBottom,
    scEndScroll
};

using TOrvexNotifyEvent = std::function<void(TOrvex3* Sender)>;
using TOrvexMouseEvent =
    std::function<void(TOrvex3* Sender, TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y)>;
using TOrvexMouseMoveEvent = std::function<void(TOrvex3* Sender, TShiftState Shift, int32_t X, int32_t Y)>;
using TOrvexObjectNotifyEvent = std::function<void(TOrvex3* Sender, TOrvexObject* OrvexObject)>;
using TOrvexRenderEvent = std::function<void(TOrvex3* Sender, TOrvexObject* OrvexObject, bool& Done)>;
// Finished is set in the last report of a render that reported.
using TOrvexRenderProgressEvent = std::function<void(TOrvex3* Sender, bool Finished, bool& Abort)>;
using TOrvexProgressEvent =
    std::function<void(TOrvex3* Sender, int MsgType, const std::string& MsgText, bool& Abort)>;

class TOrvex3 : public QWidget, public TMapHost {
public:
    explicit TOrvex3(QWidget* Parent = nullptr);
    ~TOrvex3() override;

    // Layers in drawing order. Layers add and remove themselves.
    std::vector<TOrvexLayer*>& Layers() { return FLayers; }
    // The register of running loops over the layers, told of every removal and move.
    TListWalks& LayerWalks() { return FLayerWalks; }
    int32_t LayerCount() const { return static_cast<int32_t>(FLayers.size()); }
    // Raises EOrvexException "TOrvex3.GetLayer: Bad layer index %d".
    TOrvexLayer* GetLayer(int32_t Index) const;
    TOrvexLayer* AddLayer(const std::string& Name);
    TOrvexLayer* GlobalLayer() const { return FGlobalLayer; }
    // Deselects, frees every layer and resets the global layer.
    void Clear();

    // Selection, in the order of selecting; objects enter and leave it through their own
    // Selected property. The list does not own its objects.
    std::vector<TOrvexObject*>& Selection() { return FSelection; }
    int32_t SelectedCount() const { return static_cast<int32_t>(FSelection.size()); }
    TOrvexObject* SelectedObject() const { return FSelection.empty() ? nullptr : FSelection.back(); }
    void SelectObject(TOrvexObject* Obj) override;

    // Hit tests and searches over the layers, topmost layer first for the hit tests.
    // The object under a pixel, asking only layers that are enabled and visible; calling it
    // again at the same place after selecting the result steps down through the objects
    // that overlap there.
    virtual TOrvexObject* ObjectAtXY(int32_t X, int32_t Y);
    // The topmost object that contains the point, in any layer.
    virtual TOrvexObject* ObjectAtLatLong(int32_t Longitude, int32_t Latitude);
    // The next object after After (in After's layer, then in the layers that follow; from
    // the first object of the first layer when After is null) whose Title is Title (exact,
    // case-sensitive) or whose ID is ID; null when there is none.
    virtual TOrvexObject* FindObjectByTitle(const std::string& Title, const TOrvexObject* After = nullptr);
    virtual TOrvexObject* FindObjectByID(int32_t ID, const TOrvexObject* After = nullptr);

    // Full re-render at the next paint.
    void RequestRender() override;
    // Plain repaint: copies the last picture and draws the animated layers.
    void RequestRepaint() override;

    TPrjModel* ProjectionModel() const { return FProjection.get(); }
    // Takes ownership of Model (null: a new spherical projection) and frees the previous
    // projection; keeps the scale and the centre when the class changes.
    void SetProjectionModel(TPrjModel* Model);
    TOrvexCanvas* Canvas() const { return FCanvas.get(); }
    long double GetScaleFactor() const override;

    // Zoom and navigation. Nothing here draws: every change ends in RequestRender.
    int32_t Altitude() const { return FAltitude; }
    // 0 fits the whole map; otherwise zooms so that the view's width spans 100 degrees
    // of sky seen from that height.
    void SetAltitude(int32_t Value);
    // 0 fits the whole map; negative scales are ignored; at most 4 pixels per OrvexUnit.
    void ZoomToScale(long double Scale);
    // Rect in OrvexUnits from the view's top-left corner at the current scale.
    void ZoomToRect(const TOrvexRect& Rect);
    TPixelPoint GetOrigin() const;
    void SetOrigin(const TPixelPoint& Origin);
    // Offsets in OrvexUnits.
    // Virtual, as every call of the model into the view: the model links without it.
    virtual void ScrollBy(int32_t DX, int32_t DY);
    virtual void UpdateScrollBars();
    void CenterOn(int32_t Longitude, int32_t Latitude);
    void CenterOnObject(TOrvexObject* Obj);
    TViewRec GetViewRec() const;
    void SetViewRec(const TViewRec& Rec);
    // The visible area in OrvexUnits: (0, 0, width / scale, height / scale).
    const TOrvexRect& ViewExtent() const { return FViewExtent; }

    // Rotations in OrvexUnits and in whole degrees, minutes and seconds.
    int32_t XRotation() const;
    void SetXRotation(int32_t Value) { SetRotation(0, Value); }
    int32_t YRotation() const;
    void SetYRotation(int32_t Value) { SetRotation(1, Value); }
    int32_t ZRotation() const;
    void SetZRotation(int32_t Value) { SetRotation(2, Value); }
    int32_t XRotationInDegs() const { return XRotation() / OrvexUnits::PerDegree; }
    void SetXRotationInDegs(int32_t Value) { SetRotation(0, int64_t(Value) * OrvexUnits::PerDegree); }
    int32_t YRotationInDegs() const { return YRotation() / OrvexUnits::PerDegree; }
    void SetYRotationInDegs(int32_t Value) { SetRotation(1, int64_t(Value) * OrvexUnits::PerDegree); }
    int32_t ZRotationInDegs() const { return ZRotation() / OrvexUnits::PerDegree; }
    void SetZRotationInDegs(int32_t Value) { SetRotation(2, int64_t(Value) * OrvexUnits::PerDegree); }
    int32_t XRotationInMins() const { return XRotation() / OrvexUnits::PerMinute; }
    void SetXRotationInMins(int32_t Value) { SetRotation(0, int64_t(Value) * OrvexUnits::PerMinute); }
    int32_t YRotationInMins() const { return YRotation() / OrvexUnits::PerMinute; }
    void SetYRotationInMins(int32_t Value) { SetRotation(1, int64_t(Value) * OrvexUnits::PerMinute); }
    int32_t ZRotationInMins() const { return ZRotation() / OrvexUnits::PerMinute; }
    void SetZRotationInMins(int32_t Value) { SetRotation(2, int64_t(Value) * OrvexUnits::PerMinute); }
    int32_t XRotationInSecs() const { return XRotation() / OrvexUnits::PerSecond; }
    void SetXRotationInSecs(int32_t Value) { SetRotation(0, int64_t(Value) * OrvexUnits::PerSecond); }
    int32_t YRotationInSecs() const { return YRotation() / OrvexUnits::PerSecond; }
    void SetYRotationInSecs(int32_t Value) { SetRotation(1, int64_t(Value) * OrvexUnits::PerSecond); }
    int32_t ZRotationInSecs() const { return ZRotation() / OrvexUnits::PerSecond; }
    void SetZRotationInSecs(int32_t Value) { SetRotation(2, int64_t(Value) * OrvexUnits::PerSecond); }

    // The kind of the current projection; setting it makes a new projection of that kind
    // (keeping scale and centre when the centre shows the map).
    TOrvexProjection Projection() const { return FProjectionKind; }
    void SetProjection(TOrvexProjection Kind);

    // Mouse buttons for zooming, selecting and rotating (mzbNone switches one off);
    // MultiSelect lets Ctrl+click add and remove objects.
    TOrvexMouseButton MouseZoomButton = mzbRight;
    TOrvexMouseButton MouseSelectButton = mzbLeft;
    TOrvexMouseButton MouseRotateButton = mzbLeft;
    bool MultiSelect = false;
    // Mouse drag states and the rubber-band rectangle in pixels.
    bool Rotating = false;
    bool ZoomDragging = false;
    TRect ZoomRect;

    // The view's own reactions to the mouse, with OnMouseDown, OnMouseMove and OnMouseUp
    // fired in the middle of them; the window's mouse messages arrive here. X and Y are
    // pixels of the drawing surface.
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
    virtual void MouseMove(TShiftState Shift, int32_t X, int32_t Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
    // A message of the window's own scroll bar: pans by a line, half a page or as far as
    // the thumb was dragged.
    void ScrollMessage(Qt::Orientation Bar, TScrollCode Code);
    // Wheel and keyboard. One notch of a mouse wheel (120 units of angle delta) zooms by
    // WheelNotchFactor about the pixel under the cursor, which keeps showing the same
    // place; smaller deltas of fine wheels and touch pads add up to the same zoom.
    static constexpr long double WheelNotchFactor = 1.2599210498948731647672106L;  // 3 notches: x2
    void WheelZoom(int32_t X, int32_t Y, int32_t AngleDelta);
    // Turns the globe (pans flat maps) by Columns tenths of the view's width eastward and
    // Rows tenths of its height northward.
    void KeyPan(int32_t Columns, int32_t Rows);
    TOrvexMouseEvent OnMouseDown;
    TOrvexMouseMoveEvent OnMouseMove;
    TOrvexMouseEvent OnMouseUp;
    // A left press and release inside the view; a double click (before its second press).
    TOrvexNotifyEvent OnClick;
    TOrvexNotifyEvent OnDblClick;

    // The window's scroll bars; the drawing surface is the window less the bars shown.
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle Value);
    QScrollBar* HorzScrollBar() const { return FHorzBar; }
    QScrollBar* VertScrollBar() const { return FVertBar; }
    // The window shows what lies under it where the map leaves the background empty.
    bool TransparentBackground() const { return FTransparentBackground; }
    void SetTransparentBackground(bool Value);
    // The current projection's axis-change settings.
    TXAxisChanges XAxisChanges() const;
    void SetXAxisChanges(TXAxisChanges Value);
    TYAxisChanges YAxisChanges() const;
    void SetYAxisChanges(TYAxisChanges Value);

    // Appearance of the picture.
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    TColor OrvexColor() const { return FOrvexColor; }
    void SetOrvexColor(TColor Value);
    // Tiled behind the map; a null image fills with Color.
    const QImage& Background() const { return FBackground; }
    void SetBackground(const QImage& Image);
    TDrawGrid DrawGrid() const { return FDrawGrid; }
    void SetDrawGrid(TDrawGrid Value);
    bool TransparentOrvex() const { return FTransparentOrvex; }
    void SetTransparentOrvex(bool Value);
    // Lines and polygon edges drawn smoothly; off by default, when the picture keeps to
    // whole pixels. Profiles keep it.
    bool Antialiasing() const;
    void SetAntialiasing(bool Value);
    // Long chains drawn from their coarser copies (model/ChainDetail.h) where many of their
    // points share a pixel: the lines move by at most a pixel (a few tenths of a percent of
    // the picture's pixels differ), and frames of large layers come several times faster. Off by default;
    // the editor's window and the frames of `orvex render` turn it on. Printing and exported
    // pictures always draw every point.
    bool LevelOfDetail() const { return FLevelOfDetail; }
    void SetLevelOfDetail(bool Value);
    // Idle work for the level of detail: builds, for the chains the last frame drew from
    // coarser copies, their copies an octave finer and an octave coarser, so that the next
    // wheel notch finds them built. Works until Deadline, a chain at a time; true when all is
    // built. The window calls it when the event loop is idle; each frame starts it over.
    bool PrepareDetail(std::chrono::steady_clock::time_point Deadline);
    // The most that work builds, the pixels kept for pans included, while the scale stays
    // within an octave of where it started counting.
    int64_t DetailBudget() const { return FDetailBudget; }
    void SetDetailBudget(int64_t Bytes) { FDetailBudget = std::max<int64_t>(Bytes, 0); }
    static constexpr int64_t DefaultDetailBudget = int64_t(12) << 20;
    // What a chain's pixels follow besides the origin, where only the origin moves them (the
    // map's axes are separable) and frames follow each other (the level of detail is on):
    // false where a pan moves pixels in other ways, or where the picture is drawn for printing
    // or its far side.
    // (Virtual, as every call of the model into the view.)
    virtual bool ShiftKey(TShiftKey& Key) const;
    // Everything of the map a pixel follows but the origin, projection and scale included.
    TShiftKey MapKey() const;
    // The layer's walk names the object it draws and where its runs are kept (null: none); a
    // chain drawn for Obj replays or records its pixels there (model/ShiftRuns.h).
    // Placed: the pixels a second core placed for the entry's copy (null: none).
    void SetRunSlot(TShiftRuns* Runs, size_t Entry, const TOrvexObject* Obj,
                    const TPlacedAhead::TPlaced* Placed = nullptr) {
        FRunSlot = TRunSlot{Runs, Entry, Obj, Placed};
    }
    // A layer's walk over Objects[0, Count) (its objects not settled) may have the copies they
    // draw placed on a second core ahead of it (view/PlacedAhead.h): where the frame draws from
    // copies on a map with a block formula, and no handler can run. True when placing started;
    // the walk then takes each entry (TakePlaced) before it touches the object, and stops the
    // placing before it returns.
    // (Virtual, as every call of the model into the view.)
    virtual bool StartPlacingAhead(TOrvexObject* const* Objects, size_t Count);
    // Whether this frame may place copies on a second core at all: the map and the layers aside.
    bool MayPlaceAhead() const;
    // Whether the copies of Objects[0, Count) are being placed already (started before the walk,
    // which takes the placing over).
    bool PlacingAheadFor(TOrvexObject* const* Objects, size_t Count) const {
        return FPlacedAhead && FPlacedAhead->Places(Objects, Count);
    }
    const TPlacedAhead::TPlaced* TakePlaced(size_t Entry) { return FPlacedAhead ? FPlacedAhead->Take(Entry) : nullptr; }
    // The walk's short way for the run slot's object when its pixels were placed ahead: draws
    // them as the object would draw itself, where that drawing is only the plain line
    // presenter's line. False (nothing drawn) where the object must draw itself.
    // (Virtual, as every call of the model into the view.)
    virtual bool DrawnPlaced(TOrvexObject* Obj);
    void StopPlacingAhead() {
        if (FPlacedAhead) FPlacedAhead->Stop();
    }
    // The octave of Obj's coarser copy at the current scale, or -1 where it draws from its own
    // points.
    int DetailLevelOf(TOrvexObject* Obj) const;
    // What DetailLevelOf asks of the object alone: whether it may draw from a copy in a view
    // that draws copies. The thread placing copies ahead asks this: the view's level is fixed
    // for the frame it places, and the view's fields need not be read for every entry.
    static bool TakesCopies(const TOrvexObject& Obj);
    // Whether frames may place copies on a second core (on by default; the pictures are the
    // same either way).
    void SetPlacingAhead(bool Value) { FPlacingAhead = Value; }
    // The chains drawn from pixels a second core placed, all told.
    uint64_t ChainsPlacedAhead() const { return FPlacedAhead ? FPlacedAhead->Handed() : 0; }
    // What places them, made on first use (tests stall it).
    TPlacedAhead& PlacingThread() {
        if (!FPlacedAhead) FPlacedAhead = std::make_unique<TPlacedAhead>();
        return *FPlacedAhead;
    }

    // The render pipeline. A full render happens only in a paint that finds ScaleChanged
    // or RedrawPending set; other paints copy the last picture.
    virtual void DrawBackground();
    virtual void DrawGraticule();
    virtual void RenderLayers();
    virtual void RenderAnimated();
    // Shows the picture drawn so far in the window while a long render goes on (every
    // PeriodicUpdateTime milliseconds); nothing outside a paint.
    virtual void CopySurfaceToWindow();
    // Renders everything into the off-screen picture now, without a window.
    void Render();
    // Renders a view of Image's size into Image (any size, no window or display needed).
    void RenderToImage(QImage& Image);
    // Renders onto any paint device (a PDF writer, a printer) at its own size and resolution.
    // Raises EOrvexException naming the device (DeviceName, a file name say, when given) when
    // it cannot be drawn on or the drawing cannot be finished.
    void RenderToDevice(QPaintDevice* Device, const std::string& DeviceName = {});
    // Runs Draw with the view rescaled, as for printing, to a surface of Width x Height
    // pixels (what the view shows then fills that surface); afterwards the view has its own
    // size, origin and scale back exactly. The window is not resized.
    void WithSurfaceSize(int32_t Width, int32_t Height, const std::function<void()>& Draw);
    // Sizes the window so that its drawing surface, the window less its scroll bars, is
    // Width x Height surface pixels.
    void SetSurfaceSize(int32_t Width, int32_t Height);
    // Surface pixels per window pixel: the device pixel ratio of the screen the surface was
    // last fitted to (2 where the screen doubles), so that the map is drawn at the screen's
    // own resolution. Everything the view measures in pixels (the projection, hit tests,
    // the rubber band, the mouse positions its events report) is in surface pixels.
    qreal SurfaceRatio() const { return FSurfaceRatio; }
    // A position in the window (a mouse's) as the surface pixel under it.
    TPixelPoint WindowToSurface(const QPointF& P) const;

    // Printing on the default printer (PDF output when asked for by the printer settings).
    void Print(QPrinter& Printer);
    struct TPrintOptions {
        // The whole view scaled into the page, keeping its shape and centred on it; otherwise
        // the page is the view's new size, as a resized window would be.
        bool FitToPage = false;
        // The background colour and the map's fill, as on the screen.
        bool Background = false;
    };
    void Print(QPrinter& Printer, const TPrintOptions& Options);
    // Rect holds Left, Top, Right and Bottom in page pixels.
    void PrintRect(QPrinter& Printer, const TOrvexRect& Rect);
    virtual void RenderToPrinter(int32_t Left, int32_t Top, int32_t Height, int32_t Width);
    bool Printing() const { return FPrinter != nullptr; }
    bool PrintAborted() const override;

    // Long renders and prints. One that has run RenderProgressDelay milliseconds reports to
    // OnRenderProgress about every RenderProgressPeriod milliseconds; the handler may let
    // pending events through (paints of the view meanwhile show the picture drawn so far and
    // input to the view is dropped) and answer Abort. A render met inside a paint of the
    // window stops there instead and runs again from the event loop, where events may be let
    // through. A print to a file replaces the file only when it ends complete.
    TOrvexRenderProgressEvent OnRenderProgress;
    int32_t RenderProgressDelay = 400;
    int32_t RenderProgressPeriod = 75;
    // A render, a print or a drawing onto a device is running.
    bool Rendering() const { return FRenderRunning; }
    // Stops the running render or print at its next object; the view keeps RedrawPending,
    // so the next paint renders again fully.
    void AbortRender();
    // Whether the running or last render or print was stopped before its end.
    bool RenderAborted() const { return FRenderAbort; }
    // The render loops ask this once per object: true when the render is to stop. The clock
    // is read only every 32 objects.
    bool RenderCheckpoint() {
        if (!FRenderRunning) return false;
        if (FRenderAbort) return true;
        if ((++FRenderTicks & 31) != 0) return false;
        return RenderCheckpointSlow();
    }
    // RenderCheckpoint for Count objects passed over at once, without drawing.
    bool RenderCheckpoints(uint32_t Count) {
        if (!FRenderRunning) return false;
        if (FRenderAbort) return true;
        const uint64_t Before = FRenderTicks, After = Before + Count;
        FRenderTicks = static_cast<uint32_t>(After);
        if ((Before >> 5) == (After >> 5)) return false;
        return RenderCheckpointSlow();
    }
    bool RenderStopped() const { return (FRenderRunning && FRenderAbort) || (Printing() && PrintAborted()); }

    TOrvexNotifyEvent OnRender;
    TOrvexNotifyEvent OnPaintGraticule;
    TOrvexNotifyEvent OnPaint;
    TOrvexNotifyEvent OnPrint;

    // The drawing surface changed size or resolution: rescale origin and scale.
    void SurfaceResized(int32_t OldWidth, int32_t OldHeight);

    TOrvexNotifyEvent OnZoomed;
    TOrvexNotifyEvent OnPanned;

    // Defaults that new attributes copy: black solid pen of width 1, white solid brush,
    // "WingDings" symbol font and "Arial" title font (black, 9 screen pixels).
    TOrvexPen* DefaultPen() const { return FDefaultPen; }
    TOrvexBrush* DefaultBrush() const { return FDefaultBrush; }
    TOrvexFont* SymbolFont() const { return FSymbolFont; }
    TOrvexFont* TitleFont() const { return FTitleFont; }

    // Tools for selected objects, the far side of a transparent sphere and the graticule;
    // any change requests a render.
    TPen& SelectedPen() { return FSelectedPen; }
    TBrush& SelectedBrush() { return FSelectedBrush; }
    TPen& TransparentPen() { return FTransparentPen; }
    TBrush& TransparentBrush() { return FTransparentBrush; }
    TPen& GridPen() { return FGridPen; }

    int32_t MinTextHeight() const { return FMinTextHeight; }
    void SetMinTextHeight(int32_t Value);
    // MinTextHeight scaled from the screen to the surface's resolution (larger when printing).
    int32_t EffectiveMinTextHeight() const override;
    // Vertical pixels per inch of the screen, read when the first view was made (96 without one).
    static int32_t ScreenPixelsPerInch();
    // Pixels per inch of the surface as the window shows it: the screen's times SurfaceRatio.
    int32_t WindowPixelsPerInch() const;

    // Value in Units as OrvexUnits; Pixel goes through the current scale.
    int32_t UnitsToOrvexUnits(long double Value, TOrvexUnits Units) const override;
    int32_t UnitsToPixels(long double Value, TOrvexUnits Units) const override;
    // The geographic point under a pixel; false (and the off-map marker) when there is none.
    bool PixelToLL(int32_t X, int32_t Y, TPoint3D& Point) const override;

    const std::string& DataDirectory() const { return FDataDirectory; }
    void SetDataDirectory(const std::string& Dir) { FDataDirectory = Dir; }
    // The open profile, or null.
    TIniFile* Profile() const { return FProfile.get(); }
    void SetProfile(std::unique_ptr<TIniFile> Profile);
    // Profiles: the data directory and the layer files with their display settings. A name
    // without a folder means the program's folder. The name of the open profile, or empty.
    std::string ProfileName() const;
    // Clears the view and loads the named profile; naming the open profile changes nothing,
    // and the empty name closes it, leaving the view cleared. A layer that fails to load is
    // reported in a message box and skipped.
    void SetProfileName(const std::string& Name) { OpenProfile(Name); }
    virtual void OpenProfile(const std::string& Name);
    // Writes the profile in one save, so a failure leaves the previous file whole, and
    // keeps it open.
    virtual void SaveProfile(const std::string& FileName);

    // Geographic renderers used by presenters: the caller has selected pen and brush.
    void PaintPolyline(TOrvexObject* Obj) override;
    void PaintPolygon(TOrvexObject* Obj) override;
    // A line between two geographic points drawn as Steps straight pieces in longitude
    // and latitude, the short way across 180 degrees.
    // (Virtual, as every call of the model into the view.)
    virtual void PaintLineLL(const TPoint3D& From, const TPoint3D& To, int32_t Steps);

    // Graticule spacing in degrees (0: none).
    int32_t LongitudeStep() const { return FLongitudeStep; }
    void SetLongitudeStep(int32_t Value);
    int32_t LatitudeStep() const { return FLatitudeStep; }
    void SetLatitudeStep(int32_t Value);
    // Whether the projection paints the view's texture as its background: true only while
    // a texture is loaded. Setting it requests a render.
    bool TextureBackground() const { return FTextureBackground; }
    void SetTextureBackground(bool Value);
    // The file of the texture. Setting it loads the file: a file that cannot be used
    // leaves no texture, an empty name and TextureBackground off; a missing file leaves
    // the texture on show and its name.
    const std::string& TextureFilename() const { return FTextureFilename; }
    void SetTextureFilename(const std::string& Name);
    const TTextureData& Texture() const { return FTexture; }

    // Classes that layer files may name (sorted by name, case-insensitively).
    TOrvexClassRegistry& ClassRegistry() const { return *FClassRegistry; }
    // Raises EOrvexException "TOrvex3.RegisterOrvexClass: Class %s already registered".
    void RegisterOrvexClass(const TClassInfo& Class);

    int32_t PeriodicUpdateTime = 0;
    bool BackSidePass = false;

    // The reference ellipsoid of Distance.
    TSpheroid Spheroid() const { return FSpheroid; }
    void SetSpheroid(TSpheroid Value) { FSpheroid = Value; }
    // Length of the shortest path between two geographic points on the Spheroid, in
    // OrvexUnits (Vincenty's inverse formula).
    int32_t Distance(const TPoint3D& P1, const TPoint3D& P2) const;

    // Whether the first Count entries of PointBuffer can be seen on the surface; writes
    // the clip code of their bounding box.
    bool ComputeClipCode(int32_t Count, uint8_t& ClipCode) const override;

    // Fires OnProgress; returns Abort.
    bool Progress(int MsgType, const std::string& MsgText) override;

    bool IsDestroying() const { return FDestroying; }

    bool LayersChanged = false;
    bool ScaleChanged = false;
    bool RedrawPending = false;

    TOrvexProgressEvent OnProgress;
    TOrvexObjectNotifyEvent OnSelected;
    TOrvexObjectNotifyEvent OnDeSelected;
    TOrvexRenderEvent OnRenderTitle;
    TOrvexRenderEvent OnRenderObject;
    TOrvexObjectNotifyEvent OnObjectCreate;
    TOrvexObjectNotifyEvent OnObjectFree;
    TOrvexObjectNotifyEvent OnObjectSelect;

protected:
    bool event(QEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void wheelEvent(QWheelEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    // The window's own scroll bars, hidden or shown by ScrollBars.
    void CreateScrollBars();
    // Fits the surface to the window less the scroll bars that ScrollBars shows.
    void LayoutClientArea();
    // Whether a surface pixel lies on the surface (not on the scroll bars or past them).
    bool InClientArea(const TPixelPoint& P) const;
    // The exclusive-or focus rectangle of a zoom drag, on the window.
    void DrawFocusRect(QPainter& Painter) const;
    // What lies under a transparent window becomes the background.
    void CaptureBackground();
    // Draws the picture and the animated layers with Painter (the window or a device).
    void PaintWith(QPainter& Painter);
    // Draws Count points of a chain (Points may be PointBuffer) for PaintPolyline.
    void PolylinePiece(int32_t Count, uint8_t ClipCode);
    // PaintPolyline point by point; the projection adds line points for lines within Extent
    // (anywhere when null) when it needs them.
    void WalkPolyline(TOrvexObject* Obj, const TExtent* Extent);
    // WalkPolyline where every point is placed and no line points are needed: the pieces
    // between seam crossings are projected whole, thinned as other chains are. False when
    // the chain does not qualify (nothing drawn).
    bool DrawSeamRuns(TOrvexObject* Obj);
    // WalkPolyline where the projection needs line points: the runs of steps it would place
    // point by point anyway are projected whole, thinned as other chains are, and only the
    // rest is walked. False when no run qualifies (nothing drawn).
    bool DrawPlainRuns(TOrvexObject* Obj);
    // PaintPolyline and PaintPolygon after the visibility test.
    void DrawPolyline(TOrvexObject* Obj);
    void DrawPolygon(TOrvexObject* Obj);
    // Draws Obj with Draw from its coarser copy when the level of detail allows one; false
    // when there is none, and Obj is left to draw itself.
    bool DrawnFromCopy(TOrvexObject* Obj, void (TOrvex3::*Draw)(TOrvexObject*));
    // DrawnFromCopy for a line from the pixels a second core placed for its copy; false (nothing
    // drawn) where the walk would draw another copy, or draw it another way.
    bool DrawnAhead(TOrvexObject* Obj, const TPlacedAhead::TPlaced& Placed, uint8_t Clip);
    // Whether Placed still holds Obj's pixels as the walk would draw them (nothing drawn).
    bool PlacedStillHolds(TOrvexObject* Obj, const TPlacedAhead::TPlaced& Placed);
    // Draws an entry's placed pixels as PolylinePiece draws a chain's.
    void PlacedPiece(const TPlacedAhead::TPlaced& Placed, uint8_t Clip);
    // The stand-in that draws Obj from its coarser copy when the level of detail allows one,
    // with Lent set to the copy it holds until it is swapped back; Obj itself otherwise.
    TOrvexObject* WithDetail(TOrvexObject* Obj, TPointChain*& Lent);
    // Schedules PrepareDetail's slices on the event loop.
    void QueueDetailWork();
    // The walk itself, with or without the projection's line points; FindPlainSteps looks for
    // the blocks of steps that need none.
    void WalkPoints(TOrvexObject* Obj, bool Refine, uint8_t Clip, bool FindPlainSteps = true);
    // Draws a line's walk from its record, the points placed a block at a time; false, with
    // nothing drawn, where a point is placed or not unlike when it was recorded.
    bool ReplayWalk(const TWalkRecords::TRecord& Record, uint8_t Clip);
    void FillChain(TOrvexObject* Obj, uint8_t ClipCode);
    // PaintPolygon's fill, cut at a flat map's seam when Split.
    void FillRing(TOrvexObject* Obj, bool Split);
    // Whether a ring holds edges that only close it along the 180th meridian or at a pole.
    bool HasSeamEdges(TOrvexObject* Obj) const;
    // The ring's edges as lines, seam edges left out.
    void OutlineRing(TOrvexObject* Obj);
    // Background and layers into the off-screen picture; returns what failed, if anything.
    // Where a render runs: outside any paint, in a paint of the window, or in another paint
    // (a grab), where it is drawn whole without reports.
    enum class TRenderPaint : uint8_t { None, Window, Other };
    std::exception_ptr RenderSurface(TRenderPaint Paint = TRenderPaint::None);
    // Visit(layer) for every layer in drawing order; the handlers Visit runs may delete or
    // move layers meanwhile (see TListWalk).
    template <class F>
    void ForEachLayer(F Visit);

    int32_t FAltitude = 0;

private:
    struct TRunSlot {
        TShiftRuns* Runs = nullptr;
        size_t Entry = 0;
        const TOrvexObject* Obj = nullptr;
        const TPlacedAhead::TPlaced* Placed = nullptr;
    };
    TRunSlot FRunSlot;
    std::unique_ptr<TPlacedAhead> FPlacedAhead;
    bool FPlacingAhead = true;
    // Counts projection models set, so that runs placed under a model are not taken for
    // another's made at the same address.
    uint64_t FProjectionSerial = 0;
    // The level of detail of every chain a render draws on a map whose stretch is the same
    // everywhere, asked once a render, with the projection and scale it was asked for.
    struct TFrameDetail {
        const TPrjModel* Projection = nullptr;
        long double Scale = 0;
        int Level = -1;
    };
    TFrameDetail FFrameDetail;
    // Marks a render, print or device drawing for its duration; a second one while it runs
    // (from an event let through) raises EOrvexException.
    class TRenderRun {
    public:
        TRenderRun(TOrvex3& View, TRenderPaint Paint = TRenderPaint::None);
        ~TRenderRun();
        TRenderRun(const TRenderRun&) = delete;
        TRenderRun& operator=(const TRenderRun&) = delete;

    private:
        TOrvex3& FView;
    };
    bool RenderCheckpointSlow() override;
    // Raises EOrvexException when a render or print is running.
    void RefuseWhileRendering() const;
    // A paint that comes while a render runs: the picture so far, nothing rendered. False
    // when the paint may go on as usual.
    bool PaintDuringRender();
    // Whether this paint goes to the window on screen (not to a grab or another device).
    bool PaintsWindow() const;
    // The render that a paint of the window handed over, run from the event loop.
    void RenderQueued();
    bool FRenderRunning = false;
    bool FRenderAbort = false;
    TRenderPaint FRenderPaint = TRenderPaint::None;
    bool FRenderReported = false;
    bool FRenderQueued = false;
    TRenderPaint FPainting = TRenderPaint::None;
    bool FResizeHeld = false;
    qreal FSurfaceRatio = 1;
    // The surface size SetSurfaceSize asked for, kept while the window keeps the client size
    // and ratio it was given then: an odd size at ratio 2 is no whole number of window pixels.
    struct TAskedSurface {
        int32_t Width = 0, Height = 0;
        int ClientWidth = -1, ClientHeight = -1;
        qreal Ratio = 0;
    } FAskedSurface;
    // The device pixel ratio of the screen the window is on now.
    qreal WindowRatio() const;
    uint32_t FRenderTicks = 0;
    int64_t FNextRenderReport = 0;
    QElapsedTimer FRenderClock;

    // Value in OrvexUnits; past the int32 range it is brought back by whole turns.
    void SetRotation(int Axis, int64_t Value);
    // The first match of Found in the layers from After's on, starting behind After.
    template <class TFind>
    TOrvexObject* FindForward(const TOrvexObject* After, TFind Found);
    // Caps the scale at 4 and keeps the surface within the int32 range of OrvexUnits.
    long double LimitScale(long double Scale) const;
    void ScaleApplied(long double Scale);

    TOrvexProjection FProjectionKind = opSpherical;
    TSpheroid FSpheroid = WGS84;
    TColor FColor = 0;
    TColor FOrvexColor = 16776960;
    TBrush FSphereBrush{16776960};
    QImage FBackground;
    TDrawGrid FDrawGrid = dgBehind;
    bool FTransparentOrvex = false;
    bool FTransparentBackground = false;
    TScrollStyle FScrollBars = ssBoth;
    // Owned by the widget as its children.
    QScrollBar* FHorzBar = nullptr;
    QScrollBar* FVertBar = nullptr;
    QWidget* FBarCorner = nullptr;
    // A left press that a release inside the view turns into a click.
    bool FClickPending = false;
    QPrinter* FPrinter = nullptr;
    bool FPrintBackground = false;
    // The window's painter while a paint renders, for the periodic copies.
    QPainter* FWindowPainter = nullptr;
    // Scratch chains of the line and polygon renderers, and the points of polygons too long
    // for the shared buffer; kept between renders so drawing does not allocate.
    std::unique_ptr<TGeoDataObject> FTempChain, FEast, FWest, FOutline, FSeamRun, FDetailRun;
    std::vector<TPoint3D> FDetailScratch;
    // Where PrepareDetail goes on: the layer and object it reached, and the frame it serves.
    size_t FDetailLayer = 0, FDetailObject = 0;
    uint64_t FDetailFrame = 0, FFrames = 0;
    // The bytes PrepareDetail built since the scale was last more than an octave from
    // FDetailBudgetScale.
    int64_t FDetailSpent = 0;
    int64_t FDetailBudget = DefaultDetailBudget;
    long double FDetailBudgetScale = 0;
    long double FDetailScale = 0;
    int32_t FDetailMeridian = 0;
    // Whether a pass at that scale and meridian went through every layer.
    bool FDetailFinished = false;
    bool FDetailQueued = false;
    bool FLevelOfDetail = false;
    std::vector<TPixelPoint> FBigPolygon;
    std::vector<TPrjModel::TLinePoint> FLinePoints;
    std::vector<uint8_t> FPlainBlocks;
    // The graticule lines' walks (PaintLineLL), and the one drawn now.
    TWalkRecords FWalkRecords;
    TWalkRecords::TRecord* FWalkRecord = nullptr;
    std::vector<int32_t> FWalkPixels;
    std::vector<uint8_t> FWalkPlaced;
    TOrvexRect FViewExtent;
    std::unique_ptr<TIniFile> FProfile;
    std::unique_ptr<TOrvexCanvas> FCanvas;
    std::unique_ptr<TOrvexClassRegistry> FClassRegistry;
    TOrvexPen* FDefaultPen = nullptr;
    TOrvexBrush* FDefaultBrush = nullptr;
    TOrvexFont* FSymbolFont = nullptr;
    TOrvexFont* FTitleFont = nullptr;
    TPen FSelectedPen{255};
    TBrush FSelectedBrush{65535};
    TPen FTransparentPen{8421504};
    TBrush FTransparentBrush{12632256};
    TPen FGridPen{12632256};
    int32_t FMinTextHeight = 5;
    int32_t FLongitudeStep = 15;
    int32_t FLatitudeStep = 15;
    bool FTextureBackground = false;
    TTextureData FTexture;
    std::string FTextureFilename;
    std::string FDataDirectory;
    std::unique_ptr<TPrjModel> FProjection;
    std::vector<TOrvexLayer*> FLayers;
    TListWalks FLayerWalks;
    std::vector<TOrvexObject*> FSelection;
    TOrvexLayer* FGlobalLayer = nullptr;
    bool FDestroying = false;
    // A run of wheel steps at one cursor position: the zoom is computed from the total
    // against the state when the run began, so fine steps add up exactly and rounding does
    // not creep. Any other change of the view ends the run.
    struct TWheelRun {
        bool Active = false;
        int32_t X = 0, Y = 0;
        int64_t Total = 0;
        long double StartScale = 0;
        // Where the origin would lie without rounding to whole pixels.
        long double StartX = 0, StartY = 0, IdealX = 0, IdealY = 0;
        // The place under the cursor as PixelToLL names it, pinned to the cursor's pixel.
        TPoint3D Place;
        bool HasPlace = false;
        // What the last step left, to notice changes made by anything else.
        TViewRec Left;
        const TPrjModel* Prj = nullptr;
        int32_t Width = 0, Height = 0;
    } FWheel;
    bool WheelRunGoesOn(int32_t X, int32_t Y) const;
    void PinPlace(int32_t X, int32_t Y);
};

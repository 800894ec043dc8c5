#pragma once
// The map view: owns the layers, the global layer, the projection and the drawing
// surface, and keeps the selection.

#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/OXUtils.h"

class TOrvexLayer;
class TOrvexObject;
class TOrvexCanvas;
class TPrjModel;
class TOrvex3;

using TOrvexNotifyEvent = std::function<void(TOrvex3* Sender)>;
using TOrvexObjectNotifyEvent = std::function<void(TOrvex3* Sender, TOrvexObject* OrvexObject)>;
using TOrvexRenderEvent = std::function<void(TOrvex3* Sender, TOrvexObject* OrvexObject, bool& Done)>;
using TOrvexProgressEvent =
    std::function<void(TOrvex3* Sender, int MsgType, const std::string& MsgText, bool& Abort)>;

class TOrvex3 : public QWidget {
public:
    explicit TOrvex3(QWidget* Parent = nullptr);
    ~TOrvex3() override;

    // Layers in drawing order. Layers add and remove themselves.
    std::vector<TOrvexLayer*>& Layers() { return FLayers; }
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
    void SelectObject(TOrvexObject* Obj);

    // Full re-render at the next paint.
    void RequestRender();
    // Plain repaint: copies the last picture and draws the animated layers.
    void RequestRepaint();

    TPrjModel* ProjectionModel() const { return FProjection.get(); }
    // Takes ownership of Model and frees the previous projection.
    void SetProjectionModel(TPrjModel* Model);
    TOrvexCanvas* Canvas() const { return FCanvas.get(); }
    long double GetScaleFactor() const;
    int32_t Altitude() const { return FAltitude; }

    // Whether the first Count entries of PointBuffer can be seen on the surface; writes
    // the clip code of their bounding box.
    bool ComputeClipCode(int32_t Count, uint8_t& ClipCode) const;

    // Fires OnProgress; returns Abort.
    bool Progress(int MsgType, const std::string& MsgText);

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
    int32_t FAltitude = 0;

private:
    std::unique_ptr<TOrvexCanvas> FCanvas;
    std::unique_ptr<TPrjModel> FProjection;
    std::vector<TOrvexLayer*> FLayers;
    std::vector<TOrvexObject*> FSelection;
    TOrvexLayer* FGlobalLayer = nullptr;
    bool FDestroying = false;
};

#pragma once
// The Inspector page: edits any inspectable item (layer, object, presenter, attribute,
// projection) property by property, opens items held in properties with a way back, and
// shows a map object's points in degrees for editing.

#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "model/Persistent.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QSplitter;
class TCommandRegistry;
class TInplaceGrid;
class TOrvex3;
class TOrvexObject;
class TOrvexProperties;
class TPersistent;

class TInspector : public QWidget {
    Q_OBJECT
public:
    // Entries of the path back: the root and up to 16 items opened from it.
    static constexpr int kHistorySize = 17;

    // View (not owned) is asked to render after every change. The buttons and the points
    // menu run their commands through Commands (the window's), or through a path of its own.
    explicit TInspector(TOrvex3* View, QWidget* Parent = nullptr, TCommandRegistry* Commands = nullptr);
    ~TInspector() override;

    // Shows Item (or nothing) as the start of a new path.
    void InspectRoot(TPersistent* Item);
    // Rebuilds both grids for the inspected item.
    void ShowInspected();
    void ShowPoints();
    // Opens Item from the inspected item's property; null is ignored. Past the 16th step
    // the oldest entry of the path is dropped.
    void InspectChild(TPersistent* Item);
    // One step back along the path ("Back").
    void Back();
    // The view's newly selected object: it becomes the inspected item and the new root.
    void SetSelectedObject(TPersistent* Item);
    // Items on the path were freed: the path is cut at the first of them, and the inspector
    // shows the nearest entry before it, or nothing. Until then it shows no value of a freed
    // item, and edits nothing.
    void DropFreed();
    // Reads the shown values again after a change made elsewhere. In answer to
    // PropertyChanged it only repaints: the editor keeps what the user is typing.
    void Refresh();

    // The ellipsis button or a double click on the property grid's cursor row.
    void EditProperty();
    // The points grid's menu; each acts on a TGeoDataObject only.
    void InsertPoint();
    void AppendPoint();
    void DeletePoint();

    // Every change of the model made here runs through this (the editor records it for
    // undo); Key joins consecutive changes of one value typed key by key.
    std::function<void(const std::string& Text, const std::string& Key, const std::function<void()>& Change)> OnEdit;

    TPersistent* Inspected() const { return FInspected; }
    TOrvexProperties* Properties() const { return FProps.get(); }
    int HistoryPosition() const { return FHistoryPos; }
    TPersistent* HistoryEntry(int Index) const;

    QLabel* ClassNameLabel;
    QPushButton* btnBack;
    TInplaceGrid* PropertyGrid;
    QSplitter* Splitter;
    TInplaceGrid* PointsGrid;
    QMenu* PointsMenu;
    QAction* actInsertPoint;
    QAction* actAppendPoint;
    QAction* actDeletePoint;

signals:
    // An edit in either grid changed the model (a name, an index, a point, ...).
    void PropertyChanged();
    // Another item (or none) is shown.
    void InspectedChanged();

protected:
    // The property grid's value column fills the grid whenever the grid's size changes.
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void BuildPropertyGrid();
    // The value column takes the width the name column leaves, and at least kLeastValueWidth.
    void FitNameColumn();
    void FitValueColumn();
    void BuildPointsGrid();
    void RegisterCommands();
    bool ValidRow(int Row) const;
    void SetPropertyText(int Row, const std::string& Text);
    std::string PointText(int Col, int Row) const;
    void SetPointText(int Col, int Row, const std::string& Text);
    TOrvexObject* InspectedObject() const;
    // After a change made through the inspector: the object's redraw, the layer's fresh
    // extent when points moved, the view's render and the grids' repaint.
    void Changed(bool Geometry);
    void ClearHistory();
    void ShowPendingError();
    void Apply(const std::string& Text, const std::string& Key, const std::function<void()>& Change);
    void SetPointsShown(bool Shown);
    // Drops history entries First and later; shows the entry before them, or nothing.
    void CutHistory(int First);

    QPointer<TOrvex3> FView;
    TCommandRegistry* FCommands;
    TPersistentRef<TPersistent> FInspected;
    std::unique_ptr<TOrvexProperties> FProps;
    std::array<TPersistentRef<TPersistent>, kHistorySize> FHistory{};
    int FHistoryPos = 0;
    int32_t FAttributes = 0;
    // The last failure of text typed into the property grid, shown once typing ends: the
    // value is set at every keystroke, and a half-typed value may fail on the way.
    std::string FPendingError;
    // Set while an edit of the user's is being applied.
    int FApplying = 0;
};

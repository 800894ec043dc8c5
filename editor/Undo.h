#pragma once
// The editor's undo history: every change the editor makes to the map data (points,
// properties, objects, presenters, layers) is recorded as the state before and after it,
// so that undoing and redoing bring back exactly what was there. Entries hold values and
// places, never pointers into the model.

#include <QObject>
#include <QString>
#include <functional>
#include <cstdint>
#include <string>
#include <vector>

class QAction;
class TCommandRegistry;
class QUndoCommand;
class QUndoStack;
class TfrmMain;
class TOrvex3;
class TOrvexLayer;
class TPersistent;
class TOrvexObject;
class TOrvexPresenter;

class TEditorUndo : public QObject {
public:
    explicit TEditorUndo(TfrmMain& Main);
    ~TEditorUndo() override;

    // "Undo <what>", "Redo <what>" and the "Ctrl+Z Undoes" option, for the "&Edit" menu.
    void RegisterCommands(TCommandRegistry& Commands);

    QUndoStack& Stack() const { return *FStack; }
    // A failure while undoing or redoing is shown, and the history starts afresh: the map
    // no longer matches it.
    void Undo();
    void Redo();
    // Forgets every entry (a new map, another profile).
    void Clear();
    // Ctrl+Z stays "ZoomExtents" unless this is on; Alt+Backspace always undoes.
    void SetCtrlZUndoes(bool On);

    // Runs Change, an edit of what the inspector shows, and records it under "Change <What>"
    // style text. Consecutive edits with the same non-empty Key (a property typed key by
    // key) make one entry.
    void RecordEdit(const std::string& Text, const std::string& Key, const std::function<void()>& Change);
    // The same for a change of Layer's own settings made elsewhere (its Visible check box).
    void RecordLayerEdit(TOrvexLayer& Layer, const std::string& Text, const std::function<void()>& Change);
    // Runs Change, which adds, deletes or moves members of Layers (null ones are ignored),
    // and records the layers' contents before and after it.
    void RecordContents(const std::string& Text, std::vector<TOrvexLayer*> Layers, const std::function<void()>& Change);
    // The layer commands: a new layer (already made), one about to be deleted (Delete
    // runs the deletion), and one moved from one place to another.
    void RecordNewLayer(TOrvexLayer& Layer);
    void RecordDeleteLayer(TOrvexLayer& Layer, const std::function<void()>& Delete);
    void RecordMoveLayer(int32_t From, int32_t To);
    // Presenter commands that reach the global layer: deleting a presenter (whose users in
    // every layer are let go) and making one global.
    void RecordDeletePresenter(TOrvexPresenter& P, const std::function<void()>& Delete);
    void RecordMakeGlobal(TOrvexPresenter& P, const std::function<void()>& Make);
    void RecordNewPresenter(TOrvexPresenter& P);
    // Make adds one object to a layer and returns it.
    TOrvexObject* RecordNewObject(const std::string& Text, const std::function<TOrvexObject*()>& Make);
    // Objects of Layer that Delete deletes.
    void RecordDeleteObjects(TOrvexLayer& Layer, const std::vector<TOrvexObject*>& Objects,
                             const std::function<void()>& Delete);

    QAction* actUndo = nullptr;
    QAction* actRedo = nullptr;
    QAction* actCtrlZUndoes = nullptr;

    // ---- For the entries
    TOrvex3& View() const;
    // The grids, the inspector and the map show the model again.
    void Refresh();
    void Fail(const std::string& Text);

private:
    // UnitKind is the kind of unit Item is, as the entries keep it.
    void RecordUnitEdit(int UnitKind, TPersistent& Item, const std::string& Text, const std::string& Key,
                        const std::function<void()>& Change);
    void Push(QUndoCommand* Command);
    void Run(bool Redo);
    void UpdateShortcuts();

    TfrmMain& FMain;
    QUndoStack* FStack;
    TCommandRegistry* FCommands = nullptr;
    std::string FFailure;
    bool FCtrlZUndoes = false;
};

// What the main window offers beyond its designed commands: the recent files of the File
// menu, files dropped on the window, and finding objects by title.
#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include "editor/CommandRegistry.h"
#include "editor/EditorErrors.h"
#include "editor/FindDialog.h"
#include "editor/RecentFiles.h"
#include "editor/uMain.h"
#include "foundation/OXUtils.h"
#include "model/OrvexObject.h"
#include "platform/Text.h"
#include "platform/UiServices.h"
#include "view/Orvex3.h"

namespace {

// What a file of a drop is opened as.
enum TDropKind { dkLayer, dkProfile, dkE00, dkMIF, dkSHP, dkNone };

TDropKind DropKindOf(const std::string& Path) {
    const QString Suffix = QFileInfo(PathToQString(Path)).suffix().toLower();
    if (Suffix == "lyr") return dkLayer;
    if (Suffix == "prf") return dkProfile;
    if (Suffix == "e00") return dkE00;
    if (Suffix == "mif") return dkMIF;
    if (Suffix == "shp") return dkSHP;
    return dkNone;
}

std::vector<std::string> DroppedFiles(const QMimeData* Data) {
    std::vector<std::string> Files;
    if (!Data || !Data->hasUrls()) return Files;
    for (const QUrl& Url : Data->urls())
        if (Url.isLocalFile()) Files.push_back(PathFromQString(Url.toLocalFile()));
    return Files;
}

// A path as a menu caption: '&' would be taken for a mnemonic.
QString MenuText(const std::string& Path) { return PathToQString(Path).replace('&', "&&"); }

}  // namespace

void TfrmMain::BuildFileExtras() {
    setAcceptDrops(true);
    // Another running editor may have added files since.
    connect(mnuRecent, &QMenu::aboutToShow, this, [this] { RebuildRecentMenu(); });
    RebuildRecentMenu();
}

// ---------------------------------------------------------------------------------------
// Recent files

void TfrmMain::NoteRecent(bool Profile, const std::string& Path) {
    TRecentFiles::Add(Profile ? TRecentFiles::rfProfile : TRecentFiles::rfLayer, Path);
    RebuildRecentMenu();
}

void TfrmMain::RebuildRecentMenu() {
    if (!mnuRecent) return;
    mnuRecent->clear();
    bool Any = false;
    for (const bool Profile : {false, true}) {
        const auto Files = TRecentFiles::Files(Profile ? TRecentFiles::rfProfile : TRecentFiles::rfLayer);
        if (Files.empty()) continue;
        if (Any) mnuRecent->addSeparator();
        Any = true;
        for (const std::string& File : Files) {
            QAction* A = mnuRecent->addAction(MenuText(File));
            A->setData(Profile);
            A->setStatusTip(Profile ? "Open this profile" : "Load this layer file");
            // The menu is rebuilt while its action runs: the handler keeps its own copy.
            connect(A, &QAction::triggered, this, [this, Profile, File] {
                // Out of the menu's own handling first: opening rebuilds this menu.
                QTimer::singleShot(0, this, [this, Profile, File] {
                    FCommands->Perform("OpenRecent", [&] { OpenRecent(Profile, File); });
                });
            });
        }
    }
    mnuRecent->setEnabled(Any);
}

void TfrmMain::OpenRecent(bool Profile, const std::string& Path) {
    if (!QFileInfo(PathToQString(Path)).isFile()) {
        TRecentFiles::Remove(Profile ? TRecentFiles::rfProfile : TRecentFiles::rfLayer, Path);
        RebuildRecentMenu();
        UiServices().ShowMessage(
            kEditorCaption,
            Format("%s no longer exists; it has been taken off the recent files.", Path.c_str()), mkWarning);
        return;
    }
    if (Profile)
        OpenProfileFile(Path);
    else
        LoadLayerFiles({Path});
}

// ---------------------------------------------------------------------------------------
// Dropped files

void TfrmMain::dragEnterEvent(QDragEnterEvent* Event) {
    for (const std::string& File : DroppedFiles(Event->mimeData()))
        if (DropKindOf(File) != dkNone) {
            Event->acceptProposedAction();
            return;
        }
    Event->ignore();
}

void TfrmMain::dropEvent(QDropEvent* Event) {
    const std::vector<std::string> Files = DroppedFiles(Event->mimeData());
    if (Files.empty()) {
        Event->ignore();
        return;
    }
    Event->acceptProposedAction();
    // The drag source waits until the drop returns; the imports may show dialogs.
    QTimer::singleShot(0, this, [this, Files] { FCommands->Perform("Drop", [&] { OpenFiles(Files); }); });
}

void TfrmMain::OpenFiles(const std::vector<std::string>& Files) {
    std::string Refused;
    RunLoad([&] {
        // Neighbours of one kind go together, as if chosen together in the command's dialog.
        for (size_t I = 0; I < Files.size();) {
            const TDropKind Kind = DropKindOf(Files[I]);
            size_t End = I + 1;
            if (Kind != dkProfile)
                while (End < Files.size() && DropKindOf(Files[End]) == Kind) ++End;
            std::vector<std::string> Run;
            for (size_t J = I; J < End; ++J) {
                if (Kind != dkNone && QFileInfo(PathToQString(Files[J])).isFile())
                    Run.push_back(Files[J]);
                else
                    Refused += "\n" + Files[J];
            }
            I = End;
            if (Run.empty()) continue;
            switch (Kind) {
                case dkLayer: LoadLayerFiles(Run); break;
                case dkProfile: OpenProfileFile(Run.front()); break;
                case dkE00: ImportFiles(ikE00, Run); break;
                case dkMIF: ImportFiles(ikMIF, Run); break;
                case dkSHP: ImportFiles(ikSHP, Run); break;
                case dkNone: break;
            }
        }
    });
    if (!Refused.empty())
        UiServices().ShowMessage(kEditorCaption,
                                 "Only layer files (.lyr), profiles (.prf), shapefiles (.shp), MapInfo (.mif) and "
                                 "ArcInfo (.e00) files can be opened by dropping them; not opened:" +
                                     Refused,
                                 mkWarning);
}

// ---------------------------------------------------------------------------------------
// Find

void TfrmMain::FindObjects() {
    TfrmFind Dialog(*FView, this);
    Dialog.OnChoose = [this](TOrvexObject* Obj) { FCommands->Perform("ShowFound", [&] { ShowFoundObject(Obj); }); };
    // Over the side panel, so that what it finds, centred on the map, stays in sight.
    Dialog.adjustSize();
    const QRect Map(FView->mapToGlobal(QPoint(0, 0)), FView->size());
    const QRect Window = frameGeometry();
    const int Width = Dialog.frameGeometry().width();
    constexpr int kClearOfTheCentre = 24;
    int Left = std::max(Window.right() + 1 - Width, Map.center().x() + kClearOfTheCentre);
    if (const QScreen* Screen = screen()) Left = std::min(Left, Screen->availableGeometry().right() + 1 - Width);
    Dialog.move(Left, Map.top());
    UiServices().ExecDialog(Dialog);
}

void TfrmMain::ShowFoundObject(TOrvexObject* Obj) {
    if (!Obj) return;
    // The view's own selection, so that its list and the objects' flags agree and the
    // grids and the inspector follow as after a click on the map.
    FView->SelectObject(Obj);
    FView->CenterOnObject(Obj);
    RestoreCaption();
    PageChanged();
}

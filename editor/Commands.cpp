// The commands of the main window's menus, tool bar, layer buttons and context menus.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QPrintDialog>
#include <QPrinter>
#include <QSettings>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <unistd.h>

#include "editor/EditorErrors.h"
#include "editor/Inspector.h"
#include "editor/ListGrid.h"
#include "editor/ProgressPanel.h"
#include "editor/RecentFiles.h"
#include "editor/SelLayer.h"
#include "editor/Undo.h"
#include "editor/uMain.h"
#include "foundation/OXUtils.h"
#include "foundation/ProgressAborted.h"
#include "importers/E002Orvex.h"
#include "importers/ImportSupport.h"
#include "importers/Mif2Orvex.h"
#include "importers/SHP2Orvex.h"
#include "model/BitmapObject.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "platform/DeviceContext.h"
#include "platform/FilePaths.h"
#include "platform/Text.h"
#include "platform/UiServices.h"
#include "projections/PrjRegistry.h"
#include "styling/PointPresenter.h"
#include "styling/PolygonPresenter.h"
#include "styling/PolylinePresenter.h"
#include "view/Orvex3.h"

namespace {

const char* const kLayerExt = ".lyr";

// A layer's name as a file name in a chosen folder: the name is text, the file name the file
// system's bytes, and folder separators would lead elsewhere.
std::string LayerFileName(const std::string& Name) {
    std::string File = PathFromText(Name);
    for (char& C : File)
        if (C == '/' || C == '\\' || C == '\0') C = '_';
    if (File.empty() || File == "." || File == "..") File = "Layer" + File;
    return File + kLayerExt;
}

// The file names "Save All Layers" gives the layers in Folder, in the layers' order. A layer
// keeps the name its own name gives unless an earlier layer has it; the later ones of a name
// get "Name (2).lyr", "Name (3).lyr", ..., passing over names another layer keeps and files
// already there, unless the file is that layer's own. So no layer writes over another's
// file, and a second save writes each layer to the file it got the first time.
std::vector<std::string> SaveAllFileNames(const std::vector<TOrvexLayer*>& Layers, const std::string& Folder) {
    std::vector<std::string> Files(Layers.size());
    std::set<std::string> Taken;
    for (size_t I = 0; I < Layers.size(); ++I)
        if (const std::string File = LayerFileName(Layers[I]->Name()); Taken.insert(File).second) Files[I] = File;
    for (size_t I = 0; I < Layers.size(); ++I) {
        if (!Files[I].empty()) continue;
        const std::string Own = Layers[I]->Directory() + Layers[I]->Filename();
        const std::string Base = LayerFileName(Layers[I]->Name());
        const std::string Stem = Base.substr(0, Base.size() - std::strlen(kLayerExt));
        for (int64_t N = 2;; ++N) {
            const std::string File = Format("%s (%lld)%s", Stem.c_str(), static_cast<long long>(N), kLayerExt);
            if (Taken.count(File)) continue;
            if (Folder + File != Own && QFileInfo::exists(PathToQString(Folder + File))) continue;
            Taken.insert(File);
            Files[I] = File;
            break;
        }
    }
    return Files;
}

bool WritableFolder(const std::string& Folder) {
    std::error_code Error;
    return !Folder.empty() && std::filesystem::is_directory(Folder, Error) && access(Folder.c_str(), W_OK | X_OK) == 0;
}

std::string WithSlash(std::string Folder) {
    if (!Folder.empty() && Folder.back() != '/') Folder += '/';
    return Folder;
}

void MoveObjects(const std::vector<TOrvexObject*>& Objects, TOrvexLayer* Target) {
    for (TOrvexObject* O : Objects) O->SetLayer(Target);
}

void CopyObjects(const std::vector<TOrvexObject*>& Objects, TOrvexLayer* Target) {
    for (TOrvexObject* O : Objects) {
        TOrvexPersistent* Made = O->ClassInfo().Create ? O->ClassInfo().Create(Target) : nullptr;
        auto* Copy = dynamic_cast<TOrvexObject*>(Made);
        if (!Copy) {
            delete Made;
            throw EOrvexException(Format("Copy To Layer: class %s cannot be created", O->ClassName().c_str()));
        }
        try {
            Copy->CopyFrom(O);
        } catch (...) {
            delete Copy;
            throw;
        }
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------
// File menu

void TfrmMain::FileNew() {
    Undo->Clear();
    ReleaseAll();
    View->Clear();
    SetActivePage(pgLayers);
    LayersGrid->SetRowCount(1);
    ObjectsGrid->SetRowCount(1);
    PresentersGrid->SetRowCount(GlobalPresenterCount());
    RepaintGrids();
    RestoreCaption();
}

void TfrmMain::LoadLayers() {
    OpenDialog.Filter = "*.lyr|*.lyr";
    OpenDialog.InitialDir = ProgramFolder;
    OpenDialog.AllowMultiSelect = true;
    OpenDialog.FileName.clear();
    if (OpenDialog.Execute()) {
        // A copy: loading may run the dialog again.
        LoadLayerFiles(std::vector<std::string>(OpenDialog.Files));
        return;
    }
    AfterLoad(false);
}

void TfrmMain::LoadLayerFiles(const std::vector<std::string>& Files) {
    RunLoad([&] {
        // One file that fails does not keep the others out.
        for (const std::string& File : Files) try {
                LoadLayerFile(File, FileBaseName(File));
            } catch (const EProgressAborted&) {
                throw;
            } catch (const std::exception& Error) {
                NoteLoadError(Error.what());
            }
    });
    AfterLoad(false);
}

void TfrmMain::LoadProfile() {
    OpenDialog.Filter = "*.prf|*.prf";
    OpenDialog.AllowMultiSelect = false;
    OpenDialog.FileName.clear();
    if (OpenDialog.Execute()) {
        OpenProfileFile(std::string(OpenDialog.FileName));
        return;
    }
    AfterLoad(false);
}

void TfrmMain::OpenProfileFile(const std::string& File) {
    // Opening a profile clears the view first.
    if (File != View->ProfileName()) {
        Undo->Clear();
        ReleaseAll();
    }
    RunLoad([&] { View->SetProfileName(File); });
    if (View->Profile()) NoteRecent(true, File);
    actAntialiasing->setChecked(View->Antialiasing());
    AfterLoad(false);
}

void TfrmMain::SaveLayer() {
    if (!FCurrentLayer) return;
    SaveDialog.Filter = "Layer files (*.lyr)|*.lyr";
    SaveDialog.FileName = LayerFileName(FCurrentLayer->Name());
    SaveDialog.InitialDir = FCurrentLayer->Directory().empty() ? ProgramFolder : FCurrentLayer->Directory();
    if (!SaveDialog.Execute()) return;
    try {
        SaveLayerTo(FCurrentLayer, SaveDialog.FileName);
    } catch (const EProgressAborted&) {
        // Cancelled by the user: the file on disk is as it was.
    }
}

void TfrmMain::SaveLayerTo(TOrvexLayer* Layer, const std::string& Path) {
    // Saving drops the presenters no object of the layer uses: nothing may keep them.
    for (TOrvexPresenter* P : std::vector<TOrvexPresenter*>(Layer->Presenters())) {
        const auto& Objects = Layer->Objects();
        if (std::none_of(Objects.begin(), Objects.end(), [P](const TOrvexObject* O) { return O->Presenter() == P; }))
            ReleasePresenter(P);
    }
    struct TRefresh {
        TfrmMain& Main;
        ~TRefresh() { Main.UpdatePresenterRows(); }
    } Refresh{*this};
    const TProgressScope Busy(*Progress);
    Layer->SaveToFile(Path);
    NoteRecent(false, Path);
}

std::string TfrmMain::SaveAllFolder() const {
    if (WritableFolder(ProgramFolder)) return WithSlash(ProgramFolder);
    const std::string Profile = SplitPath(View->ProfileName()).Directory;
    if (WritableFolder(Profile)) return WithSlash(Profile);
    return WithSlash(PathFromQString(QDir::homePath()));
}

void TfrmMain::SaveAllLayers() {
    const std::string Folder = SaveAllFolder();
    const std::vector<TOrvexLayer*> Layers(View->Layers());
    const std::vector<std::string> Files = SaveAllFileNames(Layers, Folder);
    std::string Failures, Renamed;
    bool Cancelled = false;
    for (size_t I = 0; I < Layers.size() && !Cancelled; ++I) {
        TOrvexLayer* L = Layers[I];
        try {
            SaveLayerTo(L, Folder + Files[I]);
            if (Files[I] != LayerFileName(L->Name())) Renamed += Format("\n%s: %s", L->Name().c_str(), Files[I].c_str());
        } catch (const EProgressAborted&) {
            // The layers after it are not written either.
            Cancelled = true;
        } catch (const std::exception& Error) {
            Failures += Format("\nLayer %s was not saved: %s", L->Name().c_str(), Error.what());
        }
    }
    std::string Text;
    if (Folder != WithSlash(ProgramFolder))
        Text = Format("The program's folder cannot be written; the layers were saved in %s", Folder.c_str());
    if (!Renamed.empty())
        Text += (Text.empty() ? "" : "\n") + std::string("Layers of the same name were saved under names of their own:") +
                Renamed;
    if (!Failures.empty()) Text += Text.empty() ? Failures.substr(1) : Failures;
    if (!Text.empty()) UiServices().ShowMessage(kEditorCaption, Text, Failures.empty() ? mkInformation : mkWarning);
    RepaintGrids();
}

void TfrmMain::SaveProfile() {
    const std::string Current = View->ProfileName();
    SaveDialog.Filter = "*.prf|*.prf";
    SaveDialog.InitialDir = Current.empty() ? ProgramFolder : SplitPath(Current).Directory;
    SaveDialog.FileName = Current;
    if (!SaveDialog.Execute()) return;
    View->SaveProfile(SaveDialog.FileName);
    NoteRecent(true, SaveDialog.FileName);
    // A profile lists layer files: a layer never saved to one is not in it, and the user
    // must not take the saved profile for the whole working set.
    std::string Missing;
    for (const TOrvexLayer* L : View->Layers())
        if (L->Filename().empty()) Missing += (Missing.empty() ? "" : ", ") + L->Name();
    if (!Missing.empty())
        UiServices().ShowMessage(
            kEditorCaption,
            Format("The profile lists only layers that are saved in layer files; not listed: %s", Missing.c_str()),
            mkWarning);
}

void TfrmMain::Import(TImportKind Kind) {
    static const char* const Filters[] = {"ArcInfo *.e00|*.e00", "MapInfo *.mif|*.mif", "ESRI *.shp|*.shp"};
    OpenDialog.Filter = Filters[Kind];
    OpenDialog.InitialDir = ProgramFolder;
    OpenDialog.AllowMultiSelect = true;
    OpenDialog.FileName.clear();
    if (!OpenDialog.Execute()) return;
    ImportFiles(Kind, std::vector<std::string>(OpenDialog.Files));
}

void TfrmMain::ImportFiles(TImportKind Kind, const std::vector<std::string>& Files) {
    RunLoad([&] {
        switch (Kind) {
            case ikE00: ImportE00(Files, *View); break;
            case ikMIF: ImportMIF(Files, *View); break;
            case ikSHP: ImportSHP(Files, *View); break;
        }
    });
    // The layers made before a failure stay, and the grids show them.
    AfterLoad(true);
}

void TfrmMain::Print() {
    if (!FPrinter) FPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintDialog Dialog(FPrinter.get(), this);
    // Two choices of the map's own, kept with the recent files for the next print.
    QSettings Settings(PathToQString(TRecentFiles::StorageFile()), QSettings::IniFormat);
    auto* Options = new QWidget;
    Options->setWindowTitle("Map");
    auto* Fit = new QCheckBox("Fit the map to the page", Options);
    Fit->setObjectName("chkFitToPage");
    Fit->setChecked(Settings.value("Print/FitToPage", true).toBool());
    auto* Background = new QCheckBox("Print the background colour", Options);
    Background->setObjectName("chkPrintBackground");
    Background->setChecked(Settings.value("Print/Background", false).toBool());
    auto* Layout = new QVBoxLayout(Options);
    Layout->addWidget(Fit);
    Layout->addWidget(Background);
    Layout->addStretch();
    Dialog.setOptionTabs({Options});
    if (!UiServices().ExecDialog(Dialog)) return;
    Settings.setValue("Print/FitToPage", Fit->isChecked());
    Settings.setValue("Print/Background", Background->isChecked());
    Settings.sync();
    View->Print(*FPrinter, TOrvex3::TPrintOptions{Fit->isChecked(), Background->isChecked()});
}

// ---------------------------------------------------------------------------------------
// View menu and tool bar

void TfrmMain::ZoomExtents() { View->ZoomToScale(0); }

void TfrmMain::ToggleTransparent() { actTransparent->trigger(); }

void TfrmMain::ChooseTexture() {
    OpenDialog.Filter = "*.bmp|*.bmp";
    OpenDialog.InitialDir = ProgramFolder;
    OpenDialog.AllowMultiSelect = false;
    OpenDialog.FileName.clear();
    if (!OpenDialog.Execute()) {
        View->SetTextureBackground(false);
        return;
    }
    const std::string File = OpenDialog.FileName;
    View->SetTextureFilename(File);
    View->SetTextureBackground(true);
    View->SetTransparentOrvex(false);
    actTransparent->setChecked(false);
    if (View->TextureFilename() != File)
        throw EOrvexException(
            Format("%s cannot be used as a texture: it is not an uncompressed 256-colour bitmap", File.c_str()));
}

std::string TfrmMain::StatisticsText() const {
    int64_t Presenters = 0, Objects = 0, Points = 0;
    for (const TOrvexLayer* L : View->Layers()) {
        Presenters += L->PresenterCount();
        Objects += L->ObjectCount();
        for (const TOrvexObject* O : L->Objects()) Points += O->GetPointCount();
    }
    return Format("Layers = %d\nPresenters = %lld\nObjects = %lld\nPoints = %lld", View->LayerCount(),
                  static_cast<long long>(Presenters), static_cast<long long>(Objects), static_cast<long long>(Points));
}

void TfrmMain::ShowStatistics() { UiServices().ShowMessage(kEditorCaption, StatisticsText()); }

void TfrmMain::ShowProjectionProperties() {
    Inspector->InspectRoot(View->ProjectionModel());
    SetActivePage(pgInspector);
}

void TfrmMain::Zoom(int Tag) {
    if (Tag == 0)
        View->SetAltitude(0);
    else
        View->SetAltitude(RoundSaturate(static_cast<long double>(View->Altitude()) * Tag * 0.01L));
}

void TfrmMain::ChooseProjection(int Index) {
    const auto& Registry = ProjectionRegistry();
    if (Index < 0 || Index >= static_cast<int>(Registry.size())) return;
    // The projection object shown in the inspector is about to be freed.
    TPrjModel* Old = View->ProjectionModel();
    const bool Shown = Inspector->HistoryEntry(0) == Old;
    Inspector->Forget(Old);
    View->SetProjectionModel(Registry[static_cast<size_t>(Index)].Create(View));
    if (Shown) Inspector->InspectRoot(View->ProjectionModel());
    const QSignalBlocker Blocker(cbProjection);
    cbProjection->setCurrentIndex(Index);
}

// ---------------------------------------------------------------------------------------
// Layers

void TfrmMain::MoveLayer(int Tag) {
    if (!FCurrentLayer) return;
    const int32_t From = FCurrentLayer->Index();
    FCurrentLayer->SetIndex(From + Tag);
    Undo->RecordMoveLayer(From, FCurrentLayer->Index());
    SetCurrentLayer(FCurrentLayer);
    LayersGrid->SetCursorRow(FCurrentLayer->Index());
    LayersGrid->Repaint();
}

void TfrmMain::PrepareLayersMenu() { actDeleteLayer->setEnabled(FCurrentLayer != nullptr); }

void TfrmMain::NewLayer() {
    TOrvexLayer* Layer = View->AddLayer("New layer");
    Undo->RecordNewLayer(*Layer);
    SetCurrentLayer(Layer);
    LayersGrid->SetRowCount(View->LayerCount());
    LayersGrid->SetCursorRow(Layer->Index());
    LayersGrid->Repaint();
}

void TfrmMain::DeleteLayer() {
    TOrvexLayer* Layer = FCurrentLayer;
    if (!Layer) return;
    Undo->RecordDeleteLayer(*Layer, [&] {
        ReleaseLayer(Layer);
        Layer->Delete();
    });
    SetCurrentLayer(nullptr);
    LayersGrid->SetRowCount(View->LayerCount());
    RepaintGrids();
}

// ---------------------------------------------------------------------------------------
// Objects

bool TfrmMain::PrepareObjectsMenu() {
    if (!FCurrentLayer) return false;
    for (QAction* A : {actMoveToLayer, actCopyToLayer, actDeleteObject}) A->setEnabled(FCurrentObject != nullptr);
    return true;
}

void TfrmMain::ObjectAdded(TOrvexObject* Obj) {
    SetCurrentObject(Obj);
    ObjectsGrid->SetRowCount(FCurrentLayer->ObjectCount());
    ObjectsGrid->SetCursorRow(Obj->Index());
    RepaintGrids();
}

void TfrmMain::NewGeoDataObject() {
    if (!FCurrentLayer) return;
    ObjectAdded(Undo->RecordNewObject(
        "New GeoDataObject", [this] { return TGeoDataObject::Create(FCurrentLayer, nullptr, 0, "New GeoData"); }));
}

void TfrmMain::NewBitmapObject() {
    if (!FCurrentLayer) return;
    ObjectAdded(Undo->RecordNewObject(
        "New BitmapObject", [this] { return TBitmapObject::Create(FCurrentLayer, nullptr, 0, "New Bitmap"); }));
}

void TfrmMain::ObjectsCommand(int Tag) {
    TOrvexLayer* Source = FCurrentLayer;
    if (!Source || !FCurrentObject) return;
    TOrvexLayer* Target = nullptr;
    if (Tag == 1 || Tag == 2) {
        Target = SelectLayer(*View, this);
        if (!Target) return;
    }
    // The selected rows, bottom row first.
    std::vector<TOrvexObject*> Objects;
    std::vector<int> Rows = ObjectsGrid->SelectedRows();
    for (auto Row = Rows.rbegin(); Row != Rows.rend(); ++Row)
        if (TOrvexObject* O = Source->GetObject(*Row)) Objects.push_back(O);

    struct TRefresh {
        TfrmMain& Main;
        TOrvexLayer* Source;
        ~TRefresh() {
            Main.SetCurrentObject(nullptr);
            Main.ObjectsGrid->SetRowCount(Source->ObjectCount());
            Main.RepaintGrids();
        }
    } Refresh{*this, Source};
    if (Tag == -1) {
        Undo->RecordDeleteObjects(*Source, Objects, [&] {
            for (TOrvexObject* O : Objects) ReleaseObject(O);
            for (TOrvexObject* O : Objects) O->Delete();
            Source->SetExtents(TExtent{});
        });
        return;
    }
    Undo->RecordContents(Tag == 1 ? "Move To Layer" : "Copy To Layer", {Source, Target}, [&] {
        if (Tag == 1) MoveObjects(Objects, Target);
        if (Tag == 2) CopyObjects(Objects, Target);
        // The layer's extent is made afresh from the objects that are left.
        if (Tag == 1) Source->SetExtents(TExtent{});
    });
}

// ---------------------------------------------------------------------------------------
// Presenters

bool TfrmMain::PreparePresentersMenu() {
    if (!FCurrentLayer) return false;
    const int Row = PresentersGrid->CursorRow(), G = GlobalPresenterCount();
    actMakeGlobal->setEnabled(Row >= G && Row < G + FCurrentLayer->PresenterCount());
    actDeletePresenter->setEnabled(FCurrentPresenter != nullptr);
    return true;
}

void TfrmMain::UpdatePresenterRows() {
    PresentersGrid->SetRowCount(GlobalPresenterCount() +
                                (FCurrentLayer && FCurrentPresenter ? FCurrentLayer->PresenterCount() : 0));
    RepaintGrids();
}

void TfrmMain::NewPresenter(int Tag) {
    if (!FCurrentLayer) return;
    TOrvexPresenter* P = nullptr;
    switch (Tag) {
        case 0: P = TOrvexPresenter::CreateNamed<TPointPresenter>(FCurrentLayer, 0, ""); break;
        case 1: P = TOrvexPresenter::CreateNamed<TPolylinePresenter>(FCurrentLayer, 0, ""); break;
        case 2: P = TOrvexPresenter::CreateNamed<TPolygonPresenter>(FCurrentLayer, 0, ""); break;
        default: return;
    }
    Undo->RecordNewPresenter(*P);
    SetCurrentPresenter(P);
    PresentersGrid->SetRowCount(GlobalPresenterCount() + FCurrentLayer->PresenterCount());
    PresentersGrid->SetCursorRow(PresenterRow(P));
    RepaintGrids();
}

void TfrmMain::DeletePresenter() {
    TOrvexPresenter* P = FCurrentPresenter;
    if (!P) return;
    Undo->RecordDeletePresenter(*P, [&] {
        ReleasePresenter(P);
        P->Delete();
    });
    PresentersGrid->SetRowCount(GlobalPresenterCount() + (FCurrentLayer ? FCurrentLayer->PresenterCount() : 0));
    RepaintGrids();
}

void TfrmMain::MakeGlobal() {
    if (!FCurrentLayer) return;
    const int Row = PresentersGrid->CursorRow(), G = GlobalPresenterCount();
    if (Row < G) return;
    TOrvexPresenter* P = FCurrentLayer->GetPresenter(Row - G);
    if (!P) return;
    Undo->RecordMakeGlobal(*P, [&] { P->MoveToLayer(View->GlobalLayer()); });
    RepaintGrids();
}

// The file commands of the main window: a new map, loading, saving, importing and printing.
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QPrintDialog>
#include <QPrinter>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <set>
#include <unistd.h>

#include "editor/EditorErrors.h"
#include "editor/Inspector.h"
#include "editor/ListGrid.h"
#include "editor/ProgressPanel.h"
#include "editor/RecentFiles.h"
#include "editor/Undo.h"
#include "editor/uMain.h"
#include "foundation/OXUtils.h"
#include "foundation/ProgressAborted.h"
#include "importers/E002Orvex.h"
#include "importers/ImportSupport.h"
#include "importers/Mif2Orvex.h"
#include "importers/SHP2Orvex.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "platform/DeviceContext.h"
#include "platform/FilePaths.h"
#include "platform/Text.h"
#include "platform/UiServices.h"
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
    // A layer loaded from a file is named after it, extension and all.
    const size_t Ext = std::strlen(kLayerExt);
    const bool HasExt = File.size() > Ext && std::equal(File.end() - Ext, File.end(), kLayerExt, [](char A, char B) {
                            return std::tolower(static_cast<unsigned char>(A)) == B;
                        });
    if (HasExt) return File;
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

}  // namespace

// ---------------------------------------------------------------------------------------
// File menu

void TfrmMain::FileNew() {
    Undo->Clear();
    SetCurrentLayer(nullptr);
    FView->Clear();
    SetActivePage(pgLayers);
    LayersGrid->SetRowCount(1);
    ObjectsGrid->SetRowCount(1);
    PresentersGrid->SetRowCount(GlobalPresenterCount());
    RepaintGrids();
    RestoreCaption();
}

void TfrmMain::LoadLayers() {
    OpenDialog.Filter = "*.lyr|*.lyr";
    OpenDialog.InitialDir = LastFolder();
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
    if (File != FView->ProfileName()) {
        Undo->Clear();
        SetCurrentLayer(nullptr);
    }
    RunLoad([&] { FView->SetProfileName(File); });
    if (FView->Profile()) NoteRecent(true, File);
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
    const std::string Profile = SplitPath(FView->ProfileName()).Directory;
    if (WritableFolder(Profile)) return WithSlash(Profile);
    return WithSlash(PathFromQString(QDir::homePath()));
}

void TfrmMain::SaveAllLayers() {
    const std::string Folder = SaveAllFolder();
    const std::vector<TOrvexLayer*> Layers(FView->Layers());
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
    const std::string Current = FView->ProfileName();
    SaveDialog.Filter = "*.prf|*.prf";
    SaveDialog.InitialDir = Current.empty() ? ProgramFolder : SplitPath(Current).Directory;
    SaveDialog.FileName = Current;
    if (!SaveDialog.Execute()) return;
    FView->SaveProfile(SaveDialog.FileName);
    NoteRecent(true, SaveDialog.FileName);
    // A profile lists layer files: a layer never saved to one is not in it, and the user
    // must not take the saved profile for the whole working set.
    std::string Missing;
    for (const TOrvexLayer* L : FView->Layers())
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
    OpenDialog.InitialDir = LastFolder();
    OpenDialog.AllowMultiSelect = true;
    OpenDialog.FileName.clear();
    if (!OpenDialog.Execute()) return;
    ImportFiles(Kind, std::vector<std::string>(OpenDialog.Files));
}

void TfrmMain::ImportFiles(TImportKind Kind, const std::vector<std::string>& Files) {
    RunLoad([&] {
        switch (Kind) {
            case ikE00: ImportE00(Files, *FView); break;
            case ikMIF: ImportMIF(Files, *FView); break;
            case ikSHP: ImportSHP(Files, *FView); break;
        }
    });
    // The layers made before a failure stay, and the grids show them.
    AfterLoad(true);
}

void TfrmMain::Print() {
    if (!FPrinter) FPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintDialog Dialog(FPrinter.get(), this);
    // Two choices of the map's own, kept with the recent files for the next print.
    auto* Options = new QWidget;
    Options->setWindowTitle("Map");
    auto* Fit = new QCheckBox("Fit the map to the page", Options);
    Fit->setObjectName("chkFitToPage");
    Fit->setChecked(RememberedSetting("Print/FitToPage", true).toBool());
    auto* Background = new QCheckBox("Print the background colour", Options);
    Background->setObjectName("chkPrintBackground");
    Background->setChecked(RememberedSetting("Print/Background").toBool());
    auto* Layout = new QVBoxLayout(Options);
    Layout->addWidget(Fit);
    Layout->addWidget(Background);
    Layout->addStretch();
    Dialog.setOptionTabs({Options});
    if (!UiServices().ExecDialog(Dialog)) return;
    RememberSetting("Print/FitToPage", Fit->isChecked());
    RememberSetting("Print/Background", Background->isChecked());
    FView->Print(*FPrinter, TOrvex3::TPrintOptions{Fit->isChecked(), Background->isChecked()});
}

// ---------------------------------------------------------------------------------------
// Loading

void TfrmMain::NoteLoadError(const std::string& Text) {
    if (!Text.empty() && std::find(FLoadErrors.begin(), FLoadErrors.end(), Text) == FLoadErrors.end())
        FLoadErrors.push_back(Text);
}

void TfrmMain::RunLoad(const std::function<void()>& Action) {
    if (FLoading == 0) FLoadErrors.clear();
    ++FLoading;
    try {
        const TProgressScope Busy(*Progress);
        Action();
    } catch (const EProgressAborted&) {
        // The user's own choice needs no message; what failed before it is still reported.
    } catch (const EImportAborted& Error) {
        // Its reason went out through progress already, unless nobody was listening.
        if (FLoadErrors.empty()) NoteLoadError(Error.what());
    } catch (const std::exception& Error) {
        NoteLoadError(Error.what());
    }
    --FLoading;
    RestoreCaption();
    if (FLoading == 0) ShowLoadErrors();
}

void TfrmMain::ShowLoadErrors() {
    if (FLoadErrors.empty()) return;
    std::string Text;
    for (const std::string& E : FLoadErrors) Text += (Text.empty() ? "" : "\n") + E;
    FLoadErrors.clear();
    UiServices().ShowMessage(kEditorCaption, Text, mkWarning);
}

TOrvexLayer* TfrmMain::LoadLayerFile(const std::string& Path, const std::string& Name) {
    const TPersistentRef<TOrvexLayer> Layer = FView->AddLayer(Name);
    try {
        Layer->SetFilename(Path);
    } catch (const EProgressAborted&) {
        if (Layer) Layer->Delete();
        throw;
    } catch (const std::exception& Error) {
        // Half a layer, or one that would try its file again at every render, is worse than
        // none: it goes, and the failure is reported.
        if (Layer) Layer->Delete();
        // The reader's message may not say which file it was reading.
        const std::string Text = Error.what();
        if (Text.find(Path) != std::string::npos) throw;
        throw EOrvexException(Format("Cannot load the layer file %s: %s", Path.c_str(), Text.c_str()));
    }
    NoteRecent(false, Path);
    return Layer;
}

void TfrmMain::AfterLoad(bool Import) {
    SetActivePage(pgLayers);
    LayersGrid->SetRowCount(FView->LayerCount() + 1);
    if (FView->LayerCount() > 0 && (Import || !FCurrentLayer)) SetCurrentLayer(FView->GetLayer(FView->LayerCount() - 1));
    if (FCurrentLayer) LayersGrid->SetCursorRow(FCurrentLayer->Index());
    RepaintGrids();
    RestoreCaption();
}

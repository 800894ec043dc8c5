#include "editor/Tour.h"

#include <QComboBox>
#include <QDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include "editor/CommandRegistry.h"
#include "editor/InplaceGrid.h"
#include "editor/Inspector.h"
#include "editor/OXProp.h"
#include "editor/uMain.h"
#include "importers/GdalIO.h"
#include "platform/AtomicFile.h"
#include "platform/FilePaths.h"
#include "platform/MessageBox.h"
#include "platform/Text.h"
#include "platform/UiServices.h"
#include "projections/PrjRegistry.h"

namespace {

// Long enough for a file dialog to list its folder, short enough not to slow a tour that
// never gets the listing (an unreadable folder).
constexpr int kFolderListingWaitMs = 1000;

// What a dialog is answered with: rejected, or (a file dialog) a file the tour provides.
enum TChoice : uint8_t { chReject, chEarthTexture, chSampleShapefile, chSampleE00, chPictureFile };

// A dialog or message box the tour expects to open, the picture it takes of it and the answer.
struct TPlanned {
    const char* Picture;
    TChoice Choice = chReject;
    bool Message = false;
};

// A command, run as its menu item runs it, and the dialogs it opens in turn.
struct TDialogStep {
    const char* Command;
    std::vector<TPlanned> Dialogs;
    bool NeedsGdal = false;
};

const TDialogStep kTextureStep{"actTexture", {{"dialog-texture.png", chEarthTexture}}};

// The imports come last: the files they choose make the samples' folder the last one used.
const std::vector<TDialogStep>& DialogSteps() {
    static const std::vector<TDialogStep> Steps = {
        {"actLoadLayer", {{"dialog-load-layer.png"}}},
        {"actLoadProfile", {{"dialog-load-profile.png"}}},
        {"actSaveLayer", {{"dialog-save-layer.png"}}},
        {"actSaveProfile", {{"dialog-save-profile.png"}}},
        {"actImportMIF", {{"dialog-import-mif-file.png"}}},
        {"actImportOther", {{"dialog-import-other-file.png"}}, true},
        {"actExportLayer", {{"dialog-export-layer.png"}}, true},
        {"actPrint", {{"dialog-print.png"}}},
        {"actExportImage", {{"dialog-export-image-file.png", chPictureFile}, {"dialog-export-image.png"}}},
        {"actFind", {{"dialog-find.png"}}},
        {"actMoveToLayer", {{"dialog-select-layer.png"}}},
        {"actStatistics", {{"dialog-statistics.png", chReject, true}}},
        {"actImportE00", {{"dialog-import-e00-file.png", chSampleE00}, {"dialog-import-e00.png"}}},
        {"actImportSHP", {{"dialog-import-shp-file.png", chSampleShapefile}, {"dialog-import-shp.png"}}},
    };
    return Steps;
}

// The inspector's editors, opened row by row along Path from the inspected presenter
// ("PolygonPen", "PenColor": the colour of its pen) as double clicks on the rows open them;
// or from what Command shows in the inspector.
struct TInspectorStep {
    std::vector<const char*> Path;
    const char* Picture;
    const char* Command = nullptr;
};

const std::vector<TInspectorStep>& InspectorSteps() {
    static const std::vector<TInspectorStep> Steps = {
        {{"PolygonPen", "PenColor"}, "dialog-colour.png"},
        {{"TitleFont", "FontName"}, "dialog-font-name.png"},
        {{"TitleFont", "FontStyle"}, "dialog-set-members.png"},
        {{"XRotation"}, "dialog-orvex-units.png", "actProjectionProperties"},
    };
    return Steps;
}

const char* const kMainWindowPicture = "main-window.png";
const char* const kInspectorPicture = "inspector-presenter.png";

std::string ProjectionPicture(const TProjectionInfo& P) { return "projection-" + P.Key + ".png"; }

// UI services that open every dialog and message box for real, take its picture as soon as
// it shows and answer it as the tour planned. What the tour did not plan is rejected unseen.
class TTourUiServices : public TScriptedUiServices {
public:
    struct TAnswer {
        std::string Picture;
        std::string File;  // a file dialog's answer; empty rejects
        bool Message = false;
    };
    std::function<void(QWidget&, const std::string& Picture)> OnPicture;
    std::deque<TAnswer> Plan;

    TTourUiServices() { DefaultAnswer = false; }

    void ShowMessage(const std::string& Caption, const std::string& Text, TMessageKind Kind) override {
        TScriptedUiServices::ShowMessage(Caption, Text, Kind);
        if (Plan.empty() || !Plan.front().Message) return;
        const std::unique_ptr<QDialog> Box = MakeMessageBox(Caption, Text, Kind);
        Show(*Box, Next());
    }

    bool ExecDialog(QDialog& Dialog) override {
        ++DialogCount;
        if (Plan.empty() || Plan.front().Message) return false;
        return Show(Dialog, Next());
    }

private:
    TAnswer Next() {
        TAnswer A = std::move(Plan.front());
        Plan.pop_front();
        return A;
    }

    // Runs Dialog modally, as the window does; its picture is taken from inside its own loop.
    bool Show(QDialog& Dialog, const TAnswer& A) {
        auto* Files = qobject_cast<QFileDialog*>(&Dialog);
        QEventLoop Listing;
        if (auto* Model = Files ? Files->findChild<QFileSystemModel*>() : nullptr)
            QObject::connect(Model, &QFileSystemModel::directoryLoaded, &Listing, &QEventLoop::quit);
        // Chosen before it shows, as a typed name: the picture shows the choice, and a dialog
        // on show leaves the name the user is typing alone.
        if (Files && !A.File.empty()) Files->selectFile(PathToQString(A.File));
        QTimer::singleShot(0, &Dialog, [&] {
            // A file dialog lists its folder in a thread of its own; the picture waits for it.
            if (Files) {
                QTimer::singleShot(kFolderListingWaitMs, &Listing, &QEventLoop::quit);
                Listing.exec();
            }
            if (OnPicture && !A.Picture.empty()) OnPicture(Dialog, A.Picture);
            Dialog.done(Files && !A.File.empty() ? QDialog::Accepted : QDialog::Rejected);
        });
        return Dialog.exec() == QDialog::Accepted;
    }
};

void PutLE16(std::string& Bytes, size_t At, uint16_t V) {
    Bytes[At] = char(V & 0xFF);
    Bytes[At + 1] = char(V >> 8);
}

void PutLE32(std::string& Bytes, size_t At, uint32_t V) {
    for (int I = 0; I < 4; ++I) Bytes[At + size_t(I)] = char((V >> (8 * I)) & 0xFF);
}

void PutBE32(std::string& Bytes, size_t At, uint32_t V) {
    for (int I = 0; I < 4; ++I) Bytes[At + size_t(I)] = char((V >> (8 * (3 - I))) & 0xFF);
}

bool WriteFile(const std::string& Path, const std::string& Bytes) {
    TAtomicFile File(Path);
    return File.Write(Bytes.data(), Bytes.size()) && File.Commit();
}

// An empty polygon shapefile with an attribute table of the columns a world map has: enough
// for the import dialog to offer its columns, and nothing to import.
bool WriteSampleShapefile(const std::string& Stem) {
    constexpr uint32_t kFileCode = 9994, kVersion = 1000, kPolygon = 5;
    constexpr size_t kShpHeader = 100;
    std::string Shp(kShpHeader, '\0');
    PutBE32(Shp, 0, kFileCode);
    PutBE32(Shp, 24, kShpHeader / 2);  // in 16-bit words
    PutLE32(Shp, 28, kVersion);
    PutLE32(Shp, 32, kPolygon);

    const struct {
        const char* Name;
        char Type;
        uint8_t Length;
    } Columns[] = {{"NAME", 'C', 40}, {"ISO_A3", 'C', 3}, {"CONTINENT", 'C', 24}, {"POP_EST", 'N', 12}};
    constexpr size_t kDbfHeader = 32, kDescriptor = 32;
    std::string Dbf(kDbfHeader, '\0');
    Dbf[0] = 0x03;  // dBASE III without memo
    Dbf[1] = 126;   // last changed 2026-01-01
    Dbf[2] = 1;
    Dbf[3] = 1;
    uint16_t RecordLength = 1;  // the deletion flag
    for (const auto& C : Columns) {
        std::string D(kDescriptor, '\0');
        D.replace(0, std::char_traits<char>::length(C.Name), C.Name);
        D[11] = C.Type;
        D[16] = char(C.Length);
        Dbf += D;
        RecordLength = uint16_t(RecordLength + C.Length);
    }
    Dbf += '\x0D';
    PutLE16(Dbf, 8, uint16_t(Dbf.size()));
    PutLE16(Dbf, 10, RecordLength);
    Dbf += '\x1A';
    return WriteFile(Stem + ".shp", Shp) && WriteFile(Stem + ".dbf", Dbf);
}

class TTour {
public:
    TTour(TfrmMain& Main, const std::string& Folder) : FMain(Main), FFolder(Folder) {
        if (!FFolder.empty() && FFolder.back() != '/') FFolder += '/';
        FServices.OnPicture = [this](QWidget& W, const std::string& Name) { Take(W, Name); };
    }

    std::vector<std::string> Run() {
        std::error_code Error;
        std::filesystem::create_directories(FFolder, Error);
        if (Error || !std::filesystem::is_directory(FFolder, Error))
            return {"cannot make the folder " + FFolder + ": " + Error.message()};
        if (!PrepareSamples()) FFailures.push_back("cannot write the sample files to " + FSamples);
        // The file dialogs open on the bundled data, which the pictures then show.
        if (const std::string Data = BundledDataDirectory(); !Data.empty()) FMain.ProgramFolder = Data;

        TakeWindow(kMainWindowPicture);
        RunStep(kTextureStep);
        TakeProjections();
        InspectPresenter();
        TakeWindow(kInspectorPicture);
        for (const TInspectorStep& S : InspectorSteps()) RunInspectorStep(S);
        for (const TDialogStep& S : DialogSteps())
            if (!S.NeedsGdal || GdalAvailable()) RunStep(S);
        return FFailures;
    }

private:
    bool PrepareSamples() {
        if (!FScratch.isValid()) return false;
        FSamples = PathFromQString(FScratch.path()) + "/";
        return WriteSampleShapefile(FSamples + "countries") && WriteFile(FSamples + "coast.e00", std::string());
    }

    std::string ChosenFile(TChoice Choice) const {
        switch (Choice) {
            case chEarthTexture: return BundledDataFile("earth.bmp");
            case chSampleShapefile: return FSamples + "countries.shp";
            case chSampleE00: return FSamples + "coast.e00";
            case chPictureFile: return FSamples + "map.png";
            case chReject: break;
        }
        return {};
    }

    void Take(QWidget& W, const std::string& Name) {
        if (SaveWidgetPicture(W, FFolder + Name))
            FTaken.push_back(Name);
        else
            FFailures.push_back(Name + ": cannot write the picture");
    }

    void TakeWindow(const std::string& Name) {
        // Item views lay out their rows from posted events: those come first.
        TQtUiServices().ProcessMessages();
        Take(FMain, Name);
    }

    // After a step every planned picture must be there: a dialog that did not open is a failure.
    void Check(const std::vector<std::string>& Expected) {
        for (const std::string& Name : Expected)
            if (std::find(FTaken.begin(), FTaken.end(), Name) == FTaken.end() &&
                std::find_if(FFailures.begin(), FFailures.end(),
                             [&](const std::string& F) { return F.rfind(Name, 0) == 0; }) == FFailures.end())
                FFailures.push_back(Name + ": the dialog did not open");
        FServices.Plan.clear();
    }

    void RunStep(const TDialogStep& Step) {
        std::vector<std::string> Expected;
        for (const TPlanned& P : Step.Dialogs) {
            FServices.Plan.push_back({P.Picture, ChosenFile(P.Choice), P.Message});
            Expected.push_back(P.Picture);
        }
        {
            const TUiServicesScope Scope(FServices);
            if (!FMain.Commands().Run(Step.Command)) FFailures.push_back(std::string(Step.Command) + ": did not run");
        }
        Check(Expected);
    }

    void TakeProjections() {
        auto* List = FMain.findChild<QComboBox*>("cbProjection");
        const auto& Registry = ProjectionRegistry();
        for (size_t I = 0; I < Registry.size(); ++I) {
            const std::string Name = ProjectionPicture(Registry[I]);
            if (!List || List->count() <= int(I)) {
                FFailures.push_back(Name + ": the projection is not in the list");
                continue;
            }
            // As a pick from the list, and then the whole map, as the user would see it first.
            List->setCurrentIndex(int(I));
            emit List->activated(int(I));
            FMain.Commands().Run("actZoomReset");
            TakeWindow(Name);
        }
        if (List) {
            List->setCurrentIndex(0);
            emit List->activated(0);
            FMain.Commands().Run("actZoomReset");
        }
    }

    // The presenters page with the current object's presenter, opened in the inspector as a
    // double click on its row opens it.
    void InspectPresenter() {
        auto* Pages = FMain.findChild<QTabWidget*>("PageControl");
        if (!Pages) return;
        Pages->setCurrentIndex(TfrmMain::pgPresenters);
        FMain.Commands().Perform("PresentersGridDblClick", [&] { FMain.GridDblClick(TfrmMain::pgPresenters); });
    }

    // Opens the property Path of the presenter in the inspector, row by row, then returns to it.
    void RunInspectorStep(const TInspectorStep& Step) {
        auto* Inspector = FMain.findChild<TInspector*>();
        const TPersistentRef<TPersistent> Root(Inspector ? Inspector->HistoryEntry(0) : nullptr);
        if (!Root) {
            FFailures.push_back(std::string(Step.Picture) + ": the inspector shows no presenter");
            return;
        }
        FServices.Plan.push_back({Step.Picture, std::string(), false});
        {
            const TUiServicesScope Scope(FServices);
            if (Step.Command) FMain.Commands().Run(Step.Command);
            for (const char* Name : Step.Path) {
                const int Row = PropertyRow(*Inspector, Name);
                if (Row < 0) break;
                Inspector->PropertyGrid->SetCursor(1, Row);
                FMain.Commands().Perform("EditProperty", [&] { Inspector->EditProperty(); });
            }
            FMain.Commands().Perform("InspectPresenter", [&] {
                if (Root) Inspector->InspectRoot(Root);
                FMain.SetActivePage(TfrmMain::pgInspector);
            });
        }
        Check({Step.Picture});
    }

    static int PropertyRow(const TInspector& Inspector, const char* Name) {
        const TOrvexProperties* Props = Inspector.Properties();
        if (!Props) return -1;
        for (int Row = 0; Row < Props->Count(); ++Row)
            if (Props->PropName(Row) == Name) return Row;
        return -1;
    }

    TfrmMain& FMain;
    std::string FFolder;
    QTemporaryDir FScratch;
    std::string FSamples;
    TTourUiServices FServices;
    std::vector<std::string> FTaken;
    std::vector<std::string> FFailures;
};

}  // namespace

bool SaveWidgetPicture(QWidget& Widget, const std::string& Path) {
    // Written whole or not at all, as every file the programs write.
    TAtomicFile File(Path, TAtomicFile::TWriter::ByName);
    return !File.Failed() && Widget.grab().save(PathToQString(File.TempPath()), "PNG") && File.Commit();
}

std::vector<std::string> TourPictureNames() {
    std::vector<std::string> Names{kMainWindowPicture};
    for (const TPlanned& P : kTextureStep.Dialogs) Names.push_back(P.Picture);
    for (const TProjectionInfo& P : ProjectionRegistry()) Names.push_back(ProjectionPicture(P));
    Names.push_back(kInspectorPicture);
    for (const TInspectorStep& S : InspectorSteps()) Names.push_back(S.Picture);
    for (const TDialogStep& S : DialogSteps())
        if (!S.NeedsGdal || GdalAvailable())
            for (const TPlanned& P : S.Dialogs) Names.push_back(P.Picture);
    return Names;
}

std::vector<std::string> RunTour(TfrmMain& Main, const std::string& Folder) { return TTour(Main, Folder).Run(); }

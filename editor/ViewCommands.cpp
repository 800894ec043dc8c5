// The view commands of the main window: zoom, projections, the sphere's look and statistics.
#include <QComboBox>
#include <QSignalBlocker>
#include <filesystem>

#include "editor/EditorErrors.h"
#include "editor/Inspector.h"
#include "editor/RecentFiles.h"
#include "editor/uMain.h"
#include "foundation/OXUtils.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "platform/Text.h"
#include "platform/UiServices.h"
#include "projections/PrjRegistry.h"
#include "view/Orvex3.h"

void TfrmMain::SetMeasuring(bool On) {
    if (On == FMeasuring) return;
    FMeasuring = On;
    FMeasurePath.Clear();
    // Right clicks end the measurement instead of starting a zoom band.
    FView->MouseZoomButton = On ? mzbNone : mzbRight;
    FMeasureOverlay->setVisible(On);
    FMeasureOverlay->update();
    if (On)
        FMapStatus->ShowMeasure(FMeasurePath);
    else
        FMapStatus->ClearMeasure();
}

void TfrmMain::SetCoordinateStyle(TCoordinateStyle Style) {
    FMapStatus->SetCoordinateStyle(Style);
    RememberSetting("View/Coordinates", Style == TCoordinateStyle::Decimal ? "decimal" : "dms");
}

std::string TfrmMain::LastFolder() const {
    const std::string Folder = PathFromQString(RememberedSetting("Window/LastFolder").toString());
    std::error_code Error;
    if (Folder.empty() || !std::filesystem::is_directory(Folder, Error)) return ProgramFolder;
    return Folder.back() == '/' ? Folder : Folder + "/";
}

void TfrmMain::ZoomExtents() { FView->ZoomToScale(0); }

void TfrmMain::ToggleTransparent() {
    FView->SetTransparentOrvex(!FView->TransparentOrvex());
    FView->SetTextureBackground(false);
}

void TfrmMain::ChooseTexture() {
    OpenDialog.Filter = "*.bmp|*.bmp";
    OpenDialog.InitialDir = LastFolder();
    OpenDialog.AllowMultiSelect = false;
    OpenDialog.FileName.clear();
    if (!OpenDialog.Execute()) {
        FView->SetTextureBackground(false);
        return;
    }
    const std::string File = OpenDialog.FileName;
    FView->SetTextureFilename(File);
    FView->SetTextureBackground(true);
    FView->SetTransparentOrvex(false);
    if (FView->TextureFilename() != File)
        throw EOrvexException(
            Format("%s cannot be used as a texture: it is not an uncompressed 256-colour bitmap", File.c_str()));
}

std::string TfrmMain::StatisticsText() const {
    int64_t Presenters = 0, Objects = 0, Points = 0;
    for (const TOrvexLayer* L : FView->Layers()) {
        Presenters += L->PresenterCount();
        Objects += L->ObjectCount();
        for (const TOrvexObject* O : L->Objects()) Points += O->GetPointCount();
    }
    return Format("Layers = %d\nPresenters = %lld\nObjects = %lld\nPoints = %lld", FView->LayerCount(),
                  static_cast<long long>(Presenters), static_cast<long long>(Objects), static_cast<long long>(Points));
}

void TfrmMain::ShowStatistics() { UiServices().ShowMessage(kEditorCaption, StatisticsText()); }

void TfrmMain::ShowProjectionProperties() {
    Inspector->InspectRoot(FView->ProjectionModel());
    SetActivePage(pgInspector);
}

void TfrmMain::Zoom(int Tag) {
    if (Tag == 0)
        FView->SetAltitude(0);
    else
        FView->SetAltitude(RoundSaturate(static_cast<long double>(FView->Altitude()) * Tag * 0.01L));
}

void TfrmMain::ChooseProjection(int Index) {
    const auto& Registry = ProjectionRegistry();
    if (Index < 0 || Index >= static_cast<int>(Registry.size())) return;
    // The projection object shown in the inspector is replaced: the new one is shown.
    const bool Shown = Inspector->HistoryEntry(0) == FView->ProjectionModel();
    FView->SetProjectionModel(Registry[static_cast<size_t>(Index)].Create(FView));
    if (Shown) Inspector->InspectRoot(FView->ProjectionModel());
    const QSignalBlocker Blocker(cbProjection);
    cbProjection->setCurrentIndex(Index);
}


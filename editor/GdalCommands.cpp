// "Import Other Formats..." and "Export Layer...": the vector formats of GDAL.
#include "editor/EditorErrors.h"
#include "editor/uMain.h"
#include "importers/E002Orvex.h"
#include "importers/GdalIO.h"
#include "importers/ImportSupport.h"
#include "importers/Mif2Orvex.h"
#include "importers/SHP2Orvex.h"
#include "model/OrvexLayer.h"
#include "platform/Hourglass.h"
#include "platform/Text.h"
#include "platform/UiServices.h"

void TfrmMain::ImportOtherFormats() {
    if (!GdalAvailable()) throw EOrvexException(GdalUnavailableText());
    OpenDialog.Filter = "Vector data (GDAL)|" + GdalImportPatterns() + "|All files|*";
    OpenDialog.InitialDir = LastFolder();
    OpenDialog.AllowMultiSelect = true;
    OpenDialog.FileName.clear();
    if (!OpenDialog.Execute()) return;
    const std::vector<std::string> Files = OpenDialog.Files;
    RunLoad([&] {
        // The formats with importers of their own keep them.
        for (const std::string& File : Files) {
            if (HasExtension(File, ".shp"))
                ImportSHP({File}, *FView);
            else if (HasExtension(File, ".mif"))
                ImportMIF({File}, *FView);
            else if (HasExtension(File, ".e00"))
                ImportE00({File}, *FView);
            else
                ImportGDAL({File}, *FView);
        }
    });
    AfterLoad(true);
}

void TfrmMain::ExportLayer() {
    if (!GdalAvailable()) throw EOrvexException(GdalUnavailableText());
    if (!FCurrentLayer) {
        UiServices().ShowMessage(kEditorCaption, "Choose the layer to export on the Layers page first.");
        return;
    }
    SaveDialog.Filter = "GeoPackage (*.gpkg)|*.gpkg|GeoJSON (*.geojson)|*.geojson";
    SaveDialog.InitialDir = FCurrentLayer->Directory().empty() ? ProgramFolder : FCurrentLayer->Directory();
    // The name is text; the proposed file is named in the file system's bytes.
    SaveDialog.FileName = (FCurrentLayer->Name().empty() ? std::string("layer") : PathFromText(FCurrentLayer->Name())) + ".gpkg";
    if (!SaveDialog.Execute()) return;
    std::string Path = SaveDialog.FileName;
    if (!CanExportGDAL(Path)) Path += ".gpkg";
    const THourglass Busy;
    ExportGDAL(*FCurrentLayer, Path);
}

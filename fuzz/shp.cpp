// The shapefile importer on arbitrary .shp bytes (without a table).
#include "FuzzImport.h"
#include "importers/ImportSupport.h"
#include "importers/SHP2Orvex.h"
#include "importers/TfrmSHPImport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    TOrvex3& View = FuzzView();
    TSHPImportPresetOptions Options;
    try {
        ImportSHP({FuzzFile(".shp", Data, Size)}, View, &Options);
    } catch (const EOrvexException&) {
    }
    return 0;
}

// The E00 importer on arbitrary bytes, every record kind on, any projection accepted.
#include "FuzzImport.h"
#include "importers/E002Orvex.h"
#include "importers/ImportSupport.h"
#include "importers/TfrmE00Import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    TOrvex3& View = FuzzView();
    TE00ImportPresetOptions Options;
    Options.AcceptUnknownProjection = true;
    try {
        ImportE00({FuzzFile(".e00", Data, Size)}, View, &Options);
    } catch (const EOrvexException&) {
    }
    return 0;
}

// The MIF importer on arbitrary bytes: up to the first NUL byte the .mif, after it the .mid.
#include <cstring>

#include "FuzzImport.h"
#include "importers/ImportSupport.h"
#include "importers/Mif2Orvex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    TOrvex3& View = FuzzView();
    const auto* Nul = static_cast<const uint8_t*>(std::memchr(Data, 0, Size));
    const size_t MifSize = Nul ? size_t(Nul - Data) : Size;
    const std::string Mif = FuzzFile(".mif", Data, MifSize);
    const std::string Mid = Mif.substr(0, Mif.size() - 4) + ".mid";
    if (Nul)
        FuzzFile(".mid", Nul + 1, Size - MifSize - 1);
    else
        std::remove(Mid.c_str());
    try {
        ImportMIF({Mif}, View);
    } catch (const EOrvexException&) {
    } catch (const EImportAborted&) {
    }
    return 0;
}

// The MIF importer on arbitrary bytes (the .mif, a NUL byte, the .mid).
#include "FuzzImport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    FuzzReaders::Mif(FuzzView(), FuzzFolder(), Data, Size);
    return 0;
}

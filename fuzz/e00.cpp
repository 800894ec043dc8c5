// The E00 importer on arbitrary bytes.
#include "FuzzImport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    FuzzReaders::E00(FuzzView(), FuzzFolder(), Data, Size);
    return 0;
}

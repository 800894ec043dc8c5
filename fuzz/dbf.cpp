// The dBASE reader on arbitrary bytes.
#include "FuzzImport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    FuzzReaders::Dbf(FuzzView(), FuzzFolder(), Data, Size);
    return 0;
}

// The 256-colour bitmap reader on arbitrary bytes.
#include "FuzzImport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    FuzzReaders::Bitmap(FuzzView(), FuzzFolder(), Data, Size);
    return 0;
}

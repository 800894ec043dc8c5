// The INI reader and the view's profile loading on arbitrary bytes.
#include "FuzzImport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    FuzzReaders::Profile(FuzzView(), FuzzFolder(), Data, Size);
    return 0;
}

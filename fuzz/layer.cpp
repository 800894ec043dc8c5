// The layer file reader on arbitrary bytes; a loaded layer renders and saves to records
// that read back to the same save.
#include <cstdio>
#include <cstdlib>

#include "FuzzImport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    try {
        FuzzReaders::Layer(FuzzView(), FuzzFolder(), Data, Size);
    } catch (const FuzzReaders::ERoundTripFault& Fault) {
        std::fprintf(stderr, "%s\n", Fault.what());
        if (std::getenv("FUZZ_DUMP")) {
            for (uint8_t B : Fault.First) std::fprintf(stderr, "%02x", B);
            std::fprintf(stderr, "\n");
            for (uint8_t B : Fault.Second) std::fprintf(stderr, "%02x", B);
            std::fprintf(stderr, "\n");
        }
        std::abort();
    }
    return 0;
}

// The shapefile importer on arbitrary bytes (a table length, the .dbf, the .shp).
#include "FuzzImport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    FuzzReaders::Shp(FuzzView(), FuzzFolder(), Data, Size);
    return 0;
}

// The shapefile importer on arbitrary bytes with its table: a uint32 (little-endian) length,
// that many bytes of .dbf, the rest the .shp. A length of 0 means no table beside it.
#include <cstdio>
#include <cstring>

#include "FuzzImport.h"
#include "importers/ImportSupport.h"
#include "importers/ReadDBF.h"
#include "importers/SHP2Orvex.h"
#include "importers/TfrmSHPImport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    TOrvex3& View = FuzzView();
    uint32_t TableSize = 0;
    if (Size >= 4) {
        TableSize = uint32_t(Data[0]) | uint32_t(Data[1]) << 8 | uint32_t(Data[2]) << 16 | uint32_t(Data[3]) << 24;
        Data += 4;
        Size -= 4;
    }
    if (TableSize > Size) TableSize = uint32_t(Size);
    const std::string Shp = FuzzFile(".shp", Data + TableSize, Size - TableSize);
    const std::string Dbf = Shp.substr(0, Shp.size() - 4) + ".dbf";
    if (TableSize)
        FuzzFile(".dbf", Data, TableSize);
    else
        std::remove(Dbf.c_str());
    TSHPImportPresetOptions Options;
    try {
        ImportSHP({Shp}, View, &Options);
    } catch (const EOrvexException&) {
    } catch (const EDBFException&) {
    }
    return 0;
}

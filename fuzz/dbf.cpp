// The dBASE reader on arbitrary bytes: every field of every record.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "importers/ReadDBF.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    try {
        TDBF Table(std::string_view(reinterpret_cast<const char*>(Data), Size));
        for (int32_t I = 0; I < Table.FieldCount(); ++I) Table.FieldName(I);
        while (Table.NextRecord())
            for (int32_t I = 0; I < Table.FieldCount(); ++I) Table.FieldValue(I);
    } catch (const EDBFException&) {
    }
    return 0;
}

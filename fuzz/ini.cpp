// The INI reader on arbitrary bytes: every section, key and value read back in every form.
#include "FuzzImport.h"
#include "platform/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    const TIniFile Ini(FuzzFile(".ini", Data, Size));
    for (const std::string& Section : Ini.ReadSections())
        for (const std::string& Key : Ini.ReadSection(Section)) {
            Ini.ReadString(Section, Key, "");
            Ini.ReadInteger(Section, Key, 0);
            Ini.ReadBool(Section, Key, false);
        }
    return 0;
}

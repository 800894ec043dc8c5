// The INI reader on arbitrary bytes: every section, key and value read back in every form,
// then the same file opened as the view's profile, which loads the layers it lists.
#include "FuzzImport.h"
#include "platform/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    TOrvex3& View = FuzzView();
    const std::string File = FuzzFile(".prf", Data, Size);
    {
        const TIniFile Ini(File);
        for (const std::string& Section : Ini.ReadSections())
            for (const std::string& Key : Ini.ReadSection(Section)) {
                Ini.ReadString(Section, Key, "");
                Ini.ReadInteger(Section, Key, 0);
                Ini.ReadBool(Section, Key, false);
            }
    }
    try {
        View.SetProfileName(File);
    } catch (const EOrvexException&) {
        // Layers that fail are reported and skipped; what else fails is reported to the caller.
    }
    View.SetProfileName("");
    View.SetDataDirectory("");
    return 0;
}

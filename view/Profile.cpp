// Profiles: an INI file that names the data directory and the layer files of a working
// set, with each layer's display settings in a section of its own (the layer reads and
// writes that section itself).

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "foundation/ProgressAborted.h"
#include "model/OrvexLayer.h"
#include "platform/FilePaths.h"
#include "platform/Hourglass.h"
#include "platform/IniFile.h"
#include "platform/UiServices.h"
#include "view/Orvex3.h"

namespace {
const char* const GlobalSection = "Global Settings";
const char* const ListSection = "LayerList";
const char* const AntialiasingKey = "Antialiasing";
// Keys of the layer list run from 0 up to this at most.
constexpr int32_t LastListKey = 32767;

// The file a profile name stands for: a name without a folder lies in the program's folder.
std::string ProfilePath(const std::string& FileName) {
    const TSplitPath P = SplitPath(FileName);
    return (P.Directory.empty() ? ProgramDirectory() : P.Directory) + P.Name;
}

// '/' here; a drive ("C:") or a share ("\\server") in a profile written on Windows.
bool IsAbsolute(const std::string& Path) {
    if (Path.empty()) return false;
    if (Path[0] == '/' || Path[0] == '\\') return true;
    return Path.size() >= 2 && Path[1] == ':' && std::isalpha(static_cast<unsigned char>(Path[0]));
}

// A folder with a trailing separator: the kind it already uses, '/' when it has none.
std::string WithSeparator(std::string Dir) {
    if (Dir.empty() || Dir.back() == '/' || Dir.back() == '\\') return Dir;
    const bool Windows = Dir.find('\\') != std::string::npos && Dir.find('/') == std::string::npos;
    Dir += Windows ? '\\' : '/';
    return Dir;
}

// The file a layer-list entry of a profile in ProfileFolder names. A bare name is looked
// up in the data directory (in the profile's folder when there is none), a relative path
// from the profile's folder, an absolute path as it stands.
std::string EntryPath(const std::string& Entry, const std::string& ProfileFolder, const std::string& DataDirectory) {
    if (IsAbsolute(Entry)) return Entry;
    if (SplitPath(Entry).Directory.empty() && !DataDirectory.empty()) return DataDirectory + Entry;
    return ProfileFolder + Entry;
}

namespace fs = std::filesystem;

// A folder made absolute and normal, without a trailing separator. Paths stay the file
// system's bytes throughout: a profile keeps the names exactly as the layers hold them.
fs::path AbsoluteFolder(const std::string& Dir) {
    std::error_code Error;
    fs::path P = fs::absolute(Dir.empty() ? fs::path(".") : fs::path(NativePath(Dir)), Error).lexically_normal();
    if (P.has_relative_path() && !P.has_filename()) P = P.parent_path();
    return P;
}

// How a profile in ProfileFolder names the layer's file so that EntryPath finds it again.
std::string EntryFor(const TOrvexLayer& L, const std::string& ProfileFolder, const std::string& DataDirectory) {
    const TSplitPath File = SplitPath(L.Directory() + L.Filename());
    const fs::path Folder = AbsoluteFolder(File.Directory);
    const fs::path Base = AbsoluteFolder(ProfileFolder);
    if (Folder == (DataDirectory.empty() ? Base : AbsoluteFolder(DataDirectory))) return File.Name;
    const fs::path Target = Folder / File.Name;
    std::string Relative = Target.lexically_relative(Base).string();
    if (Relative.empty()) return Target.string();
    // A bare name would be looked up in the data directory instead.
    if (SplitPath(Relative).Directory.empty()) Relative = "./" + Relative;
    return Relative;
}
}  // namespace

std::string TOrvex3::ProfileName() const { return FProfile ? FProfile->FileName() : std::string(); }

void TOrvex3::OpenProfile(const std::string& Name) {
    if (Name == ProfileName() || (!Name.empty() && ProfilePath(Name) == ProfileName())) return;
    Clear();
    if (Name.empty()) return;
    THourglass Hourglass;
    FProfile = std::make_unique<TIniFile>(ProfilePath(Name));
    // A handler that clears the view while layers load ends the loading.
    const TIniFile* Ini = FProfile.get();
    FDataDirectory = WithSeparator(Ini->ReadString(GlobalSection, "DataDirectory", FDataDirectory));
    // Profiles from before smooth drawing have no key: they are drawn as they always were.
    SetAntialiasing(Ini->ReadBool(GlobalSection, AntialiasingKey, false));
    const std::string Folder = SplitPath(Ini->FileName()).Directory;
    for (int32_t I = 0; I <= LastListKey && FProfile.get() == Ini; ++I) {
        const std::string Entry = Ini->ReadString(ListSection, std::to_string(I), "");
        if (Entry.empty()) break;
        TOrvexLayer* L = AddLayer("");
        try {
            L->SetFilename(EntryPath(Entry, Folder, FDataDirectory));
        } catch (const EOrvexException& E) {
            UiServices().ShowMessage("TOrvex3 Component", E.what(), mkWarning);
            if (std::find(FLayers.begin(), FLayers.end(), L) != FLayers.end()) delete L;
        } catch (const EProgressAborted&) {
            // The layers loaded before stay; the one half loaded goes, and the rest are not read.
            if (std::find(FLayers.begin(), FLayers.end(), L) != FLayers.end()) delete L;
            throw;
        }
    }
}

void TOrvex3::SaveProfile(const std::string& FileName) {
    const std::string Path = ProfilePath(FileName);
    if (SplitPath(Path).Name.empty())
        throw EOrvexException(Format("SaveProfile: Cannot write the profile '%s': no file name", FileName.c_str()));
    FProfile.reset();
    FProfile = std::make_unique<TIniFile>(Path);
    TIniFile& Ini = *FProfile;
    TIniFile::TUpdate Update(Ini);
    Ini.WriteString(GlobalSection, "DataDirectory", FDataDirectory);
    // Written only when on, so that other profiles stay as they were; an old key goes.
    if (Antialiasing())
        Ini.WriteBool(GlobalSection, AntialiasingKey, true);
    else
        Ini.DeleteKey(GlobalSection, AntialiasingKey);
    Ini.EraseSection(ListSection);
    const std::string Folder = SplitPath(Path).Directory;
    int32_t K = 0;
    for (TOrvexLayer* L : FLayers) {
        if (L->Filename().empty()) continue;
        L->SaveSettings();
        Ini.WriteString(ListSection, std::to_string(K++), EntryFor(*L, Folder, FDataDirectory));
    }
    Update.Commit();
}

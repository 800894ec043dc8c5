#include "platform/ProgramModules.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::vector<std::string> ProgramModulePlaces(const std::string& FileName) {
    std::error_code Ec;
    const fs::path Program = fs::read_symlink("/proc/self/exe", Ec);
    if (Ec) return {};
    const fs::path Folder = Program.parent_path();
    return {(Folder / FileName).string(), (Folder / ".." / "lib" / "orvex" / FileName).string()};
}

TProgramModule LoadProgramModule(const std::string& FileName) {
    for (const std::string& Place : ProgramModulePlaces(FileName)) {
        std::error_code Ec;
        if (!fs::exists(Place, Ec)) continue;
        TProgramModule M;
        M.Path = Place;
        M.Handle = dlopen(Place.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!M.Handle) {
            const char* Why = dlerror();
            M.Error = Why ? Why : "cannot be loaded";
        }
        return M;
    }
    return {};
}

#include "importers/GdalLoader.h"

#include "importers/GdalIO.h"

const char* const kGdalModuleName = "orvex-gdal.so";

#ifndef ORVEX_HAVE_GDAL

const TGdalInterface* GdalModule() { return nullptr; }
const std::string& GdalModuleError() {
    static const std::string Text = kNoGdalText;
    return Text;
}

#else

#include <dlfcn.h>

#include <filesystem>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct TLoaded {
    const TGdalInterface* Interface = nullptr;
    std::string Error;
};

// The places the module may be, in the order they are tried.
std::vector<fs::path> Candidates() {
    std::error_code Ec;
    const fs::path Program = fs::read_symlink("/proc/self/exe", Ec);
    if (Ec) return {};
    const fs::path Folder = Program.parent_path();
    return {Folder / kGdalModuleName, Folder / ".." / "lib" / "orvex" / kGdalModuleName};
}

TLoaded Load() {
    const std::vector<fs::path> Places = Candidates();
    for (const fs::path& Place : Places) {
        std::error_code Ec;
        if (!fs::exists(Place, Ec)) continue;
        // Kept for the life of the process: GDAL's drivers and caches live in it.
        void* Handle = dlopen(Place.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!Handle) {
            const char* Why = dlerror();
            return {nullptr, std::string("cannot load the GDAL module ") + Place.string() + ": " + (Why ? Why : "")};
        }
        const auto Entry = reinterpret_cast<TGdalEntry>(dlsym(Handle, ORVEX_GDAL_ENTRY));
        const TGdalInterface* Interface = Entry ? Entry(ORVEX_GDAL_INTERFACE_VERSION) : nullptr;
        if (!Interface || Interface->Version != ORVEX_GDAL_INTERFACE_VERSION)
            return {nullptr, "the GDAL module " + Place.string() + " does not belong to this version of Orvex"};
        return {Interface, {}};
    }
    std::string Error = std::string("GDAL support is not installed: no ") + kGdalModuleName;
    for (size_t I = 0; I < Places.size(); ++I)
        Error += (I ? " or " : " in ") + Places[I].parent_path().lexically_normal().string();
    return {nullptr, Error};
}

const TLoaded& Loaded() {
    static const TLoaded L = Load();
    return L;
}

}  // namespace

const TGdalInterface* GdalModule() { return Loaded().Interface; }
const std::string& GdalModuleError() { return Loaded().Error; }

#endif  // ORVEX_HAVE_GDAL

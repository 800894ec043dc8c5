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

#include "platform/ProgramModules.h"

namespace {

struct TLoaded {
    const TGdalInterface* Interface = nullptr;
    std::string Error;
};

TLoaded Load() {
    // Kept for the life of the process: GDAL's drivers and caches live in it.
    const TProgramModule M = LoadProgramModule(kGdalModuleName);
    if (!M.Handle && !M.Path.empty()) return {nullptr, "cannot load the GDAL module " + M.Path + ": " + M.Error};
    if (!M.Handle) {
        const std::vector<std::string> Places = ProgramModulePlaces(kGdalModuleName);
        std::string Error = std::string("GDAL support is not installed: no ") + kGdalModuleName;
        for (size_t I = 0; I < Places.size(); ++I)
            Error += (I ? " or " : " in ") + std::filesystem::path(Places[I]).parent_path().lexically_normal().string();
        return {nullptr, Error};
    }
    const auto Entry = reinterpret_cast<TGdalEntry>(dlsym(M.Handle, ORVEX_GDAL_ENTRY));
    const TGdalInterface* Interface = Entry ? Entry(ORVEX_GDAL_INTERFACE_VERSION) : nullptr;
    if (!Interface || Interface->Version != ORVEX_GDAL_INTERFACE_VERSION)
        return {nullptr, "the GDAL module " + M.Path + " does not belong to this version of Orvex"};
    return {Interface, {}};
}

const TLoaded& Loaded() {
    static const TLoaded L = Load();
    return L;
}

}  // namespace

const TGdalInterface* GdalModule() { return Loaded().Interface; }
const std::string& GdalModuleError() { return Loaded().Error; }

#endif  // ORVEX_HAVE_GDAL

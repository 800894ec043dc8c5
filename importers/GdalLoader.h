#pragma once
// The GDAL module, loaded on first use: GDAL's libraries come into the process only when a
// command reads or writes one of its formats.

#include <string>

#include "gdal/GdalInterface.h"

// The module's file name.
extern const char* const kGdalModuleName;

// The module's interface, loaded on the first call: first beside the running program (the
// build tree), then from ../lib/orvex/ next to the program's folder (an installation). Null
// when it cannot be loaded, or in a build without GDAL; GdalModuleError() then says why.
const TGdalInterface* GdalModule();
const std::string& GdalModuleError();

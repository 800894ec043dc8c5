#pragma once
// Modules of the programs' own, loaded with dlopen when first needed: beside the program in
// the build tree, in ../lib/orvex/ from the program's folder when installed.

#include <string>
#include <vector>

struct TProgramModule {
    void* Handle = nullptr;
    // Where it was found; empty when it is in none of the places.
    std::string Path;
    // Why it could not be loaded: the loader's message for a module found.
    std::string Error;
};

// The places FileName may be, in the order they are tried.
std::vector<std::string> ProgramModulePlaces(const std::string& FileName);
// Loads the first of the places that holds FileName (never unloaded).
TProgramModule LoadProgramModule(const std::string& FileName);

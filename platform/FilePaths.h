#pragma once
// Paths read from stored files (profiles, layer files) may have been written on Windows:
// there both '/' and '\\' separate folders, and the folder part is turned into this
// platform's form before it is used.

#include <string>

struct TSplitPath {
    // Up to and including the last separator, every '\\' made '/'; empty without a folder.
    std::string Directory;
    // After the last separator.
    std::string Name;
};

TSplitPath SplitPath(const std::string& Path);
// Path with every '\\' made '/'.
std::string NativePath(const std::string& Path);
// The folder of the running program, ending with '/'; empty when it cannot be found.
std::string ProgramDirectory();

#pragma once
// Paths read from stored files (profiles, layer files) may have been written on Windows:
// there both '/' and '\\' separate folders, and the folder part is turned into this
// platform's form before it is used.

#include <string>
#include <string_view>

struct TSplitPath {
    // Up to and including the last separator, every '\\' made '/'; empty without a folder.
    std::string Directory;
    // After the last separator.
    std::string Name;
};

TSplitPath SplitPath(const std::string& Path);
// Path with every '\\' made '/'.
std::string NativePath(const std::string& Path);
// Whether the texts are equal, ignoring the case of ASCII letters: extensions, and the file
// formats' own names of fields and keys.
bool SameText(std::string_view A, std::string_view B);
// True when Path ends in Extension, ignoring the case of ASCII letters.
bool HasExtension(const std::string& Path, std::string_view Extension);
// The folder of the running program, ending with '/'; empty when it cannot be found.
std::string ProgramDirectory();
// The folder of the bundled data (world map, cities, earth picture), ending with '/': the
// folder $ORVEX_DATA_DIR names; else share/orvex beside the program's install prefix; else,
// for a program run from its build tree, the source tree's data folder. Empty when none of
// them exists. File names stay the file system's bytes.
std::string BundledDataDirectory();
// The bundled file Name, or empty when it is missing.
std::string BundledDataFile(const std::string& Name);

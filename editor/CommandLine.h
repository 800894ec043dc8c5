#pragma once
// The editor's command line, read from the program's own argument bytes: a file name there
// is already the file system's and goes on as it is, never through a QString.

#include <string>

struct TCommandLine {
    // Whether a file was named at all.
    bool HasFile = false;
    // The first argument left after the options: the layer file or profile to open at start.
    std::string LayerFile;
    // The hidden option --screenshot OUT.png: a picture of the window once it is shown.
    std::string Screenshot;
    // The hidden option --tour FOLDER: pictures of the window and of every dialog, then quits.
    std::string Tour;
};

// Argv as QApplication leaves it, with its own options taken out.
TCommandLine ParseCommandLine(int Argc, const char* const* Argv);

// The file the editor opens at start: the named one, made absolute; else, started without one
// (as from the desktop's menu), the bundled world map when it is there.
std::string EditorStartFile(const TCommandLine& Args);

#pragma once
// The editor's command line.

#include <QStringList>
#include <string>

// The file the editor opens at start: the first argument, made absolute, as the file system's
// bytes; else, started without one (as from the desktop's menu), the bundled world map when
// it is there.
std::string EditorStartFile(const QStringList& Arguments);

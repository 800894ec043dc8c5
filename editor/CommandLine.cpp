#include "editor/CommandLine.h"

#include <QFileInfo>

#include "platform/FilePaths.h"
#include "platform/Text.h"

std::string EditorStartFile(const QStringList& Arguments) {
    if (Arguments.isEmpty()) return BundledDataFile("world.lyr");
    if (Arguments.front().isEmpty()) return std::string();
    // Made absolute here: a profile named without a folder would otherwise be looked for in
    // the program's own folder, not where the user typed its name.
    return PathFromQString(QFileInfo(Arguments.front()).absoluteFilePath());
}

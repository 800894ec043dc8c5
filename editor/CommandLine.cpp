#include "editor/CommandLine.h"

#include "platform/FilePaths.h"
#include "platform/Text.h"

std::string EditorStartFile(const QStringList& Arguments) {
    if (!Arguments.isEmpty()) return PathFromQString(Arguments.front());
    return BundledDataFile("world.lyr");
}

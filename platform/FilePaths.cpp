#include "platform/FilePaths.h"

#include <algorithm>

TSplitPath SplitPath(const std::string& Path) {
    const size_t Slash = Path.find_last_of("/\\");
    if (Slash == std::string::npos) return TSplitPath{std::string(), Path};
    return TSplitPath{NativePath(Path.substr(0, Slash + 1)), Path.substr(Slash + 1)};
}

std::string NativePath(const std::string& Path) {
    std::string Result = Path;
    std::replace(Result.begin(), Result.end(), '\\', '/');
    return Result;
}

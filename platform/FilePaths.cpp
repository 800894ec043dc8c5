#include "platform/FilePaths.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

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

std::string ProgramDirectory() {
    std::error_code Error;
    const std::filesystem::path Exe = std::filesystem::read_symlink("/proc/self/exe", Error);
    if (Error || !Exe.has_parent_path()) return std::string();
    std::string Dir = Exe.parent_path().string();
    if (Dir.empty() || Dir.back() != '/') Dir += '/';
    return Dir;
}

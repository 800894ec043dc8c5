#include "platform/FilePaths.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

bool IsDirectory(const std::string& Path) {
    std::error_code Error;
    return !Path.empty() && std::filesystem::is_directory(std::filesystem::path(Path), Error);
}

std::string WithSlash(std::string Dir) {
    if (!Dir.empty() && Dir.back() != '/') Dir += '/';
    return Dir;
}

// Whether the program lies in the build tree it was compiled in; only there may it read
// the source tree, so an installed copy never depends on sources that happen to remain.
bool RunsFromBuildTree(const std::string& ProgramDir) {
#ifdef ORVEX_BUILD_DIR
    std::error_code Error;
    const std::filesystem::path Build = std::filesystem::weakly_canonical(ORVEX_BUILD_DIR, Error);
    if (Error || Build.empty()) return false;
    const std::string Prefix = WithSlash(Build.string());
    return ProgramDir.compare(0, Prefix.size(), Prefix) == 0;
#else
    (void)ProgramDir;
    return false;
#endif
}

}  // namespace

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

bool SameText(std::string_view A, std::string_view B) {
    const auto Lower = [](char C) { return C >= 'A' && C <= 'Z' ? char(C - 'A' + 'a') : C; };
    return A.size() == B.size() &&
           std::equal(A.begin(), A.end(), B.begin(), [&](char X, char Y) { return Lower(X) == Lower(Y); });
}

bool HasExtension(const std::string& Path, std::string_view Extension) {
    return Path.size() >= Extension.size() &&
           SameText(std::string_view(Path).substr(Path.size() - Extension.size()), Extension);
}

std::string ProgramDirectory() {
    std::error_code Error;
    const std::filesystem::path Exe = std::filesystem::read_symlink("/proc/self/exe", Error);
    if (Error || !Exe.has_parent_path()) return std::string();
    std::string Dir = Exe.parent_path().string();
    if (Dir.empty() || Dir.back() != '/') Dir += '/';
    return Dir;
}

std::string BundledDataDirectory() {
    if (const char* Env = std::getenv("ORVEX_DATA_DIR"); Env && IsDirectory(Env)) return WithSlash(Env);
    const std::string Program = ProgramDirectory();
    if (Program.empty()) return std::string();
#ifdef ORVEX_DATA_FROM_PROGRAM
    const std::string Installed =
        (std::filesystem::path(Program) / ORVEX_DATA_FROM_PROGRAM).lexically_normal().string();
    if (IsDirectory(Installed)) return WithSlash(Installed);
#endif
#ifdef ORVEX_SOURCE_DATA_DIR
    if (RunsFromBuildTree(Program) && IsDirectory(ORVEX_SOURCE_DATA_DIR)) return WithSlash(ORVEX_SOURCE_DATA_DIR);
#endif
    return std::string();
}

std::string BundledDataFile(const std::string& Name) {
    const std::string Dir = BundledDataDirectory();
    if (Dir.empty()) return std::string();
    const std::string File = Dir + Name;
    std::error_code Error;
    return std::filesystem::is_regular_file(std::filesystem::path(File), Error) ? File : std::string();
}

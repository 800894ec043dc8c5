#include "editor/CommandLine.h"

#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/FilePaths.h"

TCommandLine ParseCommandLine(int Argc, const char* const* Argv) {
    std::vector<std::string> Args;
    for (int I = 1; I < Argc; ++I) Args.emplace_back(Argv[I]);
    TCommandLine Result;
    // Each option with its value, wherever it stands. One without a value is taken for a file
    // name, which the window then reports missing.
    const struct {
        const char* Name;
        std::string* Value;
    } Options[] = {{"--screenshot", &Result.Screenshot}, {"--tour", &Result.Tour}};
    for (const auto& O : Options)
        for (size_t I = 0; I + 1 < Args.size(); ++I)
            if (Args[I] == O.Name) {
                *O.Value = Args[I + 1];
                Args.erase(Args.begin() + std::ptrdiff_t(I), Args.begin() + std::ptrdiff_t(I) + 2);
                break;
            }
    if (!Args.empty()) {
        Result.HasFile = true;
        Result.LayerFile = Args.front();
    }
    return Result;
}

std::string EditorStartFile(const TCommandLine& Args) {
    if (!Args.HasFile) return BundledDataFile("world.lyr");
    if (Args.LayerFile.empty()) return std::string();
    // Made absolute here: a profile named without a folder would otherwise be looked for in
    // the program's own folder, not where the user typed its name.
    std::error_code Error;
    const std::filesystem::path Absolute = std::filesystem::absolute(Args.LayerFile, Error);
    return Error ? Args.LayerFile : Absolute.lexically_normal().string();
}

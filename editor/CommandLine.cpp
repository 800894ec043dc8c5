#include "editor/CommandLine.h"

#include <string_view>
#include <vector>

TCommandLine ParseCommandLine(int Argc, const char* const* Argv) {
    std::vector<std::string> Args;
    for (int I = 1; I < Argc; ++I) Args.emplace_back(Argv[I]);
    TCommandLine Result;
    for (size_t I = 0; I + 1 < Args.size(); ++I)
        if (Args[I] == "--screenshot") {
            Result.Screenshot = Args[I + 1];
            Args.erase(Args.begin() + std::ptrdiff_t(I), Args.begin() + std::ptrdiff_t(I) + 2);
            break;
        }
    if (!Args.empty()) Result.LayerFile = Args.front();
    return Result;
}

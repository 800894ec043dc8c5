#include "cli/Front.h"

#include <dlfcn.h>

#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "cli/LayerSummary.h"
#include "cli/OrvexCli.h"
#include "platform/FilePaths.h"
#include "platform/ProgramModules.h"

namespace orvex::cli {

namespace {
constexpr const char* kCommandsModuleName = "orvex-commands.so";
// The module's entry (cli/CommandsModule.cpp).
constexpr const char* kCommandsEntryName = "OrvexCommandsMain";
}  // namespace

std::optional<int> RunWithoutCommandsModule(int argc, char** argv, std::ostream& out) {
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        out << "orvex " << ORVEX_VERSION << '\n';
        return ExitOk;
    }
    if (argc < 3 || std::string_view(argv[1]) != "info") return std::nullopt;
    const TInfoArgs A = ParseInfoArgs(std::span<char* const>(argv + 2, static_cast<size_t>(argc - 2)));
    if (!A.Error.empty() || !HasExtension(A.Path, ".lyr")) return std::nullopt;
    try {
        PrintLayerFile(A, out);
        return ExitOk;
    } catch (...) {
        // Reported by the module, in the same words as every other failure.
        return std::nullopt;
    }
}

int RunInCommandsModule(int argc, char** argv, std::ostream& err) {
    const TProgramModule M = LoadProgramModule(kCommandsModuleName);
    using TEntry = int (*)(int, char**);
    const auto Entry = M.Handle ? reinterpret_cast<TEntry>(dlsym(M.Handle, kCommandsEntryName)) : nullptr;
    if (Entry) return Entry(argc, argv);
    if (M.Path.empty())
        err << "orvex: the commands module " << kCommandsModuleName << " is not installed beside the program\n";
    else if (!M.Handle)
        err << "orvex: cannot load " << M.Path << ": " << M.Error << '\n';
    else
        err << "orvex: " << M.Path << " does not belong to this version of Orvex\n";
    return ExitFailure;
}

}  // namespace orvex::cli

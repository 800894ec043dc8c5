// What the `orvex` program does itself. The commands that draw, import and export live in a
// module (orvex-commands.so, with the GUI libraries) that it loads only when a command needs
// it: --version and the summary of a layer file start in a few milliseconds.
#pragma once

#include <iosfwd>
#include <optional>

namespace orvex::cli {

// The exit status, for --version and `info` of a layer file that reads without a fault;
// nothing for any other command line (usage errors and help included), which is the module's.
std::optional<int> RunWithoutCommandsModule(int argc, char** argv, std::ostream& out);
// Loads the module and runs the command line there.
int RunInCommandsModule(int argc, char** argv, std::ostream& err);

}  // namespace orvex::cli

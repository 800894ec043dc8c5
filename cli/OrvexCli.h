// The `orvex` command-line tool: argument handling and the table of subcommands. main() is a thin
// wrapper so that tests can drive the tool with their own streams.
#pragma once

#include <iosfwd>
#include <span>
#include <string_view>

namespace orvex::cli {

// Exit statuses of the tool.
constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;  // the command ran and failed (unreadable file, ...)
constexpr int ExitUsage = 2;    // bad command line, or a command this build lacks

// A subcommand gets the arguments that follow its name.
using CommandFn = int (*)(std::span<char* const> args, std::ostream& out, std::ostream& err);

struct Command {
    std::string_view Name;
    std::string_view Synopsis;  // arguments, as shown in the usage text
    std::string_view Summary;
    CommandFn Run;              // nullptr: not available in this build
};

// All subcommands, in the order the usage text lists them.
std::span<const Command> Commands();

void PrintUsage(std::ostream& out);

}  // namespace orvex::cli

// Runs the tool as `argv[0] argv[1] ...` would; returns the process exit status.
int RunOrvexCli(int argc, char** argv, std::ostream& out, std::ostream& err);

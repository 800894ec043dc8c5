// Helpers shared by the subcommands of the `orvex` tool.
#pragma once

#include <QApplication>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

namespace orvex::cli {

struct Command;

// What a command does with the view it makes.
enum class TAppUse {
    Data,     // reads and writes layers, or projects points: nothing is drawn
    Drawing,  // renders pictures, with fonts
};

// The view is a widget: without an application of our own (the tool's main makes none), one is
// started, quietly. Drawing gets the offscreen platform unless the caller chose another; data
// alone gets the minimal platform whatever was chosen, since it shows nothing either way.
std::unique_ptr<QApplication> EnsureApplication(TAppUse Use);

// The command's synopsis, with "{projections}" replaced by the projections' names.
std::string SynopsisText(const Command& C);

// A bad command line: the message, the command's usage and a hint on standard error.
// Returns the usage status.
int UsageError(std::ostream& err, std::string_view CommandName, const std::string& Message);

// A failure of the command itself, on standard error. Returns the failure status.
int Failure(std::ostream& err, std::string_view CommandName, const std::string& Message);

}  // namespace orvex::cli

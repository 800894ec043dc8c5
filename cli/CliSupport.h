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

// Asked for by the program's main: a command that ends with EndCommand then ends the process
// itself, leaving its memory to the system instead of taking a view of millions of objects
// apart one by one. Tests that run commands in-process never ask.
void EndProcessAfterCommand();

// Status, or, when the process is to end after the command, the end of the process with that
// status once Out and Err are flushed. Called where the command's views are still alive.
int EndCommand(int Status, std::ostream& Out, std::ostream& Err);

// The command's synopsis, with "{projections}" replaced by the projections' names.
std::string SynopsisText(const Command& C);

// A bad command line: the message, the command's usage and a hint on standard error.
// Returns the usage status.
int UsageError(std::ostream& err, std::string_view CommandName, const std::string& Message);

// A failure of the command itself, on standard error. Returns the failure status.
int Failure(std::ostream& err, std::string_view CommandName, const std::string& Message);

}  // namespace orvex::cli

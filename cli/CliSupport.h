// Helpers shared by the subcommands of the `orvex` tool.
#pragma once

#include <QApplication>
#include <memory>

namespace orvex::cli {

// The view is a widget: without an application of our own (the tool's main makes none),
// one is started on the offscreen platform unless the caller chose another.
std::unique_ptr<QApplication> EnsureApplication();

}  // namespace orvex::cli

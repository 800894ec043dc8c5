// `orvex render` and `orvex project`: views without a window.
#pragma once

#include <iosfwd>
#include <span>

namespace orvex::cli {

// render [options] -o OUTPUT.png|OUTPUT.pdf LAYERFILE...
int RunRender(std::span<char* const> args, std::ostream& out, std::ostream& err);
// project --projection NAME [--size WxH] [--altitude N] [--rotation X,Y,Z] [--inverse] X Y ...
int RunProject(std::span<char* const> args, std::ostream& out, std::ostream& err);

}  // namespace orvex::cli

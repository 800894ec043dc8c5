// `orvex info`: a summary of a layer file, as text or JSON.
#pragma once

#include <iosfwd>
#include <span>

namespace orvex::cli {

// info [--json] [--no-points] LAYERFILE
int RunInfo(std::span<char* const> args, std::ostream& out, std::ostream& err);

}  // namespace orvex::cli

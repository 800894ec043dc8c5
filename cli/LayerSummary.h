// What `orvex info` prints of a layer, and its arguments.
#pragma once

#include <iosfwd>
#include <span>
#include <string>

class TOrvexLayer;

namespace orvex::cli {

struct TInfoArgs {
    bool Json = false;
    bool WithPoints = true;
    const char* Path = nullptr;
    // Set for a command line that is not an info command's.
    std::string Error;
};
TInfoArgs ParseInfoArgs(std::span<char* const> args);

// Counts of presenters, objects and points per class.
void PrintLayerSummary(const TOrvexLayer& Layer, std::ostream& out);
// Every presenter and object, with their points unless WithPoints is false.
void PrintLayerJson(const TOrvexLayer& Layer, bool WithPoints, std::ostream& out);

// Reads the layer file A names, outside any view (what it holds, not what a view would make
// of it), and prints it; raises what the reading raises, before printing anything.
void PrintLayerFile(const TInfoArgs& A, std::ostream& out);

}  // namespace orvex::cli

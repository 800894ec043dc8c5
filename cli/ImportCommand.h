// `orvex import`: shapefiles, MIF/MID and E00 files into layer files; and the loader that lets
// the other commands read those files directly.
#pragma once

#include <iosfwd>
#include <span>
#include <string>
#include <vector>

class TOrvex3;
class TOrvexLayer;

namespace orvex::cli {

// import [--title-column NAME|INDEX] [--divisor N] [--encoding NAME] [--no-arcs] [--no-text]
//        [--accept-unknown-projection] [--keep-coordinates] [--layer NAME] -o OUT INPUT...
int RunImport(std::span<char* const> args, std::ostream& out, std::ostream& err);

// Whether Path names a file the importers read (.shp, .mif, .e00, any letter case), or one
// GDAL reads when the build has it.
bool IsImportable(const std::string& Path);

// The layers of View from Path: a layer file is loaded, an importable file imported with the
// default choices (first column, divisor 1, arcs and texts, no unknown projections), a layer
// each for a file of several. Raises std::exception with the reason when that fails.
std::vector<TOrvexLayer*> LoadInput(TOrvex3& View, const std::string& Path);
// LoadInput of a file that must give one layer: a file of several fails, naming its layers.
TOrvexLayer* LoadOneLayer(TOrvex3& View, const std::string& Path);

}  // namespace orvex::cli

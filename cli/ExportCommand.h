// `orvex export`: a layer written to GeoPackage or GeoJSON through GDAL.
#pragma once

#include <iosfwd>
#include <span>

namespace orvex::cli {

// export LAYERFILE OUT.gpkg|OUT.geojson
int RunExport(std::span<char* const> args, std::ostream& out, std::ostream& err);

}  // namespace orvex::cli

#pragma once
// Vector data through GDAL: every format it reads (GeoPackage, GeoJSON, KML, FlatGeobuf...)
// imported as layers, and a layer exported to GeoPackage or GeoJSON. GDAL itself is in a module
// loaded on first use (importers/GdalLoader.h). A build without GDAL, or whose module cannot be
// loaded, keeps these entry points; they then fail saying so.

#include <cstdint>
#include <string>
#include <vector>

class TOrvex3;
class TOrvexLayer;
class TSHPImportOptions;

// Whether this build reads and writes through GDAL; the first call loads the module.
bool GdalAvailable();
// "GDAL support is not built in", the text every entry point fails with in a build without it.
extern const char* const kNoGdalText;
// Why GdalAvailable() is false: kNoGdalText, or why the module could not be loaded.
const std::string& GdalUnavailableText();

// Whether GDAL reads files with Path's extension as vector data; never for the extensions of
// the designed importers and of layer files and profiles, which are answered without loading
// the module.
bool GdalReadsExtension(const std::string& Path);
// Those extensions as file-dialog patterns: "*.gpkg *.geojson ...".
std::string GdalImportPatterns();

// The names of the file's layers in order. Raises EImportError when GDAL cannot read it.
std::vector<std::string> GdalLayerNames(const std::string& Path);

// Imports the files in order, one layer per layer of a file (named after the file, and after
// the file's layer when it holds several), or only the layer named LayerName when it is not
// empty (a file without it fails). Titles, presenters, IDs and progress follow the
// shapefile import: Options (null shows TfrmSHPImport) choose the title column of each layer
// and the divisor; every part of a geometry is its own object with the ID of its feature (1 for
// the first). Coordinates are transformed to longitude and latitude. An abort returned by
// OnProgress removes the layer being filled and ends the run with EProgressAborted; a failure
// reports MsgType -1 and raises EImportError, the objects made before staying in the view.
void ImportGDAL(const std::vector<std::string>& FileNames, TOrvex3& View, TSHPImportOptions* Options = nullptr,
                const std::string& LayerName = {});

// Whether Path ends in an extension ExportGDAL writes (.gpkg, .geojson, .json).
bool CanExportGDAL(const std::string& Path);
// Writes the layer's objects, with fields "ID" and "Title" (UTF-8, as the Qt boundary reads
// stored text), in longitude and latitude (WGS 84) and returns how many features were written.
// The file replaces Path whole (platform/AtomicFile), so a failure leaves any previous file as
// it was. Raises EOrvexException.
int64_t ExportGDAL(const TOrvexLayer& Layer, const std::string& Path);

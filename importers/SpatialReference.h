#pragma once
// Coordinates in the system a file describes (a shapefile's .prj, a MIF CoordSys clause, an E00
// PRJ block) turned into longitude and latitude on WGS 84 while importing. Every call into GDAL
// for it goes to the GDAL module, loaded on first use; a build without GDAL has this interface
// too, and then converts nothing.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// Whether this build can convert coordinates.
bool CoordinateConversionAvailable();

class TCoordinateConversion {
public:
    ~TCoordinateConversion();
    TCoordinateConversion(const TCoordinateConversion&) = delete;
    TCoordinateConversion& operator=(const TCoordinateConversion&) = delete;

    // From ESRI text: a .prj file's WKT, or the lines of an E00 PRJ block ("Projection UTM",
    // "Zone 13", ...). Null, with Error naming the text, when the text cannot be understood or
    // its coordinates cannot be turned into longitude and latitude.
    static std::unique_ptr<TCoordinateConversion> FromEsri(std::string_view Text, std::string& Error);
    // From a MapInfo clause "CoordSys Earth Projection 8, 104, "m", ..." (a Bounds clause may follow).
    static std::unique_ptr<TCoordinateConversion> FromMapInfo(std::string_view CoordSys, std::string& Error);

    // Longitude and latitude in degrees from Greenwich already (on any datum): the importers take
    // such coordinates as they are and never call Transform.
    bool IsGeographic() const;
    // Eastings and northings of a map projection.
    bool IsProjected() const;
    // The system in words, for dialogs and messages: "WGS 84 / UTM zone 33N".
    const std::string& Description() const;

    // The Count points of X and Y, in place, to longitude (X) and latitude (Y) in degrees on
    // WGS 84, in one call. Returns Count, or the index of the first point that has no
    // longitude and latitude (the values from there on are not to be used).
    size_t Transform(double* X, double* Y, size_t Count) const;

private:
    TCoordinateConversion();
    // The GDAL module's conversion of Text (a MapInfo clause when MapInfo, else ESRI text).
    static std::unique_ptr<TCoordinateConversion> FromModule(std::string_view Text, std::string& Error, bool MapInfo);
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};

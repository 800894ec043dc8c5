#pragma once
// Imports ArcInfo export files (.e00, uncompressed, single or double precision): one layer per
// file with its arcs, the polygons chained from them, label points and text annotations.
// Geographic coordinates are taken as degrees; polar stereographic and Lambert conformal conic
// coordinates are inverted; other projections (UTM, Albers, ...) are converted to longitude/
// latitude, and those that cannot be are read as degrees when the user agrees.

#include <string>
#include <vector>

#include "foundation/OXUtils.h"

class TOrvex3;
class TE00ImportOptions;

// Imports the files in order. Options choose the record kinds once per run and answer the
// question about an unrecognised projection; null shows TfrmE00Import and the warning. A
// refused projection reports MsgType -1 and the run goes on with the next file; other failures
// end the run with EImportError after the clean-up.
void ImportE00(const std::vector<std::string>& FileNames, TOrvex3& View, TE00ImportOptions* Options = nullptr);

// What the coordinates of the file would be converted from ("NAD27 / UTM zone 13N"); "" when
// they are not converted or the file cannot be read. For the dialog, before the import.
std::string E00ConversionSource(const std::string& Path);

// Inverse of the ellipsoidal polar stereographic projection with the scale factor at the pole.
// Lengths (semi-major axis, x, y) share one unit; angles are radians.
class TPolarStereographic {
public:
    TPolarStereographic(long double SemiMajorAxis, long double Flattening, long double CentralMeridian,
                        bool SouthPole, long double ScaleFactor = 1);
    void Forward(long double Longitude, long double Latitude, long double& X, long double& Y) const;
    void Inverse(long double X, long double Y, long double& Longitude, long double& Latitude) const;

private:
    long double FA, FE, FCentralMeridian, FScale, FK;
    bool FSouth;
};

// Inverse of the ellipsoidal Lambert conformal conic projection with two standard parallels.
class TLambertConformalConic {
public:
    TLambertConformalConic(long double SemiMajorAxis, long double Flattening, long double Parallel1,
                           long double Parallel2, long double OriginLatitude, long double CentralMeridian);
    void Forward(long double Longitude, long double Latitude, long double& X, long double& Y) const;
    void Inverse(long double X, long double Y, long double& Longitude, long double& Latitude) const;

private:
    long double M(long double Phi) const;
    long double T(long double Phi) const;
    long double FA, FE, FCentralMeridian, FN, FF, FRho0;
};

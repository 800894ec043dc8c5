// GeoPackages of several layers, written with GDAL's own API for the suites that read them.
#pragma once

#ifdef ORVEX_HAVE_GDAL
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <string>
#include <vector>

struct TGpkgLayer {
    std::string Name;
    int Epsg;
    // Each feature's "label" and its geometry as well-known text.
    std::vector<std::pair<std::string, std::string>> Features;
};

// False when GDAL could not write the file.
inline bool MakeGeoPackage(const std::string& Path, const std::vector<TGpkgLayer>& Layers) {
    GDALAllRegister();
    GDALDatasetH Data = GDALCreate(GDALGetDriverByName("GPKG"), Path.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
    if (!Data) return false;
    bool Ok = true;
    for (const TGpkgLayer& L : Layers) {
        OGRSpatialReferenceH Srs = OSRNewSpatialReference(nullptr);
        OSRImportFromEPSG(Srs, L.Epsg);
        OGRLayerH Layer = GDALDatasetCreateLayer(Data, L.Name.c_str(), Srs, wkbUnknown, nullptr);
        OSRRelease(Srs);
        if (!Layer) {
            Ok = false;
            break;
        }
        OGRFieldDefnH Field = OGR_Fld_Create("label", OFTString);
        OGR_L_CreateField(Layer, Field, TRUE);
        OGR_Fld_Destroy(Field);
        for (const auto& [Label, Wkt] : L.Features) {
            OGRFeatureH F = OGR_F_Create(OGR_L_GetLayerDefn(Layer));
            OGR_F_SetFieldString(F, 0, Label.c_str());
            OGRGeometryH G = nullptr;
            char* Text = const_cast<char*>(Wkt.c_str());
            Ok = Ok && OGR_G_CreateFromWkt(&Text, nullptr, &G) == OGRERR_NONE;
            OGR_F_SetGeometryDirectly(F, G);
            Ok = Ok && OGR_L_CreateFeature(Layer, F) == OGRERR_NONE;
            OGR_F_Destroy(F);
        }
    }
    GDALClose(Data);
    return Ok;
}

// "cities" (two points) and "countries" (one polygon), both in longitude and latitude.
inline bool MakeCitiesAndCountries(const std::string& Path) {
    return MakeGeoPackage(Path, {{"cities", 4326, {{"Bern", "POINT (7.45 46.95)"}, {"Oslo", "POINT (10.75 59.91)"}}},
                                 {"countries", 4326, {{"Square", "POLYGON ((0 0,1 0,1 1,0 0))"}}}});
}
#endif

#pragma once
// Inside the GDAL module: GDAL's handles owned, its messages kept for our errors, and the
// module's functions that the entry's table lists.

#include <cpl_error.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <memory>
#include <string>
#include <type_traits>

#include "gdal/GdalInterface.h"

namespace orvex_gdal {

void RegisterDrivers();

// GDAL's messages are kept for our errors instead of going to standard error.
struct TQuietErrors {
    TQuietErrors() {
        CPLPushErrorHandler(CPLQuietErrorHandler);
        CPLErrorReset();
    }
    ~TQuietErrors() { CPLPopErrorHandler(); }
    TQuietErrors(const TQuietErrors&) = delete;
    TQuietErrors& operator=(const TQuietErrors&) = delete;
};

// GDAL's last message, or a word that it gave none.
std::string GdalReason();
// Sets LastError() to What, with GDAL's reason after it when WithReason.
void SetError(const std::string& What, bool WithReason = true);
const char* LastError();
// Locale-free, as "%.10g" would be in the C locale.
std::string Number(double Value);
// Exceptions never leave the module: the call fails with their text instead.
template <class R, class F>
R Guarded(R Failed, F&& Body) {
    try {
        return Body();
    } catch (const std::exception& E) {
        SetError(E.what(), false);
    } catch (...) {
        SetError("unexpected failure", false);
    }
    return Failed;
}

template <auto Free>
struct TFree {
    template <class T>
    void operator()(T* P) const {
        Free(P);
    }
};
using TGeometry = std::unique_ptr<std::remove_pointer_t<OGRGeometryH>, TFree<OGR_G_DestroyGeometry>>;
using TFeatureHandle = std::unique_ptr<std::remove_pointer_t<OGRFeatureH>, TFree<OGR_F_Destroy>>;
using TSrs = std::unique_ptr<std::remove_pointer_t<OGRSpatialReferenceH>, TFree<OSRRelease>>;
using TTransform =
    std::unique_ptr<std::remove_pointer_t<OGRCoordinateTransformationH>, TFree<OCTDestroyCoordinateTransformation>>;

// WGS 84 longitude and latitude, longitude first whatever the authority's axis order; null
// with the error set when GDAL cannot make it.
TSrs LongitudeLatitude();
// A conversion from Source (whose axis order it sets to longitude or easting first) to
// LongitudeLatitude(); null with the error set.
TTransform ConversionFrom(OGRSpatialReferenceH Source);
// A conversion from Srs, described in words; null with the error set.
TGdalConversion* MakeConversion(TSrs Srs);

// The table's functions, by area.
const char* VectorExtensions();
TGdalSource* Open(const char* Path);
void Close(TGdalSource* Source);
int32_t LayerCount(TGdalSource* Source);
const char* LayerName(TGdalSource* Source, int32_t Layer);
int32_t FieldCount(TGdalSource* Source, int32_t Layer);
const char* FieldName(TGdalSource* Source, int32_t Layer, int32_t Field);
TGdalReader* ReadLayer(TGdalSource* Source, int32_t Layer, const int32_t* Fields, int32_t Count, double Divisor);
int32_t NextFeature(TGdalReader* Reader, TGdalFeature* Feature);
void EndLayer(TGdalReader* Reader);

TGdalExport* CreateExport(const char* Path, const char* Driver, const char* LayerName);
bool WriteFeature(TGdalExport* Export, int32_t ID, const char* Title, int32_t Shape, int32_t Count, const double* X,
                  const double* Y);
bool FinishExport(TGdalExport* Export);
void AbandonExport(TGdalExport* Export);

TGdalConversion* ConversionFromEsri(const char* Text);
TGdalConversion* ConversionFromMapInfo(const char* CoordSys);
const char* DescribeConversion(const TGdalConversion* Conversion);
int64_t Convert(const TGdalConversion* Conversion, int64_t Count, double* X, double* Y);
void FreeConversion(TGdalConversion* Conversion);
int32_t ConversionKind(const TGdalConversion* Conversion);

using TConversion = std::unique_ptr<TGdalConversion, TFree<FreeConversion>>;

}  // namespace orvex_gdal

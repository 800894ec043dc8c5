// The module's entry and what its parts share.
#include <cctype>
#include <charconv>
#include <mutex>
#include <set>
#include <sstream>
#include <type_traits>

#include "gdal/GdalModuleSupport.h"

namespace orvex_gdal {

namespace {
thread_local std::string Error;
}  // namespace

void RegisterDrivers() {
    static std::once_flag Once;
    std::call_once(Once, [] { GDALAllRegister(); });
}

std::string GdalReason() {
    const char* Text = CPLGetLastErrorMsg();
    return Text && *Text ? Text : "GDAL gave no reason";
}

void SetError(const std::string& What, bool WithReason) { Error = WithReason ? What + ": " + GdalReason() : What; }

const char* LastError() { return Error.c_str(); }

std::string Number(double Value) {
    char Buffer[64];
    const auto R = std::to_chars(Buffer, Buffer + sizeof Buffer, Value, std::chars_format::general, 10);
    return std::string(Buffer, R.ptr);
}

const char* VectorExtensions() {
    static const std::string Extensions = [] {
        RegisterDrivers();
        std::set<std::string> Found;
        for (int I = 0; I < GDALGetDriverCount(); ++I) {
            GDALDriverH Driver = GDALGetDriver(I);
            if (!GDALGetMetadataItem(Driver, GDAL_DCAP_VECTOR, nullptr)) continue;
            const char* List = GDALGetMetadataItem(Driver, GDAL_DMD_EXTENSIONS, nullptr);
            std::istringstream In(List ? List : "");
            for (std::string E; In >> E;) {
                for (char& C : E) C = static_cast<char>(std::tolower(static_cast<unsigned char>(C)));
                Found.insert(E);
            }
        }
        std::string R;
        for (const std::string& E : Found) R += (R.empty() ? "" : " ") + E;
        return R;
    }();
    return Extensions.c_str();
}

TSrs LongitudeLatitude() {
    TSrs Srs(OSRNewSpatialReference(nullptr));
    if (!Srs || OSRSetWellKnownGeogCS(Srs.get(), "WGS84") != OGRERR_NONE) {
        SetError("GDAL cannot set up longitude and latitude (WGS 84)");
        return nullptr;
    }
    OSRSetAxisMappingStrategy(Srs.get(), OAMS_TRADITIONAL_GIS_ORDER);
    return Srs;
}

TTransform ConversionFrom(OGRSpatialReferenceH Source) {
    OSRSetAxisMappingStrategy(Source, OAMS_TRADITIONAL_GIS_ORDER);
    const TSrs To = LongitudeLatitude();
    if (!To) return nullptr;
    TTransform Transform(OCTNewCoordinateTransformation(Source, To.get()));
    if (!Transform) SetError("the coordinates cannot be converted to longitude and latitude");
    return Transform;
}

}  // namespace orvex_gdal

extern "C" __attribute__((visibility("default"))) const TGdalInterface* OrvexGdalInterface(uint32_t Version) {
    using namespace orvex_gdal;
    static const TGdalInterface Table{
        ORVEX_GDAL_INTERFACE_VERSION,
        LastError,
        VectorExtensions,
        Open,
        Close,
        LayerCount,
        LayerName,
        FieldCount,
        FieldName,
        ReadLayer,
        NextFeature,
        EndLayer,
        CreateExport,
        WriteFeature,
        FinishExport,
        AbandonExport,
        ConversionFromEsri,
        ConversionFromMapInfo,
        DescribeConversion,
        Convert,
        FreeConversion,
        ConversionKind,
    };
    return Version == ORVEX_GDAL_INTERFACE_VERSION ? &Table : nullptr;
}
static_assert(std::is_same_v<decltype(&OrvexGdalInterface), TGdalEntry>, "the entry the programs look up");

#pragma once
// What the programs and the GDAL module (orvex-gdal.so) say to each other. The module alone
// links GDAL and is loaded on first use, so a program that never reads or writes such a format
// never loads GDAL's libraries. Only plain data crosses: the module knows no Orvex type (it must
// not carry a second copy of the map library's process-wide state), the programs no GDAL type.
//
// Every call runs on one thread at a time. A call that fails returns null, false or -1 and
// leaves its reason in LastError(). Texts are UTF-8 unless said otherwise; pointers the module
// returns stay valid as the entry says, and what it makes is freed by its own call.

#include <cstdint>

// Raised with every change that an older caller or module would misread.
#define ORVEX_GDAL_INTERFACE_VERSION 2u
// The one symbol the module exports, a TGdalEntry.
#define ORVEX_GDAL_ENTRY "OrvexGdalInterface"

extern "C" {

struct TGdalSource;      // a file opened for reading
struct TGdalReader;      // one of its layers being read
struct TGdalExport;      // a file being written
struct TGdalConversion;  // from a source's coordinates to longitude and latitude on WGS 84

// What one part of a feature's geometry is; a polygon gives one ring per part, holes included.
enum TGdalPartKind : int32_t { gpPoint = 1, gpLine = 2, gpRing = 3 };

struct TGdalPart {
    int32_t Kind;  // TGdalPartKind
    int32_t Count;
    const double* X;  // longitude in degrees, or the source's own x without a conversion
    const double* Y;
};

// One feature as read, valid until the next NextFeature or EndLayer.
struct TGdalFeature {
    const char* const* Fields;  // the values of the fields asked for, as text; null where unset
    const TGdalPart* Parts;
    int32_t PartCount;
};

// What a conversion converts from.
enum TGdalConversionKind : int32_t {
    gkDegrees = 0,     // degrees from Greenwich already, on any datum: Convert leaves them as they are
    gkProjected = 1,   // eastings and northings of a map projection
    gkGeographic = 2,  // longitudes and latitudes in other units or from another meridian
};

// The geometry an exported feature is written as.
enum TGdalShape : int32_t { gsNone = 0, gsPoint, gsMultiPoint, gsLine, gsPolygon };

struct TGdalInterface {
    uint32_t Version;  // ORVEX_GDAL_INTERFACE_VERSION

    // The reason the last failed call of this thread gave.
    const char* (*LastError)();

    // The lower-case extensions (without dots, separated by blanks) of every vector format.
    const char* (*VectorExtensions)();

    // Reading. Open takes a file name in the file system's own bytes.
    TGdalSource* (*Open)(const char* Path);
    void (*Close)(TGdalSource* Source);
    int32_t (*LayerCount)(TGdalSource* Source);
    // Valid while the source is open. Layer and field indexes count from 0.
    const char* (*LayerName)(TGdalSource* Source, int32_t Layer);
    int32_t (*FieldCount)(TGdalSource* Source, int32_t Layer);
    const char* (*FieldName)(TGdalSource* Source, int32_t Layer, int32_t Field);
    // Starts reading a layer at its first feature. Each feature gives the values of the Count
    // fields listed in Fields; its coordinates are divided by Divisor and then converted to
    // longitude and latitude when the layer says what they are. Curves come as lines.
    TGdalReader* (*ReadLayer)(TGdalSource* Source, int32_t Layer, const int32_t* Fields, int32_t Count,
                              double Divisor);
    // 1 with Feature filled, 0 after the last feature, -1 on a failure (the reader stays usable
    // only for EndLayer).
    int32_t (*NextFeature)(TGdalReader* Reader, TGdalFeature* Feature);
    void (*EndLayer)(TGdalReader* Reader);

    // Writing: a new file at Path (file system bytes) by the named driver ("GPKG", "GeoJSON")
    // holding one layer in longitude and latitude on WGS 84, with the fields ID (integer) and
    // Title (text).
    TGdalExport* (*CreateExport)(const char* Path, const char* Driver, const char* LayerName);
    // One feature of Count points (degrees) as Shape (TGdalShape).
    bool (*WriteFeature)(TGdalExport* Export, int32_t ID, const char* Title, int32_t Shape, int32_t Count,
                         const double* X, const double* Y);
    // Commits and closes the file; false when it could not be finished. Frees Export either way.
    bool (*FinishExport)(TGdalExport* Export);
    // Closes the file unfinished (the caller removes it) and frees Export.
    void (*AbandonExport)(TGdalExport* Export);

    // Conversions to longitude and latitude on WGS 84, longitude first: from the text of an
    // ESRI .prj file, an E00 PRJ block or any well-known text, or from a MapInfo "CoordSys ..."
    // clause. On failure LastError() is what follows the system's own text in a message
    // ("cannot be understood: ...").
    TGdalConversion* (*ConversionFromEsri)(const char* Text);
    TGdalConversion* (*ConversionFromMapInfo)(const char* CoordSys);
    // The source's coordinate system in words ("NAD83 / UTM zone 17N"); valid while Conversion is.
    const char* (*DescribeConversion)(const TGdalConversion* Conversion);
    // Converts Count points in place and returns how many of them, from the first, converted:
    // Count when all did; points from the first failure on are left as they were.
    int64_t (*Convert)(const TGdalConversion* Conversion, int64_t Count, double* X, double* Y);
    void (*FreeConversion)(TGdalConversion* Conversion);
    // TGdalConversionKind.
    int32_t (*ConversionKind)(const TGdalConversion* Conversion);
};

// The module's entry: its interface when it speaks Version, else null.
typedef const TGdalInterface* (*TGdalEntry)(uint32_t Version);

}  // extern "C"

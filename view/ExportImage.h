#pragma once
// Writing what a view shows to a picture file: PNG and JPEG images, and PDF documents that
// hold the map as vector drawing. The editor's "Export Image..." and the command-line
// tool's render both write through here.

#include <chrono>
#include <cstdint>
#include <string>

class TOrvex3;

enum class TPictureFormat : uint8_t { Png, Jpeg, Pdf, Unknown };

// The format a file name asks for by its extension (any case): .png, .jpg or .jpeg, .pdf.
TPictureFormat PictureFormatOf(const std::string& Path);

// The largest width and height of an exported picture, in pixels.
constexpr int32_t MaxPictureSide = 16384;

// Why a picture of Width x Height pixels cannot be made, or empty when it can.
std::string PictureSizeProblem(int64_t Width, int64_t Height);

// How long the two steps of an export took.
struct TExportTimes {
    std::chrono::nanoseconds Draw{}, Write{};
};

// Writes what View shows as a Width x Height picture to Path, in the format its extension
// names. At another size than the view's the view is rescaled as for printing, so the
// picture shows the same part of the map, and then given back as it was. The file is made
// whole in memory and only then replaces Path: false when it could not be written, an
// earlier file at Path being left as it was. Raises EOrvexException for a size or format
// that cannot be written and when memory for the picture runs out, EProgressAborted when the
// drawing was cancelled (the file is then left as it was).
// Times, when given, gets the time of the drawing and of the encoding and writing added.
bool ExportPicture(TOrvex3& View, const std::string& Path, int32_t Width, int32_t Height,
                   TExportTimes* Times = nullptr);

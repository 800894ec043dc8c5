#pragma once
// Imports MapInfo interchange files (.mif) with their attribute rows (.mid): one layer per file,
// presenters made from the Pen, Brush and Font clauses, object titles from the first column.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DeviceContext.h"
#include "styling/OrvexAttributes.h"

class TOrvex3;

// Imports the files in order. Each file starts from the defaults (a tab delimiter, version 0,
// no MID row), whatever the files before it held. The coordinates of a file whose CoordSys names a map projection
// are converted to longitude/latitude (said in a progress report), unless KeepCoordinates. A
// file whose CoordSys is neither longitude/latitude nor converted reports MsgType -1 "Import
// can only be made on Lat/Long tables!" and ends the run with EImportAborted; other failures
// end it with EImportError naming the file and line. Layers and objects made before stay in
// the view, and so do the default attributes the clauses wrote.
void ImportMIF(const std::vector<std::string>& FileNames, TOrvex3& View, bool KeepCoordinates = false);

// Cuts Text at every Delimiter (List is cleared first). Pieces before a delimiter are added when
// not empty or when KeepEmpty is set; the rest after the last delimiter only when not empty.
// The pieces point into Text. Returns the number of pieces.
int SplitText(std::string_view Text, std::string_view Delimiter, std::vector<std::string_view>& List,
              bool KeepEmpty);
// Every Find, scanned left to right, replaced (replaced text is not scanned again).
std::string ReplaceText(std::string_view Text, std::string_view Find, std::string_view Replacement);
// A MIF colour (red in the high byte) as a colour value (red in the low byte).
TColor MifColorToColor(int32_t Value);
TPenStyle MifPenStyle(int32_t Pattern);
TBrushStyle MifBrushStyle(int32_t Pattern);

#pragma once
// Imports ESRI shapefiles with the dBASE attribute tables beside them: one layer per file,
// one object per point, per part of a polyline or polygon and per point of a multipoint, drawn
// by the view's global presenters (-1 points, -2 polylines, -3 polygons).

#include <string>
#include <vector>

class TOrvex3;
class TSHPImportOptions;

// Imports the files in order. Options choose each table's title column and the divisor; null
// shows TfrmSHPImport. Cancel ends the run quietly; a failure reports MsgType -1 and ends the
// run with an exception (EImportError, EDBFException) after the clean-up. Layers and objects
// made before stay in the view.
void ImportSHP(const std::vector<std::string>& FileNames, TOrvex3& View, TSHPImportOptions* Options = nullptr);

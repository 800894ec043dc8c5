#pragma once
// The line of the import dialogs that names the conversion of the coordinates, with the box
// that keeps them as they are.

#include <string>

class QCheckBox;
class QLabel;

// Shows the line and the box (unticked) for a Description, hides both for none (the dialog
// lays itself out around them).
void ShowConversionLine(QLabel& Label, QCheckBox& Keep, const std::string& Description);

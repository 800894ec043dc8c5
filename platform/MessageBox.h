#pragma once
// The message box the Qt UI services show for ShowMessage, made but not shown: for callers that
// run it their own way (the editor's tour of pictures takes its picture from inside its loop).

#include <QDialog>
#include <memory>
#include <string>

#include "platform/UiServices.h"

std::unique_ptr<QDialog> MakeMessageBox(const std::string& Caption, const std::string& Text, TMessageKind Kind);

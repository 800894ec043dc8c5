#include "editor/EditorErrors.h"

#include "platform/UiServices.h"

const char* const kEditorCaption = "TOrvex Object Editor";

void ShowEditorException(const std::exception& Error) { UiServices().ShowMessage(kEditorCaption, Error.what()); }

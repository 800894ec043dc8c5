#include "editor/EditorErrors.h"

#include "platform/UiServices.h"

const char* const kEditorCaption = "TOrvex Object Editor";

void ShowEditorException(const std::exception& Error) { UiServices().ShowMessage(kEditorCaption, Error.what()); }

namespace {
int CommandHolds = 0;
}

void HoldCommands(bool Hold) {
    if (Hold)
        ++CommandHolds;
    else if (CommandHolds > 0)
        --CommandHolds;
}

bool CommandsHeld() { return CommandHolds > 0; }

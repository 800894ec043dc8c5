#pragma once
// The editor's answer to a failure inside a handler: its message in a message box, and the
// program goes on. Qt must never see an exception leave a slot or an event handler.

#include <exception>
#include <string>

// The caption of the editor's message boxes.
extern const char* const kEditorCaption;

void ShowEditorException(const std::exception& Error);

// While the map is drawn with the window kept painting, the commands of menus, buttons, keys
// and queued calls are refused (the command path asks): they could free what is being drawn.
// Holds nest.
void HoldCommands(bool Hold);
bool CommandsHeld();

// Runs Action; an exception it raises is shown and goes no further.
template <class F>
void RunGuarded(F&& Action) {
    try {
        Action();
    } catch (const std::exception& Error) {
        ShowEditorException(Error);
    }
}

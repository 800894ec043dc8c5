#pragma once
// The main window's open and save dialogs: the choices (filter, folder, proposed name) are
// set on the object, Execute shows the toolkit's dialog modally through the UI services and
// leaves the chosen files behind. OnExecute answers instead of a window, so tests choose
// files as a user would. Folders and files are the file system's bytes, as the model keeps them.

#include <functional>
#include <string>
#include <vector>

class QWidget;

class TFileDialog {
public:
    enum TKind { fdOpen, fdSave };
    TFileDialog(TKind Kind, QWidget* Owner) : FKind(Kind), FOwner(Owner) {}

    TKind Kind() const { return FKind; }
    // Pairs of description and pattern separated by '|': "Layer files (*.lyr)|*.lyr".
    std::string Filter;
    // The folder the dialog opens in; empty for the toolkit's choice.
    std::string InitialDir;
    // In: the proposed name. Out: the first chosen file.
    std::string FileName;
    // Out: every chosen file, in the order given.
    std::vector<std::string> Files;
    // Open dialogs only: more than one file may be chosen.
    bool AllowMultiSelect = false;

    // True when the user confirmed a choice. An open dialog returns only files that exist.
    bool Execute();
    std::function<bool(TFileDialog&)> OnExecute;
    // Told the folder of the files chosen, after every confirmed choice.
    std::function<void(const std::string& Folder)> OnChosen;

    // "desc|pat|desc|pat" as the toolkit's name filters ("desc (pat)").
    static std::vector<std::string> NameFilters(const std::string& Filter);

private:
    TKind FKind;
    QWidget* FOwner;
};

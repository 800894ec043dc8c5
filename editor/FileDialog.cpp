#include "editor/FileDialog.h"

#include <QFileDialog>
#include <filesystem>

#include "platform/Text.h"
#include "platform/UiServices.h"

std::vector<std::string> TFileDialog::NameFilters(const std::string& Filter) {
    std::vector<std::string> Parts;
    size_t Start = 0;
    while (Start <= Filter.size()) {
        const size_t Bar = Filter.find('|', Start);
        Parts.push_back(Filter.substr(Start, Bar == std::string::npos ? std::string::npos : Bar - Start));
        if (Bar == std::string::npos) break;
        Start = Bar + 1;
    }
    std::vector<std::string> Filters;
    for (size_t I = 0; I + 1 < Parts.size(); I += 2) {
        std::string Patterns = Parts[I + 1];
        for (char& C : Patterns)
            if (C == ';') C = ' ';
        // The toolkit reads the patterns from the parentheses: a description that already
        // ends with them is used as it stands.
        const std::string& Desc = Parts[I];
        const std::string Tail = "(" + Patterns + ")";
        if (Desc.size() >= Tail.size() && Desc.compare(Desc.size() - Tail.size(), Tail.size(), Tail) == 0)
            Filters.push_back(Desc);
        else
            Filters.push_back(Desc + " " + Tail);
    }
    return Filters;
}

bool TFileDialog::Execute() {
    Files.clear();
    bool Confirmed = false;
    if (OnExecute) {
        Confirmed = OnExecute(*this);
        if (Confirmed && Files.empty() && !FileName.empty()) Files.push_back(FileName);
    } else {
        QFileDialog Dialog(FOwner);
        QStringList Filters;
        for (const std::string& F : NameFilters(Filter)) Filters << ToQString(F);
        Dialog.setNameFilters(Filters);
        if (!InitialDir.empty()) Dialog.setDirectory(PathToQString(InitialDir));
        if (FKind == fdSave) {
            Dialog.setAcceptMode(QFileDialog::AcceptSave);
            Dialog.setFileMode(QFileDialog::AnyFile);
            // A name typed without an extension gets the filter's.
            const std::vector<std::string> F = NameFilters(Filter);
            const size_t Dot = Filter.rfind("*.");
            if (!F.empty() && Dot != std::string::npos) {
                std::string Ext = Filter.substr(Dot + 2);
                Ext = Ext.substr(0, Ext.find_first_of("|; )"));
                if (!Ext.empty() && Ext != "*") Dialog.setDefaultSuffix(ToQString(Ext));
            }
        } else {
            Dialog.setAcceptMode(QFileDialog::AcceptOpen);
            Dialog.setFileMode(AllowMultiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
        }
        if (!FileName.empty()) Dialog.selectFile(PathToQString(FileName));
        Confirmed = UiServices().ExecDialog(Dialog);
        if (Confirmed)
            for (const QString& F : Dialog.selectedFiles()) Files.push_back(PathFromQString(F));
    }
    if (!Confirmed) return false;
    if (FKind == fdOpen) {
        // Path and file must exist.
        std::erase_if(Files, [](const std::string& F) {
            std::error_code Error;
            return !std::filesystem::is_regular_file(F, Error);
        });
        if (!AllowMultiSelect && Files.size() > 1) Files.resize(1);
    } else if (Files.size() > 1) {
        Files.resize(1);
    }
    if (Files.empty()) return false;
    FileName = Files.front();
    if (OnChosen) OnChosen(std::filesystem::path(FileName).parent_path().string());
    return true;
}

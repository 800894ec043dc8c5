#pragma once
// The E00 import dialog and the choices it stands for: which record kinds to import, and
// whether to read a file whose projection cannot be inverted as if it were in degrees.

#include <QDialog>
#include <memory>
#include <string>

class QCheckBox;
class QPushButton;

// "Import ArcInfo E00 File".
class TfrmE00Import : public QDialog {
public:
    explicit TfrmE00Import(QWidget* Parent = nullptr);

    QCheckBox* cbxArcs;
    QCheckBox* cbxText;
    QPushButton* btnImport;
    QPushButton* btnCancel;
};

class TE00ImportOptions {
public:
    virtual ~TE00ImportOptions() = default;
    // Asked once per run, before the first file; false cancels the run.
    virtual bool ChooseRecords(bool& ImportArcs, bool& ImportText) = 0;
    // The question for an unrecognised projection ("Projection is UTM Load anyway?"); true
    // reads the file's coordinates as degrees.
    virtual bool AcceptProjection(const std::string& Question) = 0;
};

// TfrmE00Import through UiServices().ExecDialog, the question through ConfirmWarning.
class TE00ImportDialogOptions : public TE00ImportOptions {
public:
    TE00ImportDialogOptions();
    ~TE00ImportDialogOptions() override;
    bool ChooseRecords(bool& ImportArcs, bool& ImportText) override;
    bool AcceptProjection(const std::string& Question) override;
    TfrmE00Import& Dialog() { return *FDialog; }

private:
    std::unique_ptr<TfrmE00Import> FDialog;
};

class TE00ImportPresetOptions : public TE00ImportOptions {
public:
    bool Arcs = true;
    bool Text = true;
    bool AcceptUnknownProjection = false;
    bool ChooseRecords(bool& ImportArcs, bool& ImportText) override;
    bool AcceptProjection(const std::string& Question) override;
};

#pragma once
// The E00 import dialog and the choices it stands for: which record kinds to import, and
// whether to read a file whose projection cannot be inverted as if it were in degrees.

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;

// "Import ArcInfo E00 File".
class TfrmE00Import : public QDialog {
public:
    explicit TfrmE00Import(QWidget* Parent = nullptr);

    QCheckBox* cbxArcs;
    QCheckBox* cbxText;
    QPushButton* btnImport;
    QPushButton* btnCancel;

    // "Coordinates: converted from <Sources> to longitude/latitude" and the check box that
    // keeps them instead, below the record kinds; the dialog grows to hold them. "" hides both
    // and gives the dialog its first size back.
    void SetConversion(const std::string& Sources);
    QLabel* lblCoordinates;
    QCheckBox* cbxKeepCoordinates;
};

class TE00ImportOptions {
public:
    virtual ~TE00ImportOptions() = default;
    // Told the run's files before ChooseRecords, so that the dialog can say what their
    // coordinates are converted from.
    virtual void PrepareFor(const std::vector<std::string>& FileNames) { (void)FileNames; }
    // Asked once per run, before the first file; false cancels the run.
    virtual bool ChooseRecords(bool& ImportArcs, bool& ImportText) = 0;
    // Asked after ChooseRecords: true keeps every file's coordinates as the file has them (a
    // projection the importer does not invert then brings the question below).
    virtual bool KeepCoordinates() const { return false; }
    // The question for a projection that is neither inverted nor converted ("Projection is
    // FOO Load anyway?"); true reads the file's coordinates as degrees.
    virtual bool AcceptProjection(const std::string& Question) = 0;
};

// TfrmE00Import through UiServices().ExecDialog, the question through ConfirmWarning.
class TE00ImportDialogOptions : public TE00ImportOptions {
public:
    TE00ImportDialogOptions();
    ~TE00ImportDialogOptions() override;
    void PrepareFor(const std::vector<std::string>& FileNames) override;
    bool ChooseRecords(bool& ImportArcs, bool& ImportText) override;
    bool KeepCoordinates() const override { return FKeep; }
    bool AcceptProjection(const std::string& Question) override;
    TfrmE00Import& Dialog() { return *FDialog; }

private:
    std::unique_ptr<TfrmE00Import> FDialog;
    bool FOffered = false;
    bool FKeep = false;
};

class TE00ImportPresetOptions : public TE00ImportOptions {
public:
    bool Arcs = true;
    bool Text = true;
    bool AcceptUnknownProjection = false;
    bool KeepOriginalCoordinates = false;
    bool ChooseRecords(bool& ImportArcs, bool& ImportText) override;
    bool KeepCoordinates() const override { return KeepOriginalCoordinates; }
    bool AcceptProjection(const std::string& Question) override;
};

#pragma once
// The shapefile import dialog and the choices it stands for. The importer asks its options
// object; the dialog-backed one shows TfrmSHPImport through the UI services, the preset one
// (command line, tests) answers without a window.

#include <QDialog>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// "Import ESRI ShapeFile": pick the column that titles the objects and the divisor of the
// coordinates.
class TfrmSHPImport : public QDialog {
public:
    explicit TfrmSHPImport(QWidget* Parent = nullptr);

    // Each entry carries its column index (Qt::UserRole).
    void SetColumns(const std::vector<std::string>& Names);
    // The index attached to the selected entry, or -1.
    int32_t SelectedColumn() const;
    // Enables btnImport; runs when a column is clicked.
    void lbxColumnsClick();

    QLabel* Label1;
    QListWidget* lbxColumns;
    QLabel* Label2;
    QLineEdit* edtDivisor;
    QPushButton* btnImport;
    QPushButton* btnCancel;
    // "Encoding" of the attribute table: "Automatic" (the .cpg file, else the table's header)
    // or a character set by name. It sits between the buttons, where the layout has room.
    QComboBox* cbxEncoding;
    // The chosen name; "" for automatic.
    std::string EncodingName() const;

    // "Coordinates: converted from <Description> to longitude/latitude" and the check box that
    // keeps them instead, below the divisor; the dialog grows to hold them. "" hides both and
    // gives the dialog its first size back.
    void SetConversion(const std::string& Description);
    QLabel* lblCoordinates;
    QCheckBox* cbxKeepCoordinates;
};

class TSHPImportOptions {
public:
    virtual ~TSHPImportOptions() = default;
    // Asked for each file that has an attribute table, before its layer is made. Fills the
    // chosen column (an index into Columns) and the divisor as typed; false cancels the run.
    virtual bool Choose(const std::string& FileName, const std::vector<std::string>& Columns,
                        int32_t& TitleColumn, std::string& DivisorText) = 0;
    // The character set of the attribute table, asked after Choose; "" reads it from the .cpg
    // file beside the shapefile, else from the table's header.
    virtual std::string EncodingName() const { return {}; }
    // Told before Choose what the file's coordinates would be converted from ("" when they are
    // taken as they are), so that the dialog can say so.
    virtual void OfferConversion(const std::string& Description) { (void)Description; }
    // Asked after Choose, also for a file without a table: true keeps the coordinates as the
    // file has them, as if it described no coordinate system.
    virtual bool KeepCoordinates() const { return false; }
};

// Shows one TfrmSHPImport for the whole run through UiServices().ExecDialog.
class TSHPImportDialogOptions : public TSHPImportOptions {
public:
    TSHPImportDialogOptions();
    ~TSHPImportDialogOptions() override;
    bool Choose(const std::string& FileName, const std::vector<std::string>& Columns, int32_t& TitleColumn,
                std::string& DivisorText) override;
    std::string EncodingName() const override;
    void OfferConversion(const std::string& Description) override;
    bool KeepCoordinates() const override { return FKeep; }
    TfrmSHPImport& Dialog() { return *FDialog; }

private:
    std::unique_ptr<TfrmSHPImport> FDialog;
    bool FOffered = false;
    bool FKeep = false;
};

// Fixed answers: the column by name (any letter case) or, when Column is a whole number, by its
// index counted from 0; no column means the first.
class TSHPImportPresetOptions : public TSHPImportOptions {
public:
    std::string Column;
    std::string Divisor = "1";
    std::string Encoding;
    bool KeepOriginalCoordinates = false;
    std::string EncodingName() const override { return Encoding; }
    bool KeepCoordinates() const override { return KeepOriginalCoordinates; }
    bool Choose(const std::string& FileName, const std::vector<std::string>& Columns, int32_t& TitleColumn,
                std::string& DivisorText) override;
};

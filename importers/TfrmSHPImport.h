#pragma once
// The shapefile import dialog and the choices it stands for. The importer asks its options
// object; the dialog-backed one shows TfrmSHPImport through the UI services, the preset one
// (command line, tests) answers without a window.

#include <QDialog>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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
};

// Shows one TfrmSHPImport for the whole run through UiServices().ExecDialog.
class TSHPImportDialogOptions : public TSHPImportOptions {
public:
    TSHPImportDialogOptions();
    ~TSHPImportDialogOptions() override;
    bool Choose(const std::string& FileName, const std::vector<std::string>& Columns, int32_t& TitleColumn,
                std::string& DivisorText) override;
    std::string EncodingName() const override;
    TfrmSHPImport& Dialog() { return *FDialog; }

private:
    std::unique_ptr<TfrmSHPImport> FDialog;
};

// Fixed answers: the column by name (any letter case) or, when Column is a whole number, by its
// index counted from 0; no column means the first.
class TSHPImportPresetOptions : public TSHPImportOptions {
public:
    std::string Column;
    std::string Divisor = "1";
    std::string Encoding;
    std::string EncodingName() const override { return Encoding; }
    bool Choose(const std::string& FileName, const std::vector<std::string>& Columns, int32_t& TitleColumn,
                std::string& DivisorText) override;
};

#include "importers/TfrmSHPImport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QBoxLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>

#include "foundation/OrvexExceptions.h"
#include "importers/ConversionLine.h"
#include "importers/ImportSupport.h"
#include "importers/TextEncoding.h"
#include "platform/Text.h"
#include "platform/UiServices.h"

namespace {

// The column list's designed size; the conversion line wraps at its width.
constexpr int kListWidth = 233, kListHeight = 161;
// The designed client area.
constexpr int kWidth = 253, kHeight = 256;

}  // namespace

TfrmSHPImport::TfrmSHPImport(QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName("frmSHPImport");
    setWindowTitle("Import ESRI ShapeFile");

    Label1 = new QLabel("Select Column for Object title", this);
    Label1->setObjectName("Label1");
    lbxColumns = new QListWidget(this);
    lbxColumns->setObjectName("lbxColumns");
    Label2 = new QLabel("Long/lat Divisor", this);
    Label2->setObjectName("Label2");
    edtDivisor = new QLineEdit("1", this);
    edtDivisor->setObjectName("edtDivisor");
    btnImport = new QPushButton("Import Data", this);
    btnImport->setObjectName("btnImport");
    btnImport->setDefault(true);
    btnImport->setEnabled(false);
    btnCancel = new QPushButton("Cancel", this);
    btnCancel->setObjectName("btnCancel");
    cbxEncoding = new QComboBox(this);
    cbxEncoding->setObjectName("cbxEncoding");
    cbxEncoding->setToolTip("Encoding");
    cbxEncoding->setAccessibleName("Encoding");
    cbxEncoding->addItem("Automatic", QString());
    for (const char* const* Name = TTextEncoding::CommonNames(); *Name; ++Name)
        cbxEncoding->addItem(*Name, QString(*Name));
    lblCoordinates = new QLabel(this);
    lblCoordinates->setObjectName("lblCoordinates");
    lblCoordinates->setWordWrap(true);
    cbxKeepCoordinates = new QCheckBox("Keep the file's coordinates", this);
    cbxKeepCoordinates->setObjectName("cbxKeepCoordinates");
    // Laid out by the text it shows, so nothing is cut at a larger font.
    lbxColumns->setMinimumSize(kListWidth, kListHeight);
    lblCoordinates->setMinimumWidth(kListWidth);
    edtDivisor->setFixedWidth(104);
    cbxEncoding->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto* Divisor = new QHBoxLayout;
    Divisor->addWidget(Label2);
    Divisor->addWidget(edtDivisor);
    Divisor->addStretch(1);
    auto* Buttons = new QHBoxLayout;
    Buttons->addWidget(btnImport);
    Buttons->addWidget(cbxEncoding);
    Buttons->addStretch(1);
    Buttons->addWidget(btnCancel);
    auto* Column = new QVBoxLayout(this);
    Column->setContentsMargins(8, 8, 8, 8);
    Column->setSpacing(6);
    Column->addWidget(Label1);
    Column->addWidget(lbxColumns);
    Column->addLayout(Divisor);
    Column->addWidget(lblCoordinates);
    Column->addWidget(cbxKeepCoordinates);
    Column->addLayout(Buttons);
    SetConversion({});

    connect(lbxColumns, &QListWidget::itemClicked, this, [this] { lbxColumnsClick(); });
    connect(lbxColumns, &QListWidget::currentRowChanged, this, [this](int Row) {
        if (Row >= 0) lbxColumnsClick();
    });
    connect(btnImport, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    if (const QScreen* Screen = QGuiApplication::primaryScreen())
        move(Screen->availableGeometry().center() - rect().center());
}

void TfrmSHPImport::SetColumns(const std::vector<std::string>& Names) {
    // Filling the list is not a click.
    const QSignalBlocker Blocker(lbxColumns);
    lbxColumns->clear();
    for (size_t I = 0; I < Names.size(); ++I) {
        auto* Item = new QListWidgetItem(ToQString(Names[I]), lbxColumns);
        Item->setData(Qt::UserRole, static_cast<int>(I));
    }
    lbxColumns->setCurrentRow(-1);
}

int32_t TfrmSHPImport::SelectedColumn() const {
    const QList<QListWidgetItem*> Selected = lbxColumns->selectedItems();
    if (Selected.isEmpty()) return -1;
    return Selected.front()->data(Qt::UserRole).toInt();
}

std::string TfrmSHPImport::EncodingName() const { return FromQString(cbxEncoding->currentData().toString()); }

void TfrmSHPImport::lbxColumnsClick() { btnImport->setEnabled(true); }

void TfrmSHPImport::SetConversion(const std::string& Description) {
    ShowConversionLine(*lblCoordinates, *cbxKeepCoordinates, Description);
    // The designed size, or what the texts need at the user's font when that is more.
    layout()->invalidate();
    setFixedSize(sizeHint().expandedTo(QSize(kWidth, kHeight)));
    layout()->activate();
}

TSHPImportDialogOptions::TSHPImportDialogOptions() : FDialog(std::make_unique<TfrmSHPImport>()) {}

TSHPImportDialogOptions::~TSHPImportDialogOptions() = default;

bool TSHPImportDialogOptions::Choose(const std::string& FileName, const std::vector<std::string>& Columns,
                                     int32_t& TitleColumn, std::string& DivisorText) {
    TfrmSHPImport& D = *FDialog;
    D.SetColumns(Columns);
    D.edtDivisor->setText("1");
    D.btnImport->setEnabled(false);
    D.setWindowTitle(ToQString("Import " + FileName));
    if (!UiServices().ExecDialog(D)) return false;
    D.hide();
    UiServices().ProcessMessages();
    // Accepted without a click (only scripted answers can do that): the first column.
    TitleColumn = std::max<int32_t>(D.SelectedColumn(), 0);
    DivisorText = FromQString(D.edtDivisor->text());
    FKeep = FOffered && D.cbxKeepCoordinates->isChecked();
    return true;
}

void TSHPImportDialogOptions::OfferConversion(const std::string& Description) {
    FDialog->SetConversion(Description);
    FOffered = !Description.empty();
    // A file without a table is not asked: its coordinates are converted.
    FKeep = false;
}

std::string TSHPImportDialogOptions::EncodingName() const { return FDialog->EncodingName(); }

bool TSHPImportPresetOptions::Choose(const std::string& FileName, const std::vector<std::string>& Columns,
                                     int32_t& TitleColumn, std::string& DivisorText) {
    DivisorText = Divisor;
    TitleColumn = 0;
    if (Column.empty()) return true;
    for (size_t I = 0; I < Columns.size(); ++I)
        if (SameText(Columns[I], Column)) {
            TitleColumn = static_cast<int32_t>(I);
            return true;
        }
    int32_t Index = 0;
    if (ParseInt32(Column, Index) && Index >= 0 && static_cast<size_t>(Index) < Columns.size()) {
        TitleColumn = Index;
        return true;
    }
    std::string List;
    for (const std::string& C : Columns) List += (List.empty() ? "" : ", ") + C;
    throw EImportError(Format("%s: no column '%s' (the columns are %s; an index counts from 0)", FileName.c_str(),
                              Column.c_str(), List.empty() ? "none" : List.c_str()));
}

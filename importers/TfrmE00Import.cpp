#include "importers/TfrmE00Import.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

#include "platform/UiServices.h"

TfrmE00Import::TfrmE00Import(QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName("frmE00Import");
    setWindowTitle("Import ArcInfo E00 File");
    setFixedSize(224, 106);

    cbxArcs = new QCheckBox("Import Arc Records", this);
    cbxArcs->setObjectName("cbxArcs");
    cbxArcs->setGeometry(16, 9, 137, 17);
    cbxArcs->setChecked(true);
    cbxText = new QCheckBox("Import Text Records", this);
    cbxText->setObjectName("cbxText");
    cbxText->setGeometry(16, 33, 137, 17);
    cbxText->setChecked(true);
    btnImport = new QPushButton("Import Data", this);
    btnImport->setObjectName("btnImport");
    btnImport->setGeometry(8, 72, 75, 25);
    btnImport->setDefault(true);
    btnCancel = new QPushButton("Cancel", this);
    btnCancel->setObjectName("btnCancel");
    btnCancel->setGeometry(136, 72, 73, 25);

    connect(btnImport, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    if (const QScreen* Screen = QGuiApplication::primaryScreen())
        move(Screen->availableGeometry().center() - rect().center());
}

TE00ImportDialogOptions::TE00ImportDialogOptions() : FDialog(std::make_unique<TfrmE00Import>()) {}

TE00ImportDialogOptions::~TE00ImportDialogOptions() = default;

bool TE00ImportDialogOptions::ChooseRecords(bool& ImportArcs, bool& ImportText) {
    if (!UiServices().ExecDialog(*FDialog)) return false;
    FDialog->hide();
    ImportArcs = FDialog->cbxArcs->isChecked();
    ImportText = FDialog->cbxText->isChecked();
    return true;
}

bool TE00ImportDialogOptions::AcceptProjection(const std::string& Question) {
    return UiServices().ConfirmWarning("Import ArcInfo E00 File", Question);
}

bool TE00ImportPresetOptions::ChooseRecords(bool& ImportArcs, bool& ImportText) {
    ImportArcs = Arcs;
    ImportText = Text;
    return true;
}

bool TE00ImportPresetOptions::AcceptProjection(const std::string&) { return AcceptUnknownProjection; }

#include "importers/TfrmE00Import.h"

#include <QCheckBox>
#include <QBoxLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "importers/ConversionLine.h"
#include "importers/E002Orvex.h"
#include "platform/UiServices.h"

namespace {
// The designed client area; the conversion line wraps at about kLineWidth pixels.
constexpr int kWidth = 224, kHeight = 106, kLineWidth = 200;
}  // namespace

TfrmE00Import::TfrmE00Import(QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName("frmE00Import");
    setWindowTitle("Import ArcInfo E00 File");

    cbxArcs = new QCheckBox("Import Arc Records", this);
    cbxArcs->setObjectName("cbxArcs");
    cbxArcs->setChecked(true);
    cbxText = new QCheckBox("Import Text Records", this);
    cbxText->setObjectName("cbxText");
    cbxText->setChecked(true);
    btnImport = new QPushButton("Import Data", this);
    btnImport->setObjectName("btnImport");
    btnImport->setDefault(true);
    btnCancel = new QPushButton("Cancel", this);
    btnCancel->setObjectName("btnCancel");

    lblCoordinates = new QLabel(this);
    lblCoordinates->setObjectName("lblCoordinates");
    lblCoordinates->setWordWrap(true);
    cbxKeepCoordinates = new QCheckBox("Keep the files' coordinates", this);
    cbxKeepCoordinates->setObjectName("cbxKeepCoordinates");
    // Laid out by the text it shows, so nothing is cut at a larger font.
    auto* Buttons = new QHBoxLayout;
    Buttons->addWidget(btnImport);
    Buttons->addStretch(1);
    Buttons->addWidget(btnCancel);
    auto* Column = new QVBoxLayout(this);
    Column->setContentsMargins(8, 8, 8, 8);
    Column->setSpacing(6);
    for (QWidget* W : std::initializer_list<QWidget*>{cbxArcs, cbxText, lblCoordinates, cbxKeepCoordinates}) Column->addWidget(W);
    Column->addLayout(Buttons);
    lblCoordinates->setMinimumWidth(kLineWidth);
    SetConversion({});

    connect(btnImport, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    if (const QScreen* Screen = QGuiApplication::primaryScreen())
        move(Screen->availableGeometry().center() - rect().center());
}

void TfrmE00Import::SetConversion(const std::string& Sources) {
    ShowConversionLine(*lblCoordinates, *cbxKeepCoordinates, Sources);
    // The designed size, or what the texts need at the user's font when that is more.
    layout()->invalidate();
    setFixedSize(sizeHint().expandedTo(QSize(kWidth, kHeight)));
    layout()->activate();
}

TE00ImportDialogOptions::TE00ImportDialogOptions() : FDialog(std::make_unique<TfrmE00Import>()) {}

TE00ImportDialogOptions::~TE00ImportDialogOptions() = default;

void TE00ImportDialogOptions::PrepareFor(const std::vector<std::string>& FileNames) {
    // Each system once, in the order of the files.
    std::vector<std::string> Sources;
    for (const std::string& Path : FileNames)
        if (std::string Source = E00ConversionSource(Path);
            !Source.empty() && std::find(Sources.begin(), Sources.end(), Source) == Sources.end())
            Sources.push_back(std::move(Source));
    std::string Joined;
    for (const std::string& Source : Sources) Joined += (Joined.empty() ? "" : ", ") + Source;
    FDialog->SetConversion(Joined);
    FOffered = !Joined.empty();
    FKeep = false;
}

bool TE00ImportDialogOptions::ChooseRecords(bool& ImportArcs, bool& ImportText) {
    if (!UiServices().ExecDialog(*FDialog)) return false;
    FDialog->hide();
    ImportArcs = FDialog->cbxArcs->isChecked();
    ImportText = FDialog->cbxText->isChecked();
    FKeep = FOffered && FDialog->cbxKeepCoordinates->isChecked();
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

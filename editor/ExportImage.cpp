// "Export Image...": the view written as a PNG, JPEG or PDF file of a chosen size.
#include "editor/ExportImage.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <limits>

#include "foundation/ProgressAborted.h"
#include "foundation/OXUtils.h"
#include "platform/FilePaths.h"
#include "platform/Hourglass.h"
#include "platform/UiServices.h"
#include "editor/uMain.h"
#include "view/ExportImage.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"

namespace {
const char* const kExportCaption = "Export Image";

// A typed number of pixels: digits with an optional sign, saturated far beyond any allowed
// size; false for anything else.
bool ParseSide(const QLineEdit* Edit, int64_t& Value) {
    const QString Text = Edit->text().trimmed();
    static const QRegularExpression Whole("^[+-]?[0-9]+$");
    if (!Whole.match(Text).hasMatch()) return false;
    bool Ok = false;
    Value = Text.toLongLong(&Ok);
    if (!Ok) Value = Text.startsWith('-') ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    return true;
}
}  // namespace

TfrmExportImage::TfrmExportImage(int32_t ViewWidth, int32_t ViewHeight, QWidget* Parent)
    : QDialog(Parent), FViewWidth(std::max(1, ViewWidth)), FViewHeight(std::max(1, ViewHeight)) {
    setWindowTitle(kExportCaption);
    setObjectName("frmExportImage");
    edWidth = new QLineEdit(QString::number(FViewWidth));
    edWidth->setObjectName("edWidth");
    edHeight = new QLineEdit(QString::number(FViewHeight));
    edHeight->setObjectName("edHeight");
    cbKeepAspect = new QCheckBox("Keep the view's aspect");
    cbKeepAspect->setObjectName("cbKeepAspect");
    cbKeepAspect->setChecked(true);
    auto* Form = new QFormLayout;
    Form->addRow("Width (pixels):", edWidth);
    Form->addRow("Height (pixels):", edHeight);
    Form->addRow(cbKeepAspect);
    auto* Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* Layout = new QVBoxLayout(this);
    Layout->addLayout(Form);
    Layout->addWidget(Buttons);
    connect(edWidth, &QLineEdit::textEdited, this, [this] { SideEdited(true); });
    connect(edHeight, &QLineEdit::textEdited, this, [this] { SideEdited(false); });
    connect(cbKeepAspect, &QCheckBox::toggled, this, [this](bool On) {
        if (On) SideEdited(true);
    });
}

void TfrmExportImage::SideEdited(bool Width) {
    if (!cbKeepAspect->isChecked()) return;
    int64_t Side;
    if (!ParseSide(Width ? edWidth : edHeight, Side) || Side < 1 || Side > MaxPictureSide) return;
    const long double Other = Width ? static_cast<long double>(Side) * FViewHeight / FViewWidth
                                    : static_cast<long double>(Side) * FViewWidth / FViewHeight;
    (Width ? edHeight : edWidth)->setText(QString::number(std::max(1, RoundSaturate(Other))));
}

int32_t TfrmExportImage::PictureWidth() const {
    int64_t V = 0;
    return ParseSide(edWidth, V) ? SaturateInt32(V) : 0;
}

int32_t TfrmExportImage::PictureHeight() const {
    int64_t V = 0;
    return ParseSide(edHeight, V) ? SaturateInt32(V) : 0;
}

std::string TfrmExportImage::SizeProblem() const {
    int64_t W, H;
    if (!ParseSide(edWidth, W) || !ParseSide(edHeight, H))
        return "The width and the height of the image must be whole numbers of pixels";
    return PictureSizeProblem(W, H);
}

void TfrmExportImage::accept() {
    if (const std::string Problem = SizeProblem(); !Problem.empty()) {
        UiServices().ShowMessage(kExportCaption, Problem, mkWarning);
        return;
    }
    QDialog::accept();
}

void TfrmMain::ExportImage() {
    SaveDialog.Filter = "PNG image (*.png)|*.png|JPEG image (*.jpg;*.jpeg)|*.jpg;*.jpeg|PDF document (*.pdf)|*.pdf";
    SaveDialog.FileName = "map.png";
    SaveDialog.InitialDir = LastFolder();
    if (!SaveDialog.Execute()) return;
    std::string File = SaveDialog.FileName;
    // A name typed without an extension is a PNG image.
    if (SplitPath(File).Name.find('.') == std::string::npos) File += ".png";
    TfrmExportImage Size(FView->Canvas()->Width(), FView->Canvas()->Height(), this);
    if (!UiServices().ExecDialog(Size)) return;
    // A dialog answered without its OK button is checked here.
    if (const std::string Problem = Size.SizeProblem(); !Problem.empty()) {
        UiServices().ShowMessage(kExportCaption, Problem, mkWarning);
        return;
    }
    bool Written;
    try {
        THourglass Hourglass;
        Written = ExportPicture(*FView, File, Size.PictureWidth(), Size.PictureHeight());
    } catch (const EProgressAborted&) {
        // Cancelled by the user while the picture was drawn: no file, and nothing to report.
        return;
    }
    if (!Written) throw EOrvexException(Format("Cannot write the image '%s'", File.c_str()));
}

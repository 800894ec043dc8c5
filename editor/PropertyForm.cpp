#include "editor/PropertyForm.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <cmath>

#include "editor/OXProp.h"
#include "foundation/OXUtils.h"
#include "importers/ImportSupport.h"
#include "platform/Text.h"

namespace {

constexpr int kClientWidth = 185;
constexpr int kClientHeight = 265;
constexpr int kPanelHeight = 33;

QLabel* MakeLabel(const char* Text, QWidget* Page, int X, int Y) {
    auto* L = new QLabel(Text, Page);
    L->move(X, Y);
    L->adjustSize();
    return L;
}

QLineEdit* MakeEdit(const char* Name, QWidget* Page, int X, int Y) {
    auto* E = new QLineEdit(Page);
    E->setObjectName(Name);
    E->setGeometry(X, Y, 121, 21);
    return E;
}

QWidget* MakePage(const char* Name, QStackedWidget* Notebook) {
    auto* Page = new QWidget(Notebook);
    Page->setObjectName(Name);
    Notebook->addWidget(Page);
    return Page;
}

// Two decimals, as general text: 111.12, 60.
QString TwoDecimals(long double Value) {
    return ToQString(FloatToText(std::nearbyint(Value * 100) * 0.01L));
}

}  // namespace

TPropertyForm::TPropertyForm(QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName("PropertyForm");
    setWindowTitle("Select set members");
    setFixedSize(kClientWidth, kClientHeight);

    Notebook1 = new QStackedWidget(this);
    Notebook1->setObjectName("Notebook1");
    Notebook1->setGeometry(0, 0, kClientWidth, kClientHeight - kPanelHeight);

    pageSets = MakePage("Sets", Notebook1);
    lbSetMembers = new QListWidget(pageSets);
    lbSetMembers->setObjectName("lbSetMembers");
    lbSetMembers->setGeometry(0, 0, kClientWidth, kClientHeight - kPanelHeight);

    pageOrvexUnits = MakePage("OrvexUnits", Notebook1);
    Label1 = MakeLabel("OrvexUnits", pageOrvexUnits, 12, 10);
    Label2 = MakeLabel("Decimal Degrees", pageOrvexUnits, 12, 52);
    Label3 = MakeLabel("Nautical Miles", pageOrvexUnits, 12, 97);
    Label4 = MakeLabel("Kilometers", pageOrvexUnits, 12, 141);
    edtOU = MakeEdit("edtOU", pageOrvexUnits, 12, 25);
    edtDD = MakeEdit("edtDD", pageOrvexUnits, 12, 68);
    edtNM = MakeEdit("edtNM", pageOrvexUnits, 13, 112);
    edtKM = MakeEdit("edtKM", pageOrvexUnits, 13, 157);
    lblException = new QLabel(pageOrvexUnits);
    lblException->setObjectName("lblException");
    lblException->setGeometry(12, 184, 161, 45);
    lblException->setWordWrap(true);
    lblException->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    pageFontName = MakePage("FontName", Notebook1);
    lstFonts = new QListWidget(pageFontName);
    lstFonts->setObjectName("lstFonts");
    lstFonts->setGeometry(0, 0, kClientWidth, kClientHeight - kPanelHeight);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setGeometry(0, kClientHeight - kPanelHeight, kClientWidth, kPanelHeight);
    BitBtn1 = new QPushButton("OK", Panel1);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setGeometry(2, 2, 75, 29);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton("Cancel", Panel1);
    BitBtn2->setObjectName("BitBtn2");
    BitBtn2->setGeometry(108, 2, 75, 29);

    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    // OrvexUnits follows every change; the other fields only what the user types, so the
    // values written into them do not convert back and drift by their rounding.
    connect(edtOU, &QLineEdit::textChanged, this, [this] { edtOUChange(); });
    for (int Tag = 0; Tag < 3; ++Tag)
        connect(ValueEdit(Tag), &QLineEdit::textEdited, this, [this, Tag] { edtValueChange(Tag); });

    if (const QScreen* Screen = QGuiApplication::primaryScreen())
        move(Screen->availableGeometry().center() - rect().center());
}

void TPropertyForm::SetActivePage(const QString& Name) {
    for (int I = 0; I < Notebook1->count(); ++I)
        if (Notebook1->widget(I)->objectName() == Name) Notebook1->setCurrentIndex(I);
}

QString TPropertyForm::ActivePage() const { return Notebook1->currentWidget()->objectName(); }

QLineEdit* TPropertyForm::ValueEdit(int Tag) const {
    switch (Tag) {
        case 0:
            return edtDD;
        case 1:
            return edtNM;
        default:
            return edtKM;
    }
}

void TPropertyForm::edtOUChange() {
    int64_t Typed = 0;
    const bool IsInteger = ParseIntegerText(FromQString(edtOU->text()), Typed) == TIntText::itOk;
    const int32_t V = IsInteger && Typed >= INT32_MIN && Typed <= INT32_MAX ? static_cast<int32_t>(Typed) : 0;
    const long double Values[3] = {OrvexUnitsToDeg(V), OrvexUnitsToUnits(V, NauticalMile),
                                   OrvexUnitsToUnits(V, Kilometer)};
    for (int Tag = 0; Tag < 3; ++Tag)
        if (Tag != FEditingTag) ValueEdit(Tag)->setText(TwoDecimals(Values[Tag]));
}

void TPropertyForm::edtValueChange(int Tag) {
    const std::string Text = FromQString(ValueEdit(Tag)->text());
    if (Text.empty()) return;
    long double Value = 0;
    if (!ParseReal(TrimText(Text), Value)) {
        lblException->setText(ToQString("'" + Text + "' is not a valid floating point value"));
        return;
    }
    const std::optional<int32_t> Units =
        Tag == 0 ? CheckedDegrees(Value) : CheckedUnits(Tag == 1 ? NauticalMile : Kilometer, Value);
    if (!Units) {
        lblException->setText("Floating point overflow");
        return;
    }
    FEditingTag = Tag;
    const QString NewText = QString::number(*Units);
    if (edtOU->text() == NewText)
        edtOUChange();
    else
        edtOU->setText(NewText);
    FEditingTag = -1;
    lblException->clear();
}

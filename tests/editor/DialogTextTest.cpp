// Every dialog at the default font and at one and a half times it: no label, check box or
// button shows less than its text, and the projection list holds its longest name.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <functional>
#include <memory>

#include "MainFixture.h"
#include "editor/ExportImage.h"
#include "editor/FindDialog.h"
#include "editor/SelLayer.h"
#include "importers/TfrmE00Import.h"
#include "importers/TfrmSHPImport.h"

namespace {

// The widgets of Top whose text does not fit, as "class 'text' needs N, has M".
std::vector<std::string> CutTexts(QWidget& Top) {
    std::vector<std::string> Cut;
    auto Note = [&](QWidget* W, const QString& Text, int Need, int Have) {
        if (W->isVisibleTo(&Top) && !Text.isEmpty() && Need > Have)
            Cut.push_back(std::string(W->metaObject()->className()) + " '" + Text.toStdString() + "' needs " +
                          std::to_string(Need) + ", has " + std::to_string(Have));
    };
    for (QLabel* L : Top.findChildren<QLabel*>()) {
        if (L->wordWrap() || L->text().contains('<')) continue;
        const int Need = L->fontMetrics().horizontalAdvance(L->text().remove('&'));
        Note(L, L->text(), Need, L->contentsRect().width());
    }
    for (QAbstractButton* B : Top.findChildren<QAbstractButton*>()) {
        if (B->text().isEmpty()) continue;
        // A push button needs its text and the style's margins; other buttons their size hint
        // (box or circle, spacing, text).
        constexpr int kEdge = 2;
        const int Need = qobject_cast<QPushButton*>(B)
                             ? B->fontMetrics().horizontalAdvance(QString(B->text()).remove('&')) + 2 * kEdge
                             : B->sizeHint().width();
        Note(B, B->text(), Need, B->width());
    }
    for (QComboBox* C : Top.findChildren<QComboBox*>()) {
        int Longest = 0;
        for (int I = 0; I < C->count(); ++I) Longest = std::max(Longest, C->fontMetrics().horizontalAdvance(C->itemText(I)));
        // The widest item in the field the style leaves beside the arrow.
        QStyleOptionComboBox Option;
        Option.initFrom(C);
        Option.rect = C->rect();
        const QRect Field = C->style()->subControlRect(QStyle::CC_ComboBox, &Option, QStyle::SC_ComboBoxEditField, C);
        Note(C, C->count() ? C->itemText(0) : QString(), Longest, Field.width());
    }
    return Cut;
}

class DialogTextTest : public MainWindowTest {
protected:
    void TearDown() override {
        QApplication::setFont(Default);
        MainWindowTest::TearDown();
    }
    QFont Default = QApplication::font();
};

TEST_F(DialogTextTest, NoTextIsCutAtTheDefaultFontOrOneAndAHalfTimesIt) {
    const struct {
        const char* Name;
        std::function<std::unique_ptr<QWidget>()> Make;
    } Dialogs[] = {
        {"shapefile import", [] { return std::make_unique<TfrmSHPImport>(); }},
        {"E00 import", [] { return std::make_unique<TfrmE00Import>(); }},
        {"Export Image", [] { return std::make_unique<TfrmExportImage>(800, 600); }},
        {"Find", [this] { return std::make_unique<TfrmFind>(View()); }},
        {"Select a Layer", [this] { return std::make_unique<TfrmSelLayer>(View()); }},
        {"main window", [this] {
             Open();
             return std::unique_ptr<QWidget>();
         }},
    };
    for (const double Scale : {1.0, 1.5}) {
        QFont F = Default;
        F.setPointSizeF(Default.pointSizeF() * Scale);
        QApplication::setFont(F);
        for (const auto& D : Dialogs) {
            SCOPED_TRACE(std::string(D.Name) + " at " + std::to_string(Scale));
            std::unique_ptr<QWidget> W = D.Make();
            QWidget& Top = W ? *W : static_cast<QWidget&>(*Main);
            Top.show();
            QApplication::processEvents();
            for (const std::string& C : CutTexts(Top)) ADD_FAILURE() << C;
        }
    }
}

}  // namespace

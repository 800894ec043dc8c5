// Every dialog at the default font and at one and a half times it: no label, check box or
// button shows less than its text, and the projection list holds its longest name; no menu
// item of the main window shows less than its text and its keys.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
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

// The items of Menu and of its submenus whose text and keys do not fit the menu's width, as
// "menu > 'text' 'keys' needs N, has M". The menu is shown to be measured.
std::vector<std::string> CutMenuItems(QMenu& Menu, const std::string& Path = {}) {
    std::vector<std::string> Cut;
    const std::string Name = (Path.empty() ? "" : Path + " > ") + Menu.title().remove('&').toStdString();
    Menu.popup(QPoint(0, 0));
    QApplication::processEvents();
    QStyle* Style = Menu.style();
    const int Edge = Style->pixelMetric(QStyle::PM_MenuHMargin, nullptr, &Menu) +
                     Style->pixelMetric(QStyle::PM_MenuPanelWidth, nullptr, &Menu);
    const QRect Inside = Menu.rect().adjusted(Edge, 0, -Edge, 0);
    const QFontMetrics Metrics(Menu.font());
    // Text and keys need at least a gap of two spaces between them to read as two columns.
    const int Gap = 2 * Metrics.horizontalAdvance(' ');
    std::vector<QMenu*> Submenus;
    for (QAction* A : Menu.actions()) {
        if (A->isSeparator() || !A->isVisible()) continue;
        if (A->menu()) Submenus.push_back(A->menu());
        const QString Text = QString(A->text()).remove('&');
        const QString Keys = A->shortcut().toString(QKeySequence::NativeText);
        const int Need =
            Metrics.horizontalAdvance(Text) + (Keys.isEmpty() ? 0 : Gap + Metrics.horizontalAdvance(Keys));
        const int Have = Menu.actionGeometry(A).intersected(Inside).width();
        if (Need > Have)
            Cut.push_back(Name + " > '" + Text.toStdString() + "' '" + Keys.toStdString() + "' needs " +
                          std::to_string(Need) + ", has " + std::to_string(Have));
    }
    Menu.hide();
    for (QMenu* S : Submenus)
        for (std::string& C : CutMenuItems(*S, Name)) Cut.push_back(std::move(C));
    return Cut;
}

class DialogTextTest : public MainWindowTest {
protected:
    void TearDown() override {
        QApplication::setFont(Default);
        MainWindowTest::TearDown();
    }
    QFont Default = QApplication::font();
    // Check at the default font and at one and a half times it.
    void AtBothFontSizes(const std::function<void(const std::string& Size)>& Check) {
        for (const double Scale : {1.0, 1.5}) {
            QFont F = Default;
            F.setPointSizeF(Default.pointSizeF() * Scale);
            QApplication::setFont(F);
            Check(" at " + std::to_string(Scale));
        }
    }
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
    AtBothFontSizes([&](const std::string& Size) {
        for (const auto& D : Dialogs) {
            SCOPED_TRACE(D.Name + Size);
            std::unique_ptr<QWidget> W = D.Make();
            QWidget& Top = W ? *W : static_cast<QWidget&>(*Main);
            Top.show();
            QApplication::processEvents();
            for (const std::string& C : CutTexts(Top)) ADD_FAILURE() << C;
        }
    });
}

// The menu bar's menus, at both sizes, with the Edit menu holding an undo entry (its item
// then names the change) and with Ctrl+Z moved to it; a menu kept narrower than its items must
// be caught, or the walk proves nothing.
TEST_F(DialogTextTest, NoMenuItemIsCutAtTheDefaultFontOrOneAndAHalfTimesIt) {
    auto MenuBar = [this](const char* Command) {
        Open();
        if (Command) Act(Command)->trigger();
        std::vector<QMenu*> Menus;
        for (QAction* Top : Main->menuBar()->actions())
            if (QMenu* M = Top->menu()) Menus.push_back(M);
        return Menus;
    };
    std::unique_ptr<QMenu> Narrow;
    const struct {
        const char* Name;
        std::function<std::vector<QMenu*>()> Menus;
        bool Cut;
    } Cases[] = {
        {"as started", [&] { return MenuBar(nullptr); }, false},
        {"after a change to undo", [&] { return MenuBar("actNewLayer"); }, false},
        {"with Ctrl+Z undoing", [&] { return MenuBar("actCtrlZUndoes"); }, false},
        {"a menu kept too narrow", [&] {
             Narrow = std::make_unique<QMenu>("Narrow");
             Narrow->addAction("Undo Change the Pen Colour", QKeySequence("Ctrl+Shift+Z"));
             Narrow->setMaximumWidth(80);
             return std::vector<QMenu*>{Narrow.get()};
         }, true},
    };
    AtBothFontSizes([&](const std::string& Size) {
        for (const auto& C : Cases) {
            SCOPED_TRACE(C.Name + Size);
            std::vector<std::string> Cut;
            for (QMenu* M : C.Menus())
                for (std::string& Item : CutMenuItems(*M)) Cut.push_back(std::move(Item));
            if (C.Cut)
                EXPECT_FALSE(Cut.empty());
            else
                for (const std::string& Item : Cut) ADD_FAILURE() << Item;
        }
    });
}

}  // namespace

// Property lists and handlers: values as text both ways, pick lists, colour names, the
// presenter choice and the three pages of the property dialog.
#include <QColorDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

#include "EditorFixtures.h"
#include "editor/PropertyForm.h"
#include "foundation/OrvexExceptions.h"
#include "projections/PrjModel.h"

namespace {

using PropertyListTest = EditorTest;

TEST_F(PropertyListTest, ListsInheritedPropertiesFirstWithTheHandlerTheirTypeOrNameChooses) {
    const TOrvexProperties Props(Pen);
    ASSERT_EQ(Props.Count(), static_cast<int32_t>(Pen->ClassInfo().Properties().size()));
    EXPECT_EQ(Props.PropName(0), "Name");
    EXPECT_EQ(Props.PropName(1), "FeatureID");
    EXPECT_EQ(Props.PropName(Props.Count() - 1), "PolylinePen");
    EXPECT_EQ(TOrvexProperties(nullptr).Count(), 0);

    struct {
        TPersistent* Item;
        const char* Prop;
        int32_t Attributes;
    } const Rows[] = {
        {Road, "Presenter", paValueList},           {Road, "Title", paPlain},
        {Road, "Hidden", paValueList},              {Pen, "TitleFont", paDialog},
        {Pen, "TitleAlignment", paValueList},       {Pen->TitleFont(), "FontStyle", paDialog},
        {Pen->TitleFont(), "FontName", paDialog},   {Pen->TitleFont(), "FontColor", paValueList},
        {Pen->TitleFont(), "FontSize", paPlain},    {View.ProjectionModel(), "XRotation", paDialog},
        {View.ProjectionModel(), "SecondParallel", paDialog},
        {View.ProjectionModel(), "CentralParallel", paPlain},
        {View.ProjectionModel(), "ScaleFactor", paPlain},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Prop);
        const TOrvexProperties List(R.Item);
        const int32_t I = IndexOf(List, R.Prop);
        ASSERT_GE(I, 0);
        EXPECT_EQ(List.PropAttributes(I), R.Attributes);
    }
    EXPECT_THROW(Props.GetValue(-1), EListError);
    EXPECT_THROW(Props.PropKind(Props.Count()), EListError);
}

TEST_F(PropertyListTest, TypedTextChangesOnlyWhatThePropertyCanHold) {
    TOrvexFont* Font = Pen->TitleFont();
    struct {
        TPersistent* Item;
        const char* Prop;
        const char* Typed;
        const char* Shown;
    } const Rows[] = {
        {Road, "ID", "12", "12"},
        {Road, "ID", "12x", "0"},                   // not an integer: 0
        {Road, "ID", " 42 ", "42"},
        {Road, "ID", "2147483648", "42"},           // past Integer: unchanged, never wrapped
        {Road, "ID", "$80000000", "-2147483648"},  // hexadecimal is a 32-bit pattern
        {Road, "ID", "", "-2147483648"},
        {Road, "FeatureID", "40000", "7"},          // Smallint
        {Road, "FeatureID", "$7FFF", "32767"},
        {Pen->PolylinePen(), "PenWidth", "256", "1"},  // Byte
        {Pen->PolylinePen(), "PenWidth", "3", "3"},
        {Pen, "TitleAlignment", "taTop", "taTop"},
        {Pen, "TitleAlignment", "Maximal", "taTop"},
        {Pen, "TitleAlignment", "tabottom", "taBottom"},
        {Road, "Hidden", "True", "True"},
        {Road, "Value", "2.5", "2.5"},
        {Road, "Value", "abc", "2.5"},
        {Road, "Value", "1e400", "2.5"},
        {Road, "Value", "0.1", "0.1"},
        {Road, "Title", "", ""},
        {Font, "FontStyle", "[]", "[fsBold,fsItalic]"},  // sets change through their dialog only
        {Pen, "TitleFont", "x", "(TOrvexFont)"},
    };
    Font->SetFontStyle(3);
    for (const auto& R : Rows) {
        SCOPED_TRACE(std::string(R.Prop) + " <- '" + R.Typed + "'");
        TOrvexProperties List(R.Item);
        const int32_t I = IndexOf(List, R.Prop);
        ASSERT_GE(I, 0);
        List.SetValue(I, R.Typed);
        EXPECT_EQ(List.GetValue(I), R.Shown);
    }
    EXPECT_EQ(Road->ID(), INT32_MIN);

    // A read-only value shows, and typing for it is ignored.
    auto Chain = MakeChain(2);
    Chain[0]->Depth = 5;
    TOrvexProperties List(Chain[0].get());
    List.SetValue(IndexOf(List, "Depth"), "7");
    EXPECT_EQ(List.GetValue(IndexOf(List, "Depth")), "5");
    EXPECT_EQ(List.ObjectValue(IndexOf(List, "Next")), Chain[1].get());
}

TEST_F(PropertyListTest, ColoursShowByNameOrHexAndTakeNamesOrNumbers) {
    TOrvexFont* Font = Pen->TitleFont();
    TOrvexProperties List(Font);
    const int32_t I = IndexOf(List, "FontColor");
    struct {
        uint32_t Value;
        const char* Shown;
    } const Shown[] = {{255, "clRed"},          {1193046, "$00123456"}, {0x8000000F, "clBtnFace"},
                       {0x1FFFFFFF, "clNone"},  {0xABCDEF, "$00abcdef"}, {0x80000019, "$80000019"}};
    for (const auto& R : Shown) {
        Font->SetFontColor(static_cast<TColor>(R.Value));
        EXPECT_EQ(List.GetValue(I), R.Shown);
    }
    struct {
        const char* Typed;
        uint32_t Value;
    } const Typed[] = {{"clBtnFace", 0x8000000F}, {"65280", 0xFF00},   {"$FF", 0xFF},     {"clwhite", 0xFFFFFF},
                       {"junk", 0xFFFFFF},        {"$1FFFFFFFF", 0xFFFFFF}, {"-1", 0xFFFFFFFF}};
    for (const auto& R : Typed) {
        SCOPED_TRACE(R.Typed);
        List.SetValue(I, R.Typed);
        EXPECT_EQ(static_cast<uint32_t>(Font->FontColor()), R.Value);
    }
    std::vector<std::string> Names;
    List.GetValues(I, Names);
    ASSERT_EQ(Names.size(), 16u);
    EXPECT_EQ(Names.front(), "clBlack");
    EXPECT_EQ(Names.back(), "clWhite");
}

TEST_F(PropertyListTest, PresenterIsChosenByNameFromTheLayerThenTheGlobalLayer) {
    auto* Loose = TGeoDataObject::Create(Layer);
    TOrvexProperties List(Loose);
    const int32_t I = IndexOf(List, "Presenter");
    EXPECT_EQ(List.GetValue(I), "(Undefined)");

    std::vector<std::string> Names;
    List.GetValues(I, Names);
    EXPECT_EQ(Names, (std::vector<std::string>{"Highway", "GlobalPointPresenter", "GlobalPolylinePresenter",
                                               "GlobalPolygonPresenter"}));
    for (const char* Typed : {"nobody", "", "Highwa"}) {
        List.SetValue(I, Typed);
        EXPECT_EQ(Loose->Presenter(), nullptr) << Typed;
    }
    List.SetValue(I, "globalpolylinepresenter");
    ASSERT_NE(Loose->Presenter(), nullptr);
    EXPECT_EQ(Loose->Presenter()->Layer(), View.GlobalLayer());
    List.SetValue(I, "HIGHWAY");
    EXPECT_EQ(Loose->Presenter(), Pen);
    EXPECT_FALSE(List.Edit(I)) << "the inspector opens the presenter instead";
    EXPECT_EQ(List.ObjectValue(I), Pen);

    TOrvexPresenterHandler Handler;
    std::vector<std::string> None;
    EXPECT_THROW(Handler.GetValues(Pen, *Pen->ClassInfo().FindProperty("Name"), None), EInvalidCast);
}

TEST_F(PropertyListTest, IntegerTextsParseWithoutWrapping) {
    struct {
        const char* Text;
        TIntText Result;
        int64_t Value;
    } const Rows[] = {
        {"$80000000", TIntText::itOk, INT32_MIN},      {"0x10", TIntText::itOk, 16},
        {"+5", TIntText::itOk, 5},                     {"-9223372036854775808", TIntText::itOk, INT64_MIN},
        {"9223372036854775808", TIntText::itOutOfRange, 0}, {"$100000000", TIntText::itOutOfRange, 0},
        {"1 2", TIntText::itNotInteger, 0},            {"-", TIntText::itNotInteger, 0},
        {"$", TIntText::itNotInteger, 0},              {"12.0", TIntText::itNotInteger, 0},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Text);
        int64_t V = 0;
        EXPECT_EQ(ParseIntegerText(R.Text, V), R.Result);
        if (R.Result == TIntText::itOk) {
            EXPECT_EQ(V, R.Value);
        }
    }
    EXPECT_EQ(FloatToText(111.12L), "111.12");
    EXPECT_EQ(FixedToText(-0.5L, 4, 3), "-0.5000");
    EXPECT_EQ(FixedToText(0, 4, 8), "  0.0000");
}

// The three dialogs: the set page once through its real buttons, the others by their fields.
TEST_F(PropertyListTest, SetMembersAreCheckedInTheDialogAndWrittenOnOK) {
    TOrvexFont* Font = Pen->TitleFont();
    Font->SetFontStyle(1);
    TOrvexProperties List(Font);
    const int32_t I = IndexOf(List, "FontStyle");
    int Shown = 0;
    Ui.OnDialog = [&](QDialog& D) {
        auto* Form = dynamic_cast<TPropertyForm*>(&D);
        ASSERT_NE(Form, nullptr);
        ++Shown;
        EXPECT_EQ(Form->windowTitle(), "Select set members");
        EXPECT_EQ(Form->ActivePage(), "Sets");
        EXPECT_EQ(Form->size(), QSize(185, 265));
        ASSERT_EQ(Form->lbSetMembers->count(), 4);
        EXPECT_EQ(Form->lbSetMembers->item(0)->text(), "fsBold");
        EXPECT_EQ(Form->lbSetMembers->item(0)->checkState(), Shown == 1 ? Qt::Checked : Qt::Unchecked);
        EXPECT_EQ(Form->lbSetMembers->item(3)->checkState(), Shown == 1 ? Qt::Unchecked : Qt::Checked);
        Form->lbSetMembers->item(0)->setCheckState(Qt::Unchecked);
        Form->lbSetMembers->item(1)->setCheckState(Qt::Checked);
        Form->lbSetMembers->item(3)->setCheckState(Qt::Checked);
        QTest::mouseClick(Shown == 1 ? Form->BitBtn1 : Form->BitBtn2, Qt::LeftButton);
        EXPECT_EQ(Form->result(), Shown == 1 ? QDialog::Accepted : QDialog::Rejected);
    };
    EXPECT_TRUE(List.Edit(I));
    EXPECT_EQ(List.GetValue(I), "[fsItalic,fsStrikeOut]");
    Ui.Answers = {false};
    EXPECT_TRUE(List.Edit(I));
    EXPECT_EQ(List.GetValue(I), "[fsItalic,fsStrikeOut]") << "cancelled";
}

TEST_F(PropertyListTest, UnitsPageConvertsBetweenItsFields) {
    TPropertyForm Form;
    Form.SetActivePage("OrvexUnits");
    QTest::keyClicks(Form.edtDD, "1");
    EXPECT_EQ(Form.edtOU->text(), "5400000");
    EXPECT_EQ(Form.edtNM->text(), "60");
    EXPECT_EQ(Form.edtKM->text(), "111.12");
    EXPECT_EQ(Form.edtDD->text(), "1") << "the field being typed in stays as typed";

    Form.edtNM->clear();
    QTest::keyClicks(Form.edtNM, "1");
    EXPECT_EQ(Form.edtOU->text(), "90000");
    EXPECT_EQ(Form.edtDD->text(), "0.02");
    EXPECT_EQ(Form.edtKM->text(), "1.85");

    QTest::keyClicks(Form.edtKM, "x");
    EXPECT_FALSE(Form.lblException->text().isEmpty());
    EXPECT_EQ(Form.edtOU->text(), "90000");
    // Typed key by key, 1e12 would pass through 1 and 1e1 on its way.
    Form.edtDD->setText("1e12");
    Form.edtValueChange(0);
    EXPECT_EQ(Form.lblException->text(), "Floating point overflow");
    EXPECT_EQ(Form.edtOU->text(), "90000");
    QTest::keyClicks(Form.edtDD, "\b\b\b");
    EXPECT_EQ(Form.edtOU->text(), "5400000");
    EXPECT_TRUE(Form.lblException->text().isEmpty());

    Form.edtOU->setText("-2700000");
    EXPECT_EQ(Form.edtDD->text(), "-0.5");
}

TEST_F(PropertyListTest, UnitDialogWritesTheOrvexUnitsFieldOnOK) {
    TPrjModel* Prj = View.ProjectionModel();
    TOrvexProperties List(Prj);
    const int32_t I = IndexOf(List, "XRotation");
    const int32_t Old = Prj->XRotation();
    std::string Typed = "10";
    Ui.OnDialog = [&](QDialog& D) {
        auto& Form = dynamic_cast<TPropertyForm&>(D);
        EXPECT_EQ(Form.windowTitle(), "Set OrvexUnits");
        EXPECT_EQ(Form.ActivePage(), "OrvexUnits");
        EXPECT_EQ(Form.edtOU->text(), QString::number(Prj->XRotation()));
        Form.edtDD->clear();
        QTest::keyClicks(Form.edtDD, QString::fromStdString(Typed));
    };
    Ui.Answers = {false};
    EXPECT_TRUE(List.Edit(I));
    EXPECT_EQ(Prj->XRotation(), Old) << "cancelled";
    EXPECT_TRUE(List.Edit(I));
    EXPECT_EQ(Prj->XRotation(), 10 * kDeg);
    Typed = "x";  // edtOU keeps the value it had
    EXPECT_TRUE(List.Edit(I));
    EXPECT_EQ(Prj->XRotation(), 10 * kDeg);
}

TEST_F(PropertyListTest, FontNameDialogOffersTheInstalledFonts) {
    TOrvexFont* Font = Pen->TitleFont();
    TOrvexProperties List(Font);
    const int32_t I = IndexOf(List, "FontName");
    QString Installed, Other;
    Ui.OnDialog = [&](QDialog& D) {
        auto& Form = dynamic_cast<TPropertyForm&>(D);
        EXPECT_EQ(Form.windowTitle(), "Set Font Name");
        EXPECT_EQ(Form.ActivePage(), "FontName");
        ASSERT_GE(Form.lstFonts->count(), 2);
        Installed = Form.lstFonts->item(0)->text();
        Other = Form.lstFonts->item(1)->text();
        const auto Selected = Form.lstFonts->selectedItems();
        if (Font->FontName() == "zz") {
            EXPECT_TRUE(Selected.isEmpty() || Selected.front()->text() == "Arial");
            Form.lstFonts->clearSelection();
        } else {
            ASSERT_EQ(Selected.size(), 1);
            EXPECT_EQ(Selected.front()->text(), Installed) << "found ignoring case";
            Form.lstFonts->setCurrentRow(1);
        }
    };
    Font->SetFontName("zz");
    EXPECT_TRUE(List.Edit(I));
    EXPECT_EQ(Font->FontName(), "zz") << "OK with nothing selected";
    Font->SetFontName(Installed.toLower().toStdString());
    EXPECT_TRUE(List.Edit(I));
    EXPECT_EQ(Font->FontName(), Other.toStdString());
}

TEST_F(PropertyListTest, ColourDialogOpensOnTheColourAndSetsTheChoice) {
    TOrvexPen* PenAttr = Pen->PolylinePen();
    PenAttr->SetPenColor(255);
    TOrvexProperties List(PenAttr);
    Ui.OnDialog = [](QDialog& D) {
        auto& Dialog = dynamic_cast<QColorDialog&>(D);
        EXPECT_EQ(Dialog.currentColor(), QColor(255, 0, 0));
        Dialog.setCurrentColor(QColor(1, 2, 3));
    };
    EXPECT_TRUE(List.Edit(IndexOf(List, "PenColor")));
    EXPECT_EQ(PenAttr->PenColor(), 0x030201);
}

}  // namespace

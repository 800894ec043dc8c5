// Pens, brushes and fonts: realization, sizes on the surface, comparison and records.
#include "StylingFixtures.h"

#include <memory>

namespace {

using AttributeTest = StylingTest;

TEST_F(AttributeTest, PenRealizesOnApplyAndAgainAtOnceOnEveryChange) {
    std::unique_ptr<TOrvexPen> Pen(TOrvexPen::Create(Layer));
    EXPECT_EQ(Pen->PenColor(), 0);
    EXPECT_EQ(Pen->PenStyle(), psSolid);
    EXPECT_EQ(Pen->PenWidth(), 1);
    EXPECT_FALSE(Pen->HasHandle());
    Pen->Apply(false);
    ASSERT_TRUE(Pen->HasHandle());
    EXPECT_EQ(DC()->CurrentPen(), Pen->Handle());
    EXPECT_EQ(DC()->BkMode(), BK_TRANSPARENT);

    const HGDIOBJ First = Pen->Handle();
    Pen->SetPenWidth(3);
    ASSERT_TRUE(Pen->HasHandle()) << "realized again at once, not at the next Apply";
    EXPECT_NE(Pen->Handle(), First);
    EXPECT_EQ(Pen->Handle()->Pen.Width, 3);
    EXPECT_EQ(DC()->CurrentPen(), GetStockObject(BLACK_PEN)) << "the old pen left the surface";

    Pen->Apply(true);
    EXPECT_EQ(DC()->CurrentPen(), View.SelectedPen().Handle());

    // SetValues drops the pen until the next Apply.
    Pen->SetValues(Red, psDash, 2);
    EXPECT_FALSE(Pen->HasHandle());
    Pen->Apply(false);
    EXPECT_EQ(Pen->Handle()->Pen.Style, PS_DASH);
    EXPECT_EQ(Pen->Handle()->Pen.Color, Red);
}

TEST_F(AttributeTest, DetachedAttributesNeverRealize) {
    std::unique_ptr<TOrvexPen> Pen(TOrvexPen::CreateDetached(Red, psDot, 2));
    std::unique_ptr<TOrvexFont> Font(TOrvexFont::CreateDetached("Arial", 0, Pixel, 30, 0, 0));
    Pen->Apply(false);
    Font->Apply(false);
    EXPECT_FALSE(Pen->HasHandle());
    EXPECT_FALSE(Font->HasHandle());
}

TEST_F(AttributeTest, DestructionPutsStockObjectsIntoTheSurface) {
    auto* Brush = TOrvexBrush::Create(Layer);
    Brush->SetBrushColor(Red);
    Brush->Apply(false);
    EXPECT_EQ(DC()->CurrentBrush(), Brush->Handle());
    delete Brush;
    EXPECT_EQ(DC()->CurrentBrush(), GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(DC()->CurrentPen(), GetStockObject(BLACK_PEN));
    EXPECT_EQ(DC()->CurrentFont(), GetStockObject(SYSTEM_FONT));
}

TEST_F(AttributeTest, BrushStylesMapToSolidNullAndHatches) {
    std::unique_ptr<TOrvexBrush> Brush(TOrvexBrush::Create(Layer));
    EXPECT_EQ(Brush->BrushColor(), 0xFFFFFF);
    Brush->Apply(false);
    EXPECT_EQ(Brush->Handle()->Brush.Style, BS_SOLID);
    Brush->SetBrushStyle(bsDiagCross);
    EXPECT_EQ(Brush->Handle()->Brush.Style, BS_HATCHED);
    EXPECT_EQ(Brush->Handle()->Brush.Hatch, HS_DIAGCROSS);
    Brush->SetBrushStyle(bsHorizontal);
    EXPECT_EQ(Brush->Handle()->Brush.Hatch, HS_HORIZONTAL);
    Brush->SetBrushStyle(bsClear);
    EXPECT_EQ(Brush->Handle()->Brush.Style, BS_NULL);
    Brush->SetBrushColor(TColor(0x80000005));  // a system colour is resolved when realized
    EXPECT_EQ(Brush->Handle()->Brush.Color, ColorToRGB(TColor(0x80000005)));
    Brush->Apply(true);
    EXPECT_EQ(DC()->CurrentBrush(), View.SelectedBrush().Handle());
}

TEST_F(AttributeTest, FontRealizesLazilyWithItsStyleAndColours) {
    std::unique_ptr<TOrvexFont> Font(TOrvexFont::Create(Layer));
    EXPECT_EQ(Font->FontName(), "WingDings") << "a font for a layer starts as the symbol font";
    Font->SetFontName("Arial");
    Font->SetFontAngle(450);
    Font->SetFontColor(Red);
    Font->Apply(false);
    ASSERT_TRUE(Font->HasHandle());
    const HGDIOBJ First = Font->Handle();
    EXPECT_EQ(First->Font.Height, -9);
    EXPECT_EQ(First->Font.Escapement, 450);
    EXPECT_EQ(First->Font.Orientation, 450);
    EXPECT_EQ(First->Font.Weight, 400);
    EXPECT_EQ(First->Font.FaceName, "Arial");
    EXPECT_EQ(DC()->CurrentFont(), First);
    EXPECT_EQ(DC()->TextColor(), Red);
    EXPECT_EQ(DC()->TextAlign(), 0u);
    EXPECT_EQ(DC()->BkMode(), BK_TRANSPARENT);

    Font->SetFontStyle(1 << fsBold | 1 << fsUnderline);
    EXPECT_FALSE(Font->HasHandle()) << "a font change waits for the next Apply";
    Font->Apply(true);
    ASSERT_TRUE(Font->HasHandle());
    EXPECT_NE(Font->Handle(), First);
    EXPECT_EQ(Font->Handle()->Font.Weight, 700);
    EXPECT_TRUE(Font->Handle()->Font.Underline);
    EXPECT_FALSE(Font->Handle()->Font.Italic);
    EXPECT_EQ(DC()->TextColor(), View.SelectedPen().Color());

    Font->SetFontSize(View.MinTextHeight() - 1);
    Font->Apply(false);
    EXPECT_FALSE(Font->HasHandle()) << "below the minimum text height no font is made";
}

TEST_F(AttributeTest, FontHeightFollowsUnitScaleResolutionAndCap) {
    ASSERT_EQ(TOrvex3::ScreenPixelsPerInch(), 96);
    std::unique_ptr<TOrvexFont> Font(TOrvexFont::Create(Layer));
    EXPECT_EQ(Font->FontHeight(), 9);
    View.Canvas()->SetPixelsPerInch(600);
    EXPECT_EQ(Font->FontHeight(), 56) << "9 x 600 / 96 = 56.25";
    View.Canvas()->SetPixelsPerInch(96);

    Font->SetFontUnit(Kilometer);
    Font->SetFontSize(10);
    View.SetScale(1e-4L);
    EXPECT_EQ(Font->FontHeight(), 49) << "48,596 OrvexUnits per km x 10 x 1e-4 = 48.6";

    Font->SetFontUnit(Pixel);
    Font->SetFontSize(35);
    Layer->SetMaxFontHeight(20);
    EXPECT_EQ(Font->FontHeight(), 20);
    Font->Apply(false);
    EXPECT_EQ(Font->Handle()->Font.Height, -20);
    View.Canvas()->SetPixelsPerInch(192);
    EXPECT_EQ(Font->FontHeight(), 40) << "the cap is in screen pixels too";
    View.Canvas()->SetPixelsPerInch(96);
    Layer->SetMaxFontHeight(0);
    EXPECT_EQ(Font->FontHeight(), 35);

    // Huge sizes saturate instead of overflowing.
    Font->SetFontUnit(Degree);
    Font->SetFontSize(2000000000);
    View.SetScale(1);
    EXPECT_EQ(Font->FontHeight(), INT32_MAX);
    Layer->SetMaxFontHeight(20);
    EXPECT_EQ(Font->FontHeight(), 20);
}

TEST_F(AttributeTest, FontIsRealizedAgainWhenItsPixelHeightChanges) {
    std::unique_ptr<TOrvexFont> Font(TOrvexFont::Create(Layer));
    Font->SetFontUnit(Kilometer);
    Font->SetFontSize(10);
    View.SetScale(1e-4L);
    Font->Apply(false);
    ASSERT_TRUE(Font->HasHandle());
    EXPECT_EQ(Font->Handle()->Font.Height, -49);
    const HGDIOBJ First = Font->Handle();
    Font->Apply(false);
    EXPECT_EQ(Font->Handle(), First) << "nothing changed, nothing realized";

    View.SetScale(2e-4L);  // zoomed in: 97.2 pixels
    Font->Apply(false);
    EXPECT_EQ(Font->Handle()->Font.Height, -97);
    EXPECT_EQ(DC()->CurrentFont(), Font->Handle());

    // A size in pixels keeps its physical size on a printer.
    Font->SetFontUnit(Pixel);
    Font->SetFontSize(9);
    Font->Apply(false);
    EXPECT_EQ(Font->Handle()->Font.Height, -9);
    View.Canvas()->SetPixelsPerInch(600);
    Font->Apply(false);
    EXPECT_EQ(Font->Handle()->Font.Height, -56);

    // On the printer the minimum text height is the printer's: 5 screen pixels are 31 there,
    // so 19 pixels are too small to print, though not to show.
    Font->SetFontUnit(Kilometer);
    Font->SetFontSize(4);
    View.SetScale(1e-4L);
    ASSERT_EQ(Font->FontHeight(), 19);
    Font->Apply(false);
    EXPECT_FALSE(Font->HasHandle());
    View.Canvas()->SetPixelsPerInch(96);
    Font->Apply(false);
    ASSERT_TRUE(Font->HasHandle());
    EXPECT_EQ(Font->Handle()->Font.Height, -19);
}

TEST_F(AttributeTest, EqualityAndCopying) {
    std::unique_ptr<TOrvexFont> A(TOrvexFont::CreateDetached("ARIAL", Red, Pixel, 9, 0, 1));
    std::unique_ptr<TOrvexFont> B(TOrvexFont::CreateDetached("Arial", Red, Pixel, 9, 0, 1));
    std::unique_ptr<TOrvexPen> Pen(TOrvexPen::Create(Layer));
    std::unique_ptr<TOrvexBrush> Brush(TOrvexBrush::Create(Layer));
    EXPECT_TRUE(A->IsEqual(B.get())) << "font names compare ignoring case";
    B->SetFontAngle(10);
    EXPECT_FALSE(A->IsEqual(B.get()));
    EXPECT_FALSE(A->IsEqual(Pen.get()));
    EXPECT_FALSE(Pen->IsEqual(Brush.get()));

    B->CopyFrom(A.get());
    EXPECT_TRUE(B->IsEqual(A.get()));
    EXPECT_EQ(B->FontName(), "ARIAL");
    EXPECT_EQ(B->FontStyle(), 1);

    EXPECT_THROW(Pen->CopyFrom(Brush.get()), EInvalidCast);
    EXPECT_THROW(Brush->CopyFrom(A.get()), EInvalidCast);
    EXPECT_THROW(A->CopyFrom(nullptr), EInvalidCast);
    EXPECT_EQ(EMessage([&] { Pen->CopyFrom(Brush.get()); }), "Cannot assign a TOrvexBrush to a TOrvexPen");
}

TEST_F(AttributeTest, RecordLayouts) {
    std::unique_ptr<TOrvexPen> Pen(TOrvexPen::CreateDetached(0x00123456, psDashDot, 7));
    EXPECT_EQ(Record(*Pen), (std::vector<uint8_t>{0x56, 0x34, 0x12, 0x00, 3, 7}));
    std::unique_ptr<TOrvexBrush> Brush(TOrvexBrush::CreateDetached(TColor(0x80000005), bsCross));
    EXPECT_EQ(Record(*Brush), (std::vector<uint8_t>{0x05, 0, 0, 0x80, 6}));
    std::unique_ptr<TOrvexFont> Font(TOrvexFont::CreateDetached("Ab", 0xFF, Kilometer, -12, -900, 0x0A));
    EXPECT_EQ(Record(*Font), (std::vector<uint8_t>{0xFF, 0, 0, 0, 3, 0xF4, 0xFF, 0x7C, 0xFC, 0x0A, 2, 'A', 'b'}));

    // Read back into attributes of a layer: 16-bit values sign-extend.
    std::unique_ptr<TOrvexFont> F(TOrvexFont::Create(Layer));
    TOrvexStream S(Record(*Font));
    F->LoadFromStream(S);
    EXPECT_TRUE(S.AtEnd());
    EXPECT_TRUE(F->IsEqual(Font.get()));
    EXPECT_EQ(F->FontSize(), -12);
    EXPECT_EQ(F->FontAngle(), -900);

    std::unique_ptr<TOrvexPen> P(TOrvexPen::Create(Layer));
    P->Apply(false);
    TOrvexStream PS(Record(*Pen));
    P->LoadFromStream(PS);
    EXPECT_TRUE(P->IsEqual(Pen.get()));
    EXPECT_FALSE(P->HasHandle()) << "a pen realized before reading is dropped";
}

TEST_F(AttributeTest, BadRecordsAreRefused) {
    std::unique_ptr<TOrvexPen> Pen(TOrvexPen::Create(Layer));
    TOrvexStream S(std::vector<uint8_t>{1, 0, 0, 0, 7, 1});
    EXPECT_EQ(EMessage([&] { Pen->LoadFromStream(S); }), "Invalid pen style 7");
    EXPECT_EQ(Pen->PenColor(), 0) << "nothing is taken from a refused record";

    std::unique_ptr<TOrvexBrush> Brush(TOrvexBrush::Create(Layer));
    TOrvexStream B(std::vector<uint8_t>{1, 0, 0, 0, 8});
    EXPECT_EQ(EMessage([&] { Brush->LoadFromStream(B); }), "Invalid brush style 8");

    std::unique_ptr<TOrvexFont> Font(TOrvexFont::Create(Layer));
    TOrvexStream U(std::vector<uint8_t>{0, 0, 0, 0, 16, 9, 0, 0, 0, 0, 0});
    EXPECT_EQ(EMessage([&] { Font->LoadFromStream(U); }), "Invalid font unit 16");
    TOrvexStream St(std::vector<uint8_t>{0, 0, 0, 0, 15, 9, 0, 0, 0, 0x10, 0});
    EXPECT_EQ(EMessage([&] { Font->LoadFromStream(St); }), "Invalid font style 16");
    TOrvexStream Short(std::vector<uint8_t>{0, 0, 0, 0, 15, 9});
    EXPECT_THROW(Font->LoadFromStream(Short), EStreamReadError);
    EXPECT_EQ(Font->FontUnit(), Pixel);
}

TEST_F(AttributeTest, PublishedPropertiesAndFactories) {
    const TClassInfo& Info = TOrvexFont::StaticClassInfo();
    std::vector<std::string> Names;
    for (const TPropInfo* P : Info.Properties()) Names.push_back(P->Name);
    EXPECT_EQ(Names, (std::vector<std::string>{"FontUnit", "FontColor", "FontSize", "FontAngle", "FontStyle",
                                               "FontName"}));
    EXPECT_EQ(Info.FindProperty("FontStyle")->TypeName, "TFontStyles");
    EXPECT_EQ(Info.FindProperty("FontStyle")->ValueNames[3], "fsStrikeOut");
    EXPECT_EQ(Info.FindProperty("FontUnit")->ValueNames[15], "Pixel");

    std::unique_ptr<TOrvexPersistent> Made(TOrvexPen::StaticClassInfo().Create(Layer));
    auto* Pen = dynamic_cast<TOrvexPen*>(Made.get());
    ASSERT_NE(Pen, nullptr);
    EXPECT_TRUE(Pen->IsEqual(View.DefaultPen()));
    const TPropInfo* Style = TOrvexPen::StaticClassInfo().FindProperty("PenStyle");
    EXPECT_EQ(Style->ValueNames[psInsideFrame], "psInsideFrame");
    Style->Set(*Pen, TPropValue(int64_t(psDot)));
    EXPECT_EQ(Pen->PenStyle(), psDot);
    EXPECT_THROW(Style->Set(*Pen, TPropValue(int64_t(7))), EOrvexException);
    EXPECT_EQ(Pen->PenStyle(), psDot);
    ASSERT_NE(TOrvexBrush::StaticClassInfo().Create, nullptr);
    ASSERT_NE(TOrvexFont::StaticClassInfo().Create, nullptr);
}

}  // namespace

// The point presenter: symbol sizes, extents of single points, records and drawing.
#include "StylingFixtures.h"

#include <QPainter>
#include <QTemporaryDir>
#include <climits>
#include <fstream>
#include <memory>
#include <tuple>

#include "platform/Pictures.h"

namespace {

class PointPresenterTest : public StylingTest {
protected:
    TPointPresenter* P = TOrvexPresenter::CreateNamed<TPointPresenter>(Layer, 0, "");
    TGeoDataObject* Single = Chain(Layer, {MakePoint(Deg, Deg)});

    void SetUp() override { Single->SetPresenter(P); }
    void Wipe() { DC()->Painter()->fillRect(0, 0, 150, 150, Qt::white); }
    // Draws a symbol of PointSize 20 (d = 10) at pixel (75, 75).
    void Draw(TPointPresenterType Type, bool Selected = false) {
        Wipe();
        P->SetPointType(Type);
        P->SetPointSize(20);
        auto* O = Chain(Layer, {MakePoint(0, 0)});
        O->SetSelected(Selected);
        P->Render(*O);
        O->Delete();
    }
    // Non-white pixels in the rectangle, right and bottom excluded.
    int Inked(int L, int T, int R, int B) {
        int N = 0;
        for (int Y = T; Y < B; ++Y)
            for (int X = L; X < R; ++X) N += PixelAt(X, Y) != White;
        return N;
    }
};

TEST_F(PointPresenterTest, DefaultsAndSymbolSize) {
    EXPECT_EQ(P->PointType(), ppCircle);
    EXPECT_EQ(P->PointUnit(), Pixel);
    EXPECT_EQ(P->PointSize(), 6);
    EXPECT_EQ(P->MaxPointSize(), 0);
    EXPECT_EQ(P->Image(), nullptr);
    EXPECT_EQ(P->SymbolPixelSize(), 6);

    View.SetScale(1e-4L);
    P->SetPointUnit(Kilometer);
    P->SetPointSize(10);
    EXPECT_EQ(P->SymbolPixelSize(), 49) << "485,961 OrvexUnits x 1e-4";
    P->SetMaxPointSize(20);
    EXPECT_EQ(P->SymbolPixelSize(), 20);
    View.Canvas()->SetPixelsPerInch(2 * TOrvex3::ScreenPixelsPerInch());
    EXPECT_EQ(P->SymbolPixelSize(), 40) << "the cap is in screen pixels";
    P->SetPointUnit(Pixel);
    EXPECT_EQ(P->SymbolPixelSize(), 10) << "a size in pixels is not scaled to the surface";
}

TEST_F(PointPresenterTest, SettersInvalidateExtentsAndFollowTheSymbolFont) {
    Single->CalcExtents();
    View.RedrawPending = false;
    P->SetPointUnit(Meter);
    EXPECT_FALSE(Single->HasState(osExtentsValid));
    EXPECT_FALSE(View.RedrawPending) << "a unit change alone does not redraw";
    Single->CalcExtents();
    P->SetPointSize(7);
    EXPECT_FALSE(Single->HasState(osExtentsValid));
    EXPECT_TRUE(View.RedrawPending);
    EXPECT_EQ(P->PointFont()->FontSize(), 9) << "the font follows only for font symbols";

    P->SetPointType(ppFontSymbol);
    P->SetPointSize(12);
    P->SetPointUnit(Kilometer);
    EXPECT_EQ(P->PointFont()->FontSize(), 12);
    EXPECT_EQ(P->PointFont()->FontUnit(), Kilometer);
}

TEST_F(PointPresenterTest, SinglePointExtentIsTheSymbolBox) {
    View.SetScale(1e-4L);
    Single->CalcExtents();
    EXPECT_EQ(Single->Extents(), (TExtent{Deg - 30000, Deg - 30000, 60000, 60000})) << "6 pixels of 10,000 units";
    EXPECT_FALSE(Single->HasState(osSubPixel));

    P->SetMaxPointSize(2);
    Single->CalcExtents();
    EXPECT_EQ(Single->Extents(), (TExtent{Deg - 10000, Deg - 10000, 20000, 20000}));

    P->SetMaxPointSize(0);
    QImage Picture(40, 20, QImage::Format_RGB32);
    P->SetImage(&Picture);
    P->SetPointType(ppImage);
    Single->CalcExtents();
    EXPECT_EQ(Single->Extents(), (TExtent{Deg - 30000, Deg - 15000, 60000, 30000}));

    P->SetPointType(ppNone);
    Single->SetTitle("Harbour");
    P->SetTitleAlignment(taRight);
    Single->CalcExtents();
    int W = 0, H = 0;
    DC()->GetTextExtentPoint("Harbour", W, H);
    ASSERT_GT(W, 0);
    EXPECT_EQ(Single->Extents(), (TExtent{Deg - 30000, Deg - 30000, W * 10000, H * 10000}));
    P->SetImage(nullptr);

    // Objects of more points keep their own extent.
    auto* Line = Chain(Layer, {MakePoint(0, 0), MakePoint(Deg, Deg)});
    Line->CalcExtents();
    const TExtent Own = Line->Extents();
    Line->SetPresenter(P);
    Line->CalcExtents();
    EXPECT_EQ(Line->Extents(), Own);
}

TEST_F(PointPresenterTest, RecordsKeepTheirFieldSequenceForEverySizeAndCap) {
    struct TCase {
        int32_t Size, Max, ReadSize, ReadMax;
    };
    const TCase Cases[] = {{6, 0, 6, 0},   {6, 20, 6, 20},   {0, 20, 0, 0},
                           {-5, 0, 5, 0},  {-5, 20, 5, 20},  {6, -3, 6, 0},
                           {INT_MIN, 0, INT_MAX, 0}, {INT_MIN, 20, INT_MAX, 20}};
    for (const TCase& C : Cases) {
        P->SetPointSize(C.Size);
        P->SetMaxPointSize(C.Max);
        P->SetSymbolIndex(-2);
        auto* Q = TPointPresenter::Create(Layer);
        TOrvexStream S(Record(*P));
        Q->LoadFromStream(S);
        EXPECT_TRUE(S.AtEnd()) << C.Size << "/" << C.Max;
        EXPECT_EQ(Q->PointSize(), C.ReadSize) << C.Size << "/" << C.Max;
        EXPECT_EQ(Q->MaxPointSize(), C.ReadMax) << C.Size << "/" << C.Max;
        EXPECT_EQ(Q->SymbolIndex(), -2);
        EXPECT_TRUE(Q->PointFont()->IsEqual(P->PointFont()));
        Q->Delete();
    }

    P->SetPointType(ppSquare);
    P->SetPointUnit(Kilometer);
    P->SetPointSize(6);
    P->SetMaxPointSize(20);
    TOrvexStream Base;
    P->TOrvexPresenter::SaveToStream(Base);
    const std::vector<uint8_t> Bytes = Record(*P);
    const std::vector<uint8_t> Tail{ppSquare, Kilometer, 0xFA, 0xFF, 0xFF, 0xFF, 20, 0, 0, 0, 0xFE, 0xFF, 0};
    ASSERT_EQ(Bytes.size(), Base.Size() + Tail.size() + 6 + 5 + 10 + 1 + 9);
    EXPECT_TRUE(std::equal(Tail.begin(), Tail.end(), Bytes.begin() + Base.Size()));

    using TBadByte = std::tuple<int, int, const char*>;
    for (auto [Offset, Value, Text] :
         {TBadByte{0, 11, "Invalid point type 11"}, TBadByte{1, 16, "Invalid point unit 16"}}) {
        std::vector<uint8_t> Bad = Bytes;
        Bad[Base.Size() + Offset] = uint8_t(Value);
        TOrvexStream S(Bad);
        EXPECT_EQ(EMessage([&] { P->LoadFromStream(S); }), Text);
    }
}

TEST_F(PointPresenterTest, ImagesFromFilesAndBorrowedOnes) {
    QImage Borrowed(4, 2, QImage::Format_RGB32);
    P->SetImage(&Borrowed);
    auto* Q = TPointPresenter::Create(Layer);
    Q->SetImage(&Borrowed);
    TOrvexStream S(Record(*P));
    Q->LoadFromStream(S);
    EXPECT_EQ(Q->Image(), &Borrowed) << "an empty name leaves the picture alone";

    P->SetImageName("/nonexistent/symbol.png");
    EXPECT_EQ(P->Image(), nullptr);
    EXPECT_EQ(P->ImageName(), "");

    QTemporaryDir Dir;
    const std::string Png = Dir.filePath("sym.png").toStdString();
    QImage Source(8, 4, QImage::Format_RGB32);
    Source.fill(Qt::green);
    ASSERT_TRUE(Source.save(QString::fromStdString(Png)));
    P->SetImage(&Borrowed);
    P->SetImageName(Png);
    ASSERT_NE(P->Image(), nullptr);
    EXPECT_NE(P->Image(), &Borrowed) << "the file goes into a picture of the presenter's own";
    EXPECT_EQ(P->Image()->width(), 8);
    EXPECT_EQ(P->ImageName(), Png);
    // A name stored on Windows separates folders with backslashes; the name is kept as stored.
    const std::string Windows = Dir.path().toStdString() + "\\sym.png";
    const QImage* Shown = P->Image();
    P->SetImageName(Windows);
    EXPECT_EQ(P->Image(), Shown) << "a picture read again goes into the one a window may be showing";
    EXPECT_EQ(P->ImageName(), Windows);
    P->SetImageName(Png);

    Q->CopyFrom(P);
    ASSERT_NE(Q->Image(), nullptr);
    EXPECT_NE(Q->Image(), P->Image());
    EXPECT_EQ(Q->Image()->height(), 4);

    const std::string Junk = Dir.filePath("junk.png").toStdString();
    std::ofstream(Junk) << "not a picture";
    EXPECT_THROW(P->SetImageName(Junk), EInvalidGraphic);
    EXPECT_EQ(P->ImageName(), Png) << "a failed load keeps the picture";

    // A program that cannot open pictures (the command-line tool summarising a layer file)
    // keeps the name, to write it again, and has no picture to draw.
    SetPictureOpener(nullptr);
    P->SetImageName(Png);
    EXPECT_EQ(P->Image(), nullptr);
    EXPECT_EQ(P->ImageName(), Png);
    UsePictureFiles();
}

TEST_F(PointPresenterTest, FindMatchingLooksOnlyInTheLayer) {
    auto* Square = TOrvexPresenter::CreateNamed<TPointPresenter>(Layer, 0, "");
    Square->SetPointType(ppSquare);
    std::unique_ptr<TOrvexPen> Pen(TOrvexPen::CreateDetached(0, psSolid, 1));
    std::unique_ptr<TOrvexPen> Thick(TOrvexPen::CreateDetached(0, psSolid, 4));
    auto Find = [&](TOrvexLayer* L, const TOrvexPen* Pn, TPointPresenterType T, const TOrvexFont* Title) {
        return TPointPresenter::FindMatching(L, Pn, "", 6, Pixel, T, Title, nullptr, nullptr);
    };
    EXPECT_EQ(Find(Layer, nullptr, ppSquare, nullptr), Square);
    EXPECT_EQ(Find(Layer, Pen.get(), ppCircle, View.TitleFont()), P);
    EXPECT_EQ(Find(Layer, Thick.get(), ppSquare, nullptr), nullptr);
    EXPECT_EQ(Find(Layer, nullptr, ppDot, nullptr), nullptr);
    TOrvexLayer* Empty = View.AddLayer("Empty");
    EXPECT_EQ(Find(Empty, nullptr, ppCircle, nullptr), nullptr) << "the global presenter is not considered";
}

TEST_F(PointPresenterTest, ShapesOnTheSurface) {
    P->PointBrush()->SetBrushColor(Red);
    Draw(ppCircle);
    EXPECT_EQ(PixelAt(75, 75), Red);
    EXPECT_GT(Inked(70, 65, 81, 66), 0) << "the outline's top row";
    EXPECT_EQ(Inked(0, 64, 150, 65), 0);
    EXPECT_EQ(PixelAt(66, 66), White) << "the corner of the box is outside the circle";
    EXPECT_EQ(Inked(0, 0, 150, 150), Inked(65, 65, 85, 85));

    Draw(ppSquare);
    EXPECT_EQ(PixelAt(66, 66), Red);
    EXPECT_EQ(PixelAt(65, 65), Black);
    EXPECT_EQ(PixelAt(84, 84), Black);
    EXPECT_EQ(Inked(0, 0, 150, 150), 400);

    Draw(ppTriangleUp);  // (85, 85), (75, 65), (65, 85)
    EXPECT_EQ(PixelAt(75, 80), Red);
    EXPECT_EQ(PixelAt(67, 70), White);
    EXPECT_EQ(PixelAt(75, 64), White);
    EXPECT_NE(PixelAt(75, 66), White);
    EXPECT_EQ(Inked(0, 0, 150, 150), Inked(65, 65, 86, 86));

    Draw(ppTriangleDown);  // (65, 65), (75, 85), (85, 65)
    EXPECT_EQ(PixelAt(75, 70), Red);
    EXPECT_EQ(PixelAt(67, 80), White);

    Draw(ppDiamond);
    EXPECT_EQ(PixelAt(75, 75), Red);
    EXPECT_EQ(PixelAt(67, 67), White);

    Draw(ppCircle, true);
    EXPECT_EQ(PixelAt(75, 75), ColorToRGB(View.SelectedBrush().Color()));
    EXPECT_EQ(PixelAt(65, 75), ColorToRGB(View.SelectedPen().Color()));

    P->PointPen()->SetPenColor(Red);
    Draw(ppDot);
    EXPECT_EQ(PixelAt(75, 75), Red);
    EXPECT_EQ(Inked(0, 0, 150, 150), 1);

    View.Prj->HideEverything = true;
    Draw(ppSquare);
    EXPECT_EQ(Inked(0, 0, 150, 150), 0);
}

TEST_F(PointPresenterTest, SymbolsCoverTheirBoxAndEveryCorner) {
    // Around (75, 75) with d = Size / 2: ellipses and rectangles leave out the right and
    // bottom edge of their box, polygons draw every vertex.
    struct TCase {
        TPointPresenterType Type;
        int32_t Size;
        QRect Ink;
        std::vector<QPoint> Corners;
    };
    const TCase Cases[] = {
        {ppCircle, 6, QRect(72, 72, 6, 6), {}},
        {ppCircle, 10, QRect(70, 70, 10, 10), {}},
        {ppSquare, 10, QRect(70, 70, 10, 10), {{70, 70}, {79, 79}}},
        {ppDiamond, 10, QRect(70, 70, 11, 11), {{75, 70}, {80, 75}, {75, 80}, {70, 75}}},
        {ppTriangleUp, 10, QRect(70, 70, 11, 11), {{80, 80}, {75, 70}, {70, 80}}},
        {ppTriangleDown, 10, QRect(70, 70, 11, 11), {{70, 70}, {75, 80}, {80, 70}}},
        {ppTriangleLeft, 10, QRect(70, 70, 11, 11), {{80, 80}, {70, 75}, {80, 70}}},
        {ppTriangleRight, 10, QRect(70, 70, 11, 11), {{70, 70}, {80, 75}, {70, 80}}},
    };
    auto* O = Chain(Layer, {MakePoint(0, 0)});
    for (const TCase& C : Cases) {
        SCOPED_TRACE(testing::Message() << "type " << int(C.Type) << " size " << C.Size);
        Wipe();
        P->SetPointType(C.Type);
        P->SetPointSize(C.Size);
        P->Render(*O);
        QRect Ink;
        for (int Y = 0; Y < 150; ++Y)
            for (int X = 0; X < 150; ++X)
                if (PixelAt(X, Y) != White) Ink |= QRect(X, Y, 1, 1);
        EXPECT_EQ(Ink, C.Ink);
        for (const QPoint& Q : C.Corners) EXPECT_EQ(PixelAt(Q.x(), Q.y()), Black) << Q.x() << "," << Q.y();
    }
}

TEST_F(PointPresenterTest, FontSymbolsInALengthUnitFollowTheZoom) {
    P->SetPointType(ppFontSymbol);
    P->PointFont()->SetFontName("Arial");
    P->SetSymbolIndex('H');
    P->SetPointUnit(Kilometer);
    P->SetPointSize(10);
    auto* O = Chain(Layer, {MakePoint(0, 0)});
    auto GlyphHeight = [&](long double Scale) {
        View.SetScale(Scale);
        Wipe();
        P->Render(*O);
        int Top = 150, Bottom = -1;
        for (int Y = 0; Y < 150; ++Y)
            for (int X = 0; X < 150; ++X)
                if (PixelAt(X, Y) != White) {
                    Top = std::min(Top, Y);
                    Bottom = std::max(Bottom, Y);
                }
        return Bottom - Top + 1;
    };
    const int Small = GlyphHeight(5e-5L);  // 24 pixels
    const int Large = GlyphHeight(1e-4L);  // 49 pixels
    EXPECT_GT(Small, 10);
    EXPECT_NEAR(Large, 2 * Small, 3);
    EXPECT_EQ(P->PointFont()->Handle()->Font.Height, -49);
    EXPECT_EQ(GlyphHeight(5e-5L), Small);
}

TEST_F(PointPresenterTest, PicturesAndFontSymbolsOnTheSurface) {
    QImage Picture(40, 20, QImage::Format_RGB32);
    Picture.fill(Qt::green);
    P->SetImage(&Picture);
    Draw(ppImage);
    EXPECT_EQ(Inked(0, 0, 150, 150), 20 * 10) << "stretched to 20 x 10 around the point";
    EXPECT_EQ(PixelAt(65, 70), 0x00FF00);
    EXPECT_EQ(PixelAt(84, 79), 0x00FF00);

    P->PointFont()->SetFontName("Arial");
    P->PointFont()->SetFontSize(20);
    P->SetSymbolIndex('H');
    Draw(ppFontSymbol);
    const int Ink = Inked(0, 0, 150, 150);
    EXPECT_GT(Ink, 0);
    EXPECT_EQ(Inked(60, 60, 90, 90), Ink) << "the glyph is centred on the point";
    EXPECT_NEAR(Inked(0, 0, 75, 150), Inked(75, 0, 150, 150), Ink / 3);
    P->PointFont()->SetFontAngle(900);
    Draw(ppFontSymbol);
    EXPECT_EQ(Inked(60, 60, 90, 90), Inked(0, 0, 150, 150));
    EXPECT_GT(Inked(0, 0, 150, 150), 0);
}

}  // namespace

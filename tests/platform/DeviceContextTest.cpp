#include <QImage>
#include <QPainter>
#include <QPicture>
#include <QPixmap>
#include <QRegion>
#include <QString>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/DeviceContext.h"
#include "platform/Text.h"

namespace {

constexpr QRgb White = 0xFFFFFFFF;

// A white image with a device context painting on it; End() finishes painting.
struct TSurface {
    QImage Image;
    QPainter Painter;
    TDeviceContext DC;

    explicit TSurface(int W = 16, int H = 16, QRgb Fill = White)
        : Image(Prepared(W, H, Fill)), Painter(&Image), DC(&Painter) {}

    static QImage Prepared(int W, int H, QRgb Fill) {
        QImage I(W, H, QImage::Format_BGR888);
        I.fill(Fill);
        return I;
    }
    void End() {
        if (Painter.isActive()) Painter.end();
    }
    QRgb Px(int X, int Y) {
        End();
        return Image.pixel(X, Y) | 0xFF000000;
    }
    // Bounding box of the pixels that differ from Background.
    QRect Ink(QRgb Background = White) {
        End();
        QRect R;
        for (int y = 0; y < Image.height(); ++y)
            for (int x = 0; x < Image.width(); ++x)
                if ((Image.pixel(x, y) | 0xFF000000) != Background) R |= QRect(x, y, 1, 1);
        return R;
    }
    std::string Row(int Y) {
        End();
        std::string S;
        for (int x = 0; x < Image.width(); ++x) S += (Image.pixel(x, Y) | 0xFF000000) == White ? '.' : '#';
        return S;
    }
};

HGDIOBJ Font(int Height, int Escapement = 0, int Weight = 400) {
    TLogFont F;
    F.Height = Height;
    F.Escapement = Escapement;
    F.Weight = Weight;
    F.FaceName = "Arial";
    return CreateFontIndirect(F);
}

}  // namespace

TEST(DeviceContext, HandlesAndSelection) {
    EXPECT_NE(CreatePen(PS_SOLID, 1, 0), CreatePen(PS_SOLID, 1, 0));
    EXPECT_NE(CreateBrushIndirect({}), CreateBrushIndirect({}));
    for (int I : {WHITE_BRUSH, LTGRAY_BRUSH, GRAY_BRUSH, DKGRAY_BRUSH, BLACK_BRUSH, NULL_BRUSH, WHITE_PEN, BLACK_PEN,
                  NULL_PEN, SYSTEM_FONT}) {
        ASSERT_TRUE(GetStockObject(I)) << I;
        EXPECT_EQ(GetStockObject(I), GetStockObject(I));
        EXPECT_TRUE(GetStockObject(I)->Stock);
    }
    for (int I : {-1, 9, 10, 11, 12, 14, 100}) EXPECT_FALSE(GetStockObject(I)) << I;
    EXPECT_EQ(GetStockObject(NULL_PEN)->Pen.Style, PS_NULL);
    EXPECT_EQ(GetStockObject(NULL_BRUSH)->Brush.Style, BS_NULL);

    TSurface S;
    EXPECT_EQ(S.DC.CurrentPen(), GetStockObject(BLACK_PEN));
    EXPECT_EQ(S.DC.CurrentBrush(), GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(S.DC.CurrentFont(), GetStockObject(SYSTEM_FONT));

    HGDIOBJ Pen = CreatePen(PS_DASH, 2, 0xFF);
    HGDIOBJ Brush = CreateBrushIndirect({BS_SOLID, 0xFF00, 0});
    EXPECT_EQ(S.DC.SelectObject(Pen), GetStockObject(BLACK_PEN));
    EXPECT_EQ(S.DC.SelectObject(Brush), GetStockObject(WHITE_BRUSH));  // kinds are tracked apart
    EXPECT_EQ(S.DC.SelectObject(GetStockObject(NULL_PEN)), Pen);
    EXPECT_EQ(S.DC.SelectObject(nullptr), nullptr);
    EXPECT_EQ(S.DC.CurrentPen(), GetStockObject(NULL_PEN));
    EXPECT_EQ(S.DC.CurrentBrush(), Brush);

    // A deleted but selected brush still paints.
    DeleteObject(Brush);
    EXPECT_FALSE(Brush);
    S.DC.Rectangle(0, 0, 2, 2);
    EXPECT_EQ(S.Px(1, 1), qRgb(0, 255, 0));

}

TEST(DeviceContext, ColoursAreBlueGreenRed) {
    TSurface S;
    S.DC.SetPixel(3, 4, 0x0000FF);
    S.DC.SetPixel(5, 4, 0xFF0000);
    S.DC.SetPixel(7, 4, 0x336699);
    EXPECT_EQ(S.Px(3, 4), qRgb(255, 0, 0));
    EXPECT_EQ(S.Px(5, 4), qRgb(0, 0, 255));
    EXPECT_EQ(S.Px(7, 4), qRgb(0x99, 0x66, 0x33));
    EXPECT_EQ(S.Ink(), QRect(3, 4, 5, 1));
    EXPECT_EQ(S.Px(4, 4), White);
    EXPECT_EQ(S.Px(6, 4), White);

    EXPECT_EQ(ColorToRGB(0x80000005), 0xFFFFFF);  // window
    EXPECT_EQ(ColorToRGB(0x80000008), 0x000000);  // window text
    EXPECT_EQ(ColorToRGB(0x8000000F), 0xF0F0F0);  // button face
    EXPECT_EQ(ColorToRGB(0x80000018), 0xE1FFFF);  // tooltip background, pale yellow
    for (TColor C = TColor(0x80000000); C <= TColor(0x80000018); ++C) EXPECT_EQ(ColorToRGB(C) & ~0xFFFFFF, 0);
    for (TColor C : {TColor(0x80000019), clNone, TColor(0x123456), TColor(0)}) EXPECT_EQ(ColorToRGB(C), C);

    // A system colour in a pen resolves as well.
    TSurface T;
    T.DC.SelectObject(CreatePen(PS_SOLID, 1, TColor(0x8000000D)));  // highlight
    const TPixelPoint Line[] = {{0, 0}, {4, 0}};
    T.DC.Polyline(Line, 2);
    EXPECT_EQ(T.Px(0, 0), qRgb(0x33, 0x99, 0xFF));
}

TEST(DeviceContext, RectangleAndEllipseExcludeRightAndBottom) {
    TSurface S;
    S.DC.SelectObject(CreateBrushIndirect({BS_SOLID, 0x0000FF, 0}));
    S.DC.Rectangle(1, 1, 4, 4);
    EXPECT_EQ(S.Ink(), QRect(1, 1, 3, 3));
    EXPECT_EQ(S.Px(1, 1), qRgb(0, 0, 0));
    EXPECT_EQ(S.Px(3, 3), qRgb(0, 0, 0));
    EXPECT_EQ(S.Px(2, 2), qRgb(255, 0, 0));

    // Swapped corners describe the same rectangle.
    TSurface Swapped;
    Swapped.DC.Rectangle(4, 4, 1, 1);
    EXPECT_EQ(Swapped.Ink(), QRect(1, 1, 3, 3));

    TSurface E;
    E.DC.SelectObject(GetStockObject(BLACK_BRUSH));
    E.DC.Ellipse(2, 3, 13, 10);
    EXPECT_EQ(E.Ink(), QRect(2, 3, 11, 7));
    EXPECT_EQ(E.Px(2, 3), White);  // corners stay free
    EXPECT_EQ(E.Px(7, 6), qRgb(0, 0, 0));

    // Without a pen, the brush alone fills the same box.
    TSurface N;
    N.DC.SelectObject(GetStockObject(NULL_PEN));
    N.DC.SelectObject(GetStockObject(BLACK_BRUSH));
    N.DC.Rectangle(1, 1, 4, 4);
    N.DC.Ellipse(5, 5, 15, 15);
    EXPECT_EQ(N.Ink(), QRect(1, 1, 14, 14));
    EXPECT_EQ(N.Row(2).substr(0, 5), ".###.");

}

TEST(DeviceContext, NullPenAndNullBrush) {
    TSurface S;
    S.DC.SelectObject(GetStockObject(NULL_BRUSH));
    S.DC.Rectangle(0, 0, 5, 5);
    EXPECT_EQ(S.Row(2).substr(0, 6), "#...#.");

    TSurface Nothing;
    Nothing.DC.SelectObject(GetStockObject(NULL_BRUSH));
    Nothing.DC.SelectObject(GetStockObject(NULL_PEN));
    const TPixelPoint Tri[] = {{0, 0}, {10, 0}, {0, 10}};
    Nothing.DC.Rectangle(0, 0, 10, 10);
    Nothing.DC.Ellipse(0, 0, 10, 10);
    Nothing.DC.Polygon(Tri, 3);
    Nothing.DC.Polyline(Tri, 3);
    EXPECT_TRUE(Nothing.Ink().isNull());
}

TEST(DeviceContext, HatchBackgroundFollowsBkMode) {
    const QRgb Green = qRgb(0, 255, 0);
    for (int Mode : {BK_TRANSPARENT, BK_OPAQUE}) {
        TSurface S(16, 16, Green);
        S.DC.SetBkMode(Mode);
        S.DC.SelectObject(GetStockObject(NULL_PEN));
        S.DC.SelectObject(CreateBrushIndirect({BS_HATCHED, 0x0000FF, HS_HORIZONTAL}));
        S.DC.Rectangle(0, 0, 16, 16);
        S.End();
        int Red = 0, Gap = 0;
        for (int y = 0; y < 16; ++y) {
            const QRgb P = S.Px(5, y);
            if (P == qRgb(255, 0, 0)) ++Red;
            else if (P == (Mode == BK_OPAQUE ? White : Green)) ++Gap;
        }
        EXPECT_GT(Red, 0) << Mode;
        EXPECT_EQ(Red + Gap, 16) << Mode;  // the gaps show green only when transparent
        // Horizontal hatching: every row is uniform.
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) ASSERT_EQ(S.Px(x, y), S.Px(0, y));
    }
    TSurface V;
    V.DC.SelectObject(GetStockObject(NULL_PEN));
    V.DC.SelectObject(CreateBrushIndirect({BS_HATCHED, 0, HS_VERTICAL}));
    V.DC.Rectangle(0, 0, 16, 16);
    EXPECT_EQ(V.Row(3), V.Row(9));
    EXPECT_NE(V.Row(3).find('.'), std::string::npos);
}

TEST(DeviceContext, PolygonFillsOddEvenAndCloses) {
    TSurface S(41, 41);
    S.DC.SelectObject(GetStockObject(BLACK_BRUSH));
    S.DC.SelectObject(GetStockObject(NULL_PEN));
    // A pentagram drawn in one stroke: its centre is covered twice and stays empty.
    const TPixelPoint Star[] = {{20, 0}, {32, 38}, {1, 14}, {39, 14}, {8, 38}};
    S.DC.Polygon(Star, 5);
    EXPECT_EQ(S.Px(20, 21), White);
    EXPECT_EQ(S.Px(20, 6), qRgb(0, 0, 0));   // top point
    EXPECT_EQ(S.Px(6, 15), qRgb(0, 0, 0));   // left point
    EXPECT_EQ(S.Px(10, 35), qRgb(0, 0, 0));  // bottom left point

    // The outline closes back to the first point.
    TSurface O;
    O.DC.SelectObject(GetStockObject(NULL_BRUSH));
    const TPixelPoint Box[] = {{2, 2}, {10, 2}, {10, 10}, {2, 10}};
    O.DC.Polygon(Box, 4);
    EXPECT_EQ(O.Row(6), "..#.......#.....");
    EXPECT_EQ(O.Row(10), "..#########.....");
}

TEST(DeviceContext, ThinLinesAreAliasedAndLeaveTheEndPoint) {
    TSurface S;
    const TPixelPoint H[] = {{1, 1}, {7, 1}};
    S.DC.Polyline(H, 2);
    EXPECT_EQ(S.Row(1), ".######.........");

    TSurface D;
    const TPixelPoint Diag[] = {{0, 0}, {5, 5}};
    D.DC.Polyline(Diag, 2);
    D.End();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(D.Px(i, i), qRgb(0, 0, 0)) << i;
    EXPECT_EQ(D.Px(5, 5), White);
    EXPECT_EQ(D.Ink(), QRect(0, 0, 5, 5));
    int Count = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) Count += D.Px(x, y) != White;
    EXPECT_EQ(Count, 5);  // no antialiasing halo

    // Inner corners are drawn, only the very last point is left out.
    TSurface C;
    const TPixelPoint Corner[] = {{2, 2}, {8, 2}, {8, 8}};
    C.DC.Polyline(Corner, 3);
    EXPECT_EQ(C.Px(8, 2), qRgb(0, 0, 0));
    EXPECT_EQ(C.Px(8, 7), qRgb(0, 0, 0));
    EXPECT_EQ(C.Px(8, 8), White);

    // A single point draws nothing.
    TSurface One;
    One.DC.Polyline(Corner, 1);
    EXPECT_TRUE(One.Ink().isNull());
}

TEST(DeviceContext, PenStyles) {
    const QRgb Green = qRgb(0, 255, 0);
    const TPixelPoint Dashed[] = {{0, 1}, {40, 1}};
    for (int Mode : {BK_TRANSPARENT, BK_OPAQUE}) {
        TSurface S(40, 4, Green);
        S.DC.SetBkMode(Mode);
        S.DC.SelectObject(CreatePen(PS_DASH, 1, 0));
        S.DC.Polyline(Dashed, 2);
        int Ink = 0, Gap = 0;
        for (int x = 0; x < 40; ++x) {
            const QRgb P = S.Px(x, 1);
            Ink += P == qRgb(0, 0, 0);
            Gap += P == (Mode == BK_OPAQUE ? White : Green);
        }
        EXPECT_GT(Ink, 10) << Mode;
        EXPECT_GT(Gap, 5) << Mode;  // gaps take the background colour only when opaque
        EXPECT_EQ(Ink + Gap, 40) << Mode;
    }

    TSurface F(40, 4);
    F.DC.SelectObject(CreatePen(PS_INSIDEFRAME, 1, 0));
    F.DC.Polyline(Dashed, 2);
    EXPECT_EQ(F.Row(1), std::string(40, '#'));

    TSurface W(20, 20);
    W.DC.SelectObject(CreatePen(PS_SOLID, 4, 0));
    const TPixelPoint Line[] = {{2, 10}, {18, 10}};
    W.DC.Polyline(Line, 2);
    EXPECT_EQ(W.Ink(), QRect(2, 8, 16, 4));  // flat caps, centred on the line
}

TEST(DeviceContext, ClipAndViewportOrigin) {
    TSurface S;
    S.DC.SelectObject(GetStockObject(BLACK_BRUSH));
    S.DC.SetClipRect(2, 3, 6, 8);
    S.DC.Rectangle(0, 0, 16, 16);
    S.End();
    EXPECT_EQ(S.Ink(), QRect(2, 3, 4, 5));

    TSurface R;
    R.DC.SelectObject(GetStockObject(BLACK_BRUSH));
    R.DC.SetClipRect(2, 3, 6, 8);
    R.DC.RemoveClip();
    R.DC.Rectangle(0, 0, 16, 16);
    EXPECT_EQ(R.Ink(), QRect(0, 0, 16, 16));

    TSurface E;
    E.DC.SetClipRect(2, 3, 6, 8);
    E.DC.SetClipRect(5, 5, 5, 5);  // empty: no clip at all
    E.DC.SetPixel(12, 12, 0);
    EXPECT_EQ(E.Px(12, 12), qRgb(0, 0, 0));

    // The clip stays in device pixels whatever the viewport origin.
    TSurface O;
    O.DC.SelectObject(GetStockObject(BLACK_BRUSH));
    O.DC.SetViewportOrg(4, 4);
    O.DC.SetClipRect(1, 1, 6, 6);
    O.DC.SetViewportOrg(8, 8);
    O.DC.Rectangle(-8, -8, 8, 8);
    EXPECT_EQ(O.Ink(), QRect(1, 1, 5, 5));

    TSurface V;
    V.DC.SetViewportOrg(3, 4);
    V.DC.SetViewportOrg(5, 6);  // absolute, not added up
    V.DC.SetPixel(1, 1, 0);
    V.DC.SetViewportOrg(0, 0);
    V.DC.SetPixel(0, 0, 0);
    V.End();
    EXPECT_EQ(V.Px(6, 7), qRgb(0, 0, 0));
    EXPECT_EQ(V.Px(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(V.Ink(), QRect(0, 0, 7, 8));
}

// Lines go straight into the picture through what the context keeps of the painter's transform
// and clipping: a line drawn after each change must land where the change puts it, not where the
// line before it went.
TEST(DeviceContext, StraightLinesFollowEveryChangeOfOriginAndClip) {
    const struct {
        const char* Name;
        std::function<void(TDeviceContext&)> Change;
        int Row;
        const char* Pixels;
    } Cases[] = {
        {"origin moved", [](TDeviceContext& DC) { DC.SetViewportOrg(3, 2); }, 7, ".....######."},
        {"clipped", [](TDeviceContext& DC) { DC.SetClipRect(0, 0, 5, 16); }, 5, "..###......."},
        {"clip taken away",
         [](TDeviceContext& DC) {
             DC.SetClipRect(0, 0, 5, 16);
             const TPixelPoint Clipped[] = {{2, 12}, {8, 12}};
             DC.Polyline(Clipped, 2);
             DC.RemoveClip();
         },
         5, "..######...."},
        {"painter lent and moved", [](TDeviceContext& DC) { DC.Painter()->translate(0, 3); }, 8, "..######...."},
        {"turned text between", [](TDeviceContext& DC) {
             DC.SelectObject(Font(8, 900));
             DC.TextOut(14, 14, "x");
         },
         5, "..######...."},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TSurface S;
        const TPixelPoint Before[] = {{2, 0}, {8, 0}}, After[] = {{2, 5}, {8, 5}};
        S.DC.Polyline(Before, 2);
        C.Change(S.DC);
        S.DC.Polyline(After, 2);
        // The text stays right of these columns.
        EXPECT_EQ(S.Row(C.Row).substr(0, 12), C.Pixels);
    }
}

// The kept way for many short chains in a row draws what Polyline draws, whatever changed
// since the chain before, or declines: an ink kept from the last pen, or an origin or clip
// from before the change, would put pixels wrong.
TEST(DeviceContext, KeptThinLinesDrawWhatPolylineDraws) {
    const struct {
        const char* Name;
        std::function<void(TDeviceContext&)> Change;
        bool Draws;  // whether the kept way must draw (else it may decline)
    } Cases[] = {
        {"nothing", [](TDeviceContext&) {}, true},
        {"another colour", [](TDeviceContext& DC) { DC.SelectObject(CreatePen(PS_SOLID, 1, 0x0000FF)); }, true},
        {"dashed pen", [](TDeviceContext& DC) { DC.SelectObject(CreatePen(PS_DASH, 1, 0)); }, false},
        {"wide pen", [](TDeviceContext& DC) { DC.SelectObject(CreatePen(PS_SOLID, 3, 0)); }, false},
        {"smooth lines", [](TDeviceContext& DC) { DC.SetAntialiasing(true); }, false},
        {"origin moved", [](TDeviceContext& DC) { DC.SetViewportOrg(3, 2); }, false},
        {"clipped", [](TDeviceContext& DC) { DC.SetClipRect(0, 0, 5, 16); }, false},
        {"painter lent and moved", [](TDeviceContext& DC) { DC.Painter()->translate(0, 3); }, false},
        {"turned text between", [](TDeviceContext& DC) {
             DC.SelectObject(Font(8, 900));
             DC.TextOut(14, 14, "x");
         },
         false},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TSurface Kept, Plain;
        const TPixelPoint Before[] = {{2, 0}, {8, 0}}, After[] = {{2, 5}, {8, 5}, {11, 9}, {30, 9}};
        for (TSurface* S : {&Kept, &Plain}) {
            S->DC.SelectObject(CreatePen(PS_SOLID, 1, 0xFF0000));
            S->DC.Polyline(Before, 2);
            C.Change(S->DC);
        }
        const bool Drew = Kept.DC.KeptThinPolyline(After, 4);
        if (C.Draws) {
            EXPECT_TRUE(Drew);
        }
        if (!Drew) Kept.DC.Polyline(After, 4);
        Plain.DC.Polyline(After, 4);
        Kept.End();
        Plain.End();
        EXPECT_EQ(Kept.Image, Plain.Image);
    }
}

TEST(DeviceContext, LogPixelsFollowTheDevice) {
    QImage I(4, 4, QImage::Format_BGR888);
    I.setDotsPerMeterY(11811);  // 300 dpi
    QPainter P(&I);
    TDeviceContext DC(&P);
    EXPECT_EQ(DC.LogPixelsY(), 300);
}

TEST(DeviceContext, TextAlignmentAroundTheReferencePoint) {
    const int X = 100, Y = 40;
    struct TCase {
        unsigned Align;
        const char* Name;
    };
    for (const TCase& C : {TCase{TA_LEFT | TA_TOP, "left top"}, TCase{TA_RIGHT | TA_BOTTOM, "right bottom"},
                           TCase{TA_CENTER | TA_BASELINE, "centre baseline"}}) {
        TSurface S(200, 80);
        S.DC.SelectObject(Font(-20));
        S.DC.SetBkMode(BK_TRANSPARENT);
        S.DC.SetTextAlign(C.Align);
        // Descenders must stay above a bottom-aligned reference point.
        S.DC.TextOut(X, Y, C.Align == (TA_CENTER | TA_BASELINE) ? "HEH" : "HEgy");
        const QRect Ink = S.Ink();
        ASSERT_FALSE(Ink.isNull()) << C.Name;
        EXPECT_GE(Ink.height(), 12) << C.Name;
        EXPECT_GE(Ink.width(), 25) << C.Name;
        switch (C.Align) {
        case TA_LEFT | TA_TOP:
            EXPECT_GE(Ink.left(), X) << C.Name;
            EXPECT_LE(Ink.left(), X + 4) << C.Name;
            EXPECT_GE(Ink.top(), Y) << C.Name;
            EXPECT_LE(Ink.top(), Y + 8) << C.Name;
            break;
        case TA_RIGHT | TA_BOTTOM:
            EXPECT_LT(Ink.right(), X) << C.Name;
            EXPECT_GE(Ink.right(), X - 4) << C.Name;
            EXPECT_LT(Ink.bottom(), Y) << C.Name;
            EXPECT_GE(Ink.bottom(), Y - 8) << C.Name;
            break;
        default:
            // Capital letters sit on the baseline.
            EXPECT_NEAR((Ink.left() + Ink.right()) / 2.0, X, 2.0) << C.Name;
            EXPECT_NEAR(Ink.bottom(), Y - 1, 1) << C.Name;
            break;
        }
    }
}

TEST(DeviceContext, TextColourBackgroundAndExtent) {
    const QRgb Grey = qRgb(128, 128, 128);
    TSurface S(200, 60, Grey);
    S.DC.SelectObject(Font(-20));
    S.DC.SetTextColor(0xFF0000);  // blue
    S.DC.TextOut(10, 10, "Map");
    int W = 0, H = 0;
    S.DC.GetTextExtentPoint("Map", W, H);
    S.End();
    // The opaque background box is exactly the text extent.
    int WhiteCount = 0, Blue = 0, Other = 0;
    for (int y = 0; y < S.Image.height(); ++y)
        for (int x = 0; x < S.Image.width(); ++x) {
            const QColor P(S.Image.pixel(x, y));
            const bool Inside = QRect(10, 10, W, H).contains(x, y);
            if (!Inside) {
                ASSERT_EQ(P.rgb(), Grey) << x << "," << y;
                continue;
            }
            if (P.rgb() == White) ++WhiteCount;
            else if (P.blue() > 200 && P.blue() > P.red()) ++Blue;
            else ++Other;
        }
    EXPECT_GT(WhiteCount, 0);
    EXPECT_GT(Blue, 20);
    EXPECT_GT(H, 18);
    EXPECT_LT(H, 30);

    // Transparent text leaves the background and stays within the extent.
    TSurface T(200, 60, Grey);
    T.DC.SelectObject(Font(-20));
    T.DC.SetBkMode(BK_TRANSPARENT);
    T.DC.TextOut(10, 10, "Map");
    const QRect Ink = T.Ink(Grey);
    EXPECT_TRUE(QRect(10, 10, W, H).adjusted(-1, 0, 1, 0).contains(Ink)) << Ink.x() << " " << Ink.width();
    EXPECT_EQ(T.Px(10 + W - 1, 10), Grey);
}

// Text on an image is shaped once per font and drawn from the stored glyphs afterwards; text
// recorded into a picture goes through Qt's text drawing when the picture is played back. Both
// must give the same pixels, the first time and from the store, in every font, alignment and script.
TEST(DeviceContext, StoredTextDrawsTheSamePixelsAsText) {
    const std::vector<const char*> Texts = {"Place 12", "Z\xC3\xBCrich \xC3\x86r\xC3\xB8", "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0",
                                            "ag|yWq", "\xE5ngstr\xF6m"};
    // Every level of every channel under the text, so that each coverage meets many pixels.
    QImage Under(160, 60, QImage::Format_BGR888);
    for (int Y = 0; Y < Under.height(); ++Y)
        for (int X = 0; X < Under.width(); ++X)
            Under.setPixel(X, Y, qRgb((X * 37 + Y * 11) & 255, (X * 13 + Y * 53) & 255, (X * 101 + Y * 29) & 255));
    const TColor Colours[] = {0x000000, 0x5A1EC8, 0xFFFFFF, 0x00FF80};
    int Case = 0;
    for (int Height : {-9, -13, -20, 30})
        for (int Weight : {400, 700})
            for (unsigned Align : {TA_LEFT | TA_BASELINE, TA_CENTER | TA_TOP, TA_RIGHT | TA_BOTTOM})
                for (int BkMode : {BK_TRANSPARENT, BK_OPAQUE})
                    for (const char* Text : Texts) {
                        const TColor Colour = Colours[Case++ % std::size(Colours)];
                        const HGDIOBJ F = Font(Height, 0, Weight), Other = Font(-11);
                        QPicture Recorded;
                        {
                            QPainter P(&Recorded);
                            TDeviceContext DC(&P);
                            DC.SelectObject(F);
                            DC.SetBkMode(BkMode);
                            DC.SetTextAlign(Align);
                            DC.SetTextColor(Colour);
                            DC.TextOut(80, 30, Text);
                        }
                        TSurface Direct(160, 60), Stored(160, 60);
                        Direct.Painter.drawImage(0, 0, Under);
                        Recorded.play(&Direct.Painter);
                        Stored.DC.SetBkMode(BkMode);
                        Stored.DC.SetTextAlign(Align);
                        Stored.DC.SetTextColor(Colour);
                        for (int Pass = 0; Pass < 3; ++Pass) {
                            // Another font between the passes: each font keeps its own texts.
                            Stored.DC.SelectObject(Other);
                            Stored.DC.TextOut(0, 0, Text);
                            Stored.DC.SelectObject(F);
                            Stored.Painter.drawImage(0, 0, Under);
                            Stored.DC.TextOut(80, 30, Text);
                        }
                        Stored.End();
                        Direct.End();
                        ASSERT_NE(Direct.Image, Under) << Text;
                        ASSERT_EQ(Direct.Image, Stored.Image) << Text << " height " << Height << " weight " << Weight
                                                              << " align " << Align << " mode " << BkMode
                                                              << " colour " << Colour;
                    }
}

TEST(DeviceContext, FontSizeWeightAndExtent) {
    TSurface S;
    int W20 = 0, H20 = 0, W40 = 0, H40 = 0, WBold = 0, HBold = 0, WCell = 0, HCell = 0, WEmpty = 0, HEmpty = 0;
    S.DC.SelectObject(Font(-20));
    S.DC.GetTextExtentPoint("Orvex", W20, H20);
    S.DC.GetTextExtentPoint("", WEmpty, HEmpty);
    S.DC.SelectObject(Font(-40));
    S.DC.GetTextExtentPoint("Orvex", W40, H40);
    S.DC.SelectObject(Font(-20, 0, 700));
    S.DC.GetTextExtentPoint("Orvex", WBold, HBold);
    S.DC.SelectObject(Font(30));  // positive: cell height
    S.DC.GetTextExtentPoint("Orvex", WCell, HCell);
    EXPECT_NEAR(W40, 2 * W20, 3);
    EXPECT_NEAR(H40, 2 * H20, 3);
    EXPECT_GT(WBold, W20);
    EXPECT_NEAR(HCell, 30, 1);
    EXPECT_EQ(WEmpty, 0);
    EXPECT_EQ(HEmpty, H20);
}

TEST(DeviceContext, EscapementRotatesCounterClockwise) {
    TSurface S(80, 120);
    S.DC.SelectObject(Font(-16, 900));
    S.DC.SetBkMode(BK_TRANSPARENT);
    S.DC.TextOut(30, 100, "HHHHHH");
    const QRect Ink = S.Ink();
    ASSERT_FALSE(Ink.isNull());
    // The text runs upwards from the reference point; its top faces left, so with
    // TA_TOP the letters lie to the right of it.
    EXPECT_GT(Ink.height(), 2 * Ink.width());
    EXPECT_LE(Ink.bottom(), 100);
    EXPECT_GE(Ink.left(), 30);
    EXPECT_LE(Ink.left(), 36);
}

TEST(DeviceContext, DrawTextPlacesAndClips) {
    TSurface C(200, 60);
    C.DC.SelectObject(Font(-16));
    C.DC.SetBkMode(BK_TRANSPARENT);
    C.DC.DrawText("HH", 0, 0, 200, 60, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    QRect Ink = C.Ink();
    EXPECT_NEAR(Ink.center().x(), 100, 2);
    EXPECT_NEAR(Ink.center().y(), 30, 4);

    TSurface R(200, 60);
    R.DC.SelectObject(Font(-16));
    R.DC.SetBkMode(BK_TRANSPARENT);
    R.DC.DrawText("HH", 0, 0, 150, 60, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE);
    Ink = R.Ink();
    EXPECT_LT(Ink.right(), 150);
    EXPECT_GT(Ink.right(), 140);
    EXPECT_GT(Ink.bottom(), 45);

    // Text wider than the rectangle is cut at its edge unless DT_NOCLIP.
    for (unsigned NoClip : {0u, DT_NOCLIP}) {
        TSurface L(200, 40);
        L.DC.SelectObject(Font(-16));
        L.DC.SetBkMode(BK_TRANSPARENT);
        L.DC.DrawText("HHHHHHHHHH", 10, 5, 40, 35, DT_LEFT | DT_SINGLELINE | NoClip);
        Ink = L.Ink();
        EXPECT_GE(Ink.left(), 10);
        if (NoClip) EXPECT_GT(Ink.right(), 60);
        else EXPECT_LT(Ink.right(), 40);
    }
}

TEST(DeviceContext, TextEncodingAtTheQtBoundary) {
    const std::string Utf8 = "Gr\xC3\xBC\xC3\x9F" "e";  // "Grüße"
    EXPECT_EQ(ToQString(Utf8), QString::fromUtf8("Grüße"));
    // Fits Latin-1, so it comes back as Latin-1 bytes.
    EXPECT_EQ(FromQString(ToQString(Utf8)), "Gr\xFC\xDF" "e");

    const std::string Latin1 = "\xE9t\xE9 \xB0";  // not valid UTF-8
    EXPECT_EQ(ToQString(Latin1), QString::fromUtf8("été °"));
    EXPECT_EQ(FromQString(ToQString(Latin1)), Latin1);

    const QString Greek = QString::fromUtf8("Ωμέγα €");
    EXPECT_EQ(FromQString(Greek), Greek.toUtf8().toStdString());
    EXPECT_EQ(ToQString(FromQString(Greek)), Greek);

    EXPECT_EQ(ToQString("\xC3"), QString::fromLatin1("\xC3"));  // truncated sequence
    EXPECT_EQ(ToQString("\xED\xA0\x80"), QString::fromLatin1("\xED\xA0\x80"));  // encoded surrogate
    const std::string WithNul("a\0b", 3);
    EXPECT_EQ(FromQString(ToQString(WithNul)), WithNul);
    EXPECT_EQ(FromQString(ToQString("plain ASCII")), "plain ASCII");
    EXPECT_EQ(FromQString(QString()), "");
    EXPECT_EQ(ToQString("\xEF\xBB\xBFx").size(), 2);  // the mark is kept
}

TEST(DeviceContext, FarOffCoordinates) {
    // Zoomed-in maps hand over points far outside the surface.
    for (int Far : {100000, 10000000, 1000000000}) {
        TSurface S;
        S.DC.SelectObject(GetStockObject(BLACK_BRUSH));
        S.DC.SelectObject(GetStockObject(NULL_PEN));
        const TPixelPoint Half[] = {{-Far, -Far}, {8, -Far}, {8, Far}, {-Far, Far}};
        S.DC.Polygon(Half, 4);
        EXPECT_EQ(S.Ink(), QRect(0, 0, 8, 16)) << Far;

        TSurface L;
        const TPixelPoint Line[] = {{-Far, 5}, {Far, 5}};
        L.DC.Polyline(Line, 2);
        EXPECT_EQ(L.Row(5), std::string(16, '#')) << Far;
        EXPECT_EQ(L.Ink(), QRect(0, 5, 16, 1)) << Far;

        TSurface W;
        W.DC.SelectObject(CreatePen(PS_SOLID, 4, 0));
        W.DC.Polyline(Line, 2);
        EXPECT_EQ(W.Ink(), QRect(0, 3, 16, 4)) << Far;

        // Shapes far larger than the surface cost what the surface holds.
        TSurface E;
        E.DC.SelectObject(GetStockObject(BLACK_BRUSH));
        E.DC.Ellipse(-Far, -Far, Far, Far);
        EXPECT_EQ(E.Ink(), QRect(0, 0, 16, 16)) << Far;
        TSurface R;
        R.DC.SelectObject(GetStockObject(NULL_BRUSH));
        R.DC.Rectangle(-Far, 2, Far, Far);
        EXPECT_EQ(R.Row(2), std::string(16, '#')) << Far;
        EXPECT_EQ(R.Ink(), QRect(0, 2, 16, 1)) << Far;
        TSurface D;
        D.DC.SelectObject(CreatePen(PS_DOT, 1, 0));
        const TPixelPoint Steep[] = {{-Far, -Far - 3}, {Far, Far - 3}};
        D.DC.Polyline(Steep, 2);
        // The dots keep their rhythm: three on, three off.
        EXPECT_NE(D.Px(4, 1), D.Px(7, 4)) << Far;
        EXPECT_EQ(D.Px(4, 1), D.Px(10, 7)) << Far;
    }
    TSurface Limits;
    Limits.DC.Ellipse(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
    Limits.DC.Rectangle(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
    const TPixelPoint Longest[] = {{INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MAX}, {INT32_MIN, 3}};
    Limits.DC.Polyline(Longest, 3);
    Limits.DC.Polygon(Longest, 3);
    EXPECT_EQ(Limits.Ink(), QRect(0, 0, 16, 16));
}

// ---------------------------------------------------------------------------------------
// GDI's pixel conventions: the expected picture is drawn pixel by pixel with a plain
// QPainter and compared with what the device context drew.

namespace {

using TPixels = std::vector<QPoint>;

// The pixels of GDI's line from A towards B: A included, B left out; on the minor axis each
// step takes the pixel nearest the exact line, ties going to the smaller coordinate.
TPixels LinePixels(QPoint A, QPoint B) {
    TPixels R;
    const int DX = B.x() - A.x(), DY = B.y() - A.y();
    const int N = std::max(std::abs(DX), std::abs(DY));
    for (int K = 0; K < N; ++K) {
        const double X = A.x() + double(DX) * K / N, Y = A.y() + double(DY) * K / N;
        R.emplace_back(int(std::ceil(X - 0.5)), int(std::ceil(Y - 0.5)));
    }
    return R;
}

TPixels ClosedOutline(const std::vector<QPoint>& Vertices) {
    TPixels R;
    for (size_t I = 0; I < Vertices.size(); ++I) {
        const TPixels E = LinePixels(Vertices[I], Vertices[(I + 1) % Vertices.size()]);
        R.insert(R.end(), E.begin(), E.end());
    }
    return R;
}

QImage Expected(int W, int H, const TPixels& Ink) {
    QImage I = TSurface::Prepared(W, H, White);
    QPainter P(&I);
    for (const QPoint& Q : Ink) P.fillRect(QRect(Q, QSize(1, 1)), Qt::black);
    return I;
}

// The picture as text, '#' for ink, to show where two pictures differ.
std::string Art(const QImage& I) {
    std::string S;
    for (int y = 0; y < I.height(); ++y) {
        for (int x = 0; x < I.width(); ++x) S += (I.pixel(x, y) | 0xFF000000) == White ? '.' : '#';
        S += '\n';
    }
    return S;
}

TSurface& Drawn(TSurface& S) {
    S.End();
    return S;
}

}  // namespace

TEST(DeviceContext, LinesDrawTheFirstPixelAndLeaveOutTheLastInEveryDirection) {
    const QPoint From(12, 12);
    const QPoint Directions[] = {{9, 0},  {-9, 0},  {0, 9},  {0, -9}, {9, 9},  {-9, -9},
                                 {9, -9}, {-9, 9}, {9, 4}, {-9, -4}, {4, -9}, {-4, 9}};
    struct TPenCase {
        const char* Name;
        int Style, Width;
    };
    const TPenCase Pens[] = {{"solid 1", PS_SOLID, 1}, {"solid 0", PS_SOLID, 0}, {"inside frame 1", PS_INSIDEFRAME, 1}};
    for (const TPenCase& Pen : Pens)
        for (const QPoint& D : Directions) {
            SCOPED_TRACE(testing::Message() << Pen.Name << " towards " << D.x() << "," << D.y());
            TSurface S(25, 25);
            S.DC.SelectObject(CreatePen(Pen.Style, Pen.Width, 0));
            const TPixelPoint Line[] = {{From.x(), From.y()}, {From.x() + D.x(), From.y() + D.y()}};
            S.DC.Polyline(Line, 2);
            const QImage Want = Expected(25, 25, LinePixels(From, From + D));
            EXPECT_EQ(Art(Drawn(S).Image), Art(Want));
        }
}

TEST(DeviceContext, LinesCoverTheSamePixelsBothWays) {
    // Ties between two pixels included: only the end points may differ.
    const QPoint Ends[][2] = {{{1, 1}, {9, 5}}, {{1, 5}, {9, 1}}, {{1, 1}, {5, 9}}, {{2, 9}, {6, 1}},
                              {{0, 3}, {10, 6}}, {{3, 0}, {7, 10}}, {{0, 0}, {10, 1}}, {{10, 0}, {0, 1}}};
    for (const auto& E : Ends) {
        SCOPED_TRACE(testing::Message() << E[0].x() << "," << E[0].y() << " - " << E[1].x() << "," << E[1].y());
        TSurface Forth(12, 12), Back(12, 12);
        const TPixelPoint F[] = {{E[0].x(), E[0].y()}, {E[1].x(), E[1].y()}};
        const TPixelPoint B[] = {F[1], F[0]};
        Forth.DC.Polyline(F, 2);
        Forth.DC.SetPixel(E[1].x(), E[1].y(), 0);
        Back.DC.Polyline(B, 2);
        Back.DC.SetPixel(E[0].x(), E[0].y(), 0);
        EXPECT_EQ(Art(Drawn(Forth).Image), Art(Drawn(Back).Image));
    }
}

TEST(DeviceContext, PolygonOutlinesIncludeEveryVertex) {
    // The point symbols at d = 5 around (12, 12), and two shapes with long edges.
    const int X = 12, Y = 12, D = 5;
    struct TShape {
        const char* Name;
        std::vector<QPoint> Vertices;
    };
    const TShape Shapes[] = {
        {"triangle up", {{X + D, Y + D}, {X, Y - D}, {X - D, Y + D}}},
        {"triangle down", {{X - D, Y - D}, {X, Y + D}, {X + D, Y - D}}},
        {"triangle left", {{X + D, Y + D}, {X - D, Y}, {X + D, Y - D}}},
        {"triangle right", {{X - D, Y - D}, {X + D, Y}, {X - D, Y + D}}},
        {"diamond", {{X, Y - D}, {X + D, Y}, {X, Y + D}, {X - D, Y}}},
        {"sliver", {{1, 2}, {23, 6}, {2, 20}}},
        {"box drawn backwards", {{3, 3}, {3, 20}, {20, 20}, {20, 3}}},
    };
    for (const TShape& Shape : Shapes) {
        SCOPED_TRACE(Shape.Name);
        std::vector<TPixelPoint> Points;
        for (const QPoint& V : Shape.Vertices) Points.push_back({V.x(), V.y()});
        TSurface S(25, 25);
        S.DC.SelectObject(GetStockObject(NULL_BRUSH));
        S.DC.Polygon(Points.data(), int(Points.size()));
        EXPECT_EQ(Art(Drawn(S).Image), Art(Expected(25, 25, ClosedOutline(Shape.Vertices))));
        for (const QPoint& V : Shape.Vertices) EXPECT_EQ(S.Px(V.x(), V.y()), qRgb(0, 0, 0));

        // Filled, the outline stays the same and the brush fills what it encloses.
        TSurface F(25, 25);
        F.DC.SelectObject(CreateBrushIndirect({BS_SOLID, 0x0000FF, 0}));
        F.DC.Polygon(Points.data(), int(Points.size()));
        F.End();
        for (const QPoint& Q : ClosedOutline(Shape.Vertices)) EXPECT_EQ(F.Px(Q.x(), Q.y()), qRgb(0, 0, 0));
        EXPECT_EQ(F.Ink(), S.Ink());
        for (int y = 0; y < 25; ++y) {
            const std::string Row = S.Row(y);
            for (int x = 0; x < 25; ++x)
                if (F.Px(x, y) == qRgb(255, 0, 0)) {
                    EXPECT_NE(Row.rfind('#', size_t(x)), std::string::npos) << x << "," << y;
                    EXPECT_NE(Row.find('#', size_t(x)), std::string::npos) << x << "," << y;
                }
        }
    }
    TSurface Tri(25, 25);
    Tri.DC.SelectObject(GetStockObject(BLACK_BRUSH));
    const TPixelPoint Up[] = {{X + D, Y + D}, {X, Y - D}, {X - D, Y + D}};
    Tri.DC.Polygon(Up, 3);
    EXPECT_EQ(Tri.Ink(), QRect(X - D, Y - D, 2 * D + 1, 2 * D + 1));
}

TEST(DeviceContext, EllipsesCoverTheirWholeBox) {
    // The default point symbol: a circle in (x - 3, y - 3, x + 3, y + 3) is six pixels across.
    TSurface Six(8, 8);
    Six.DC.SelectObject(GetStockObject(NULL_BRUSH));
    Six.DC.Ellipse(1, 1, 7, 7);
    EXPECT_EQ(Art(Drawn(Six).Image), "........\n"
                                     "...##...\n"
                                     "..#..#..\n"
                                     ".#....#.\n"
                                     ".#....#.\n"
                                     "..#..#..\n"
                                     "...##...\n"
                                     "........\n");
    TSurface Seven(9, 9);
    Seven.DC.SelectObject(GetStockObject(NULL_BRUSH));
    Seven.DC.Ellipse(1, 1, 8, 8);
    EXPECT_EQ(Art(Drawn(Seven).Image), ".........\n"
                                       "...###...\n"
                                       "..#...#..\n"
                                       ".#.....#.\n"
                                       ".#.....#.\n"
                                       ".#.....#.\n"
                                       "..#...#..\n"
                                       "...###...\n"
                                       ".........\n");
    // Every size touches all four sides of its box, mirrors itself and is filled inside.
    for (int W = 1; W <= 17; ++W)
        for (int H = 1; H <= 17; H += (H < 4 ? 1 : 3)) {
            SCOPED_TRACE(testing::Message() << W << " x " << H);
            TSurface S(22, 22);
            S.DC.SelectObject(CreateBrushIndirect({BS_SOLID, 0x0000FF, 0}));
            S.DC.Ellipse(2, 3, 2 + W, 3 + H);
            S.End();
            ASSERT_EQ(S.Ink(), QRect(2, 3, W, H));
            for (int y = 3; y < 3 + H; ++y)
                for (int x = 2; x < 2 + W; ++x) {
                    ASSERT_EQ(S.Px(x, y), S.Px(2 + W - 1 - (x - 2), y)) << x << "," << y;
                    ASSERT_EQ(S.Px(x, y), S.Px(x, 3 + H - 1 - (y - 3))) << x << "," << y;
                }
            if (W >= 3 && H >= 3) {
                EXPECT_EQ(S.Px(2 + W / 2, 3 + H / 2), qRgb(255, 0, 0));
            }
        }
}

TEST(DeviceContext, EllipsesFarOffTheOriginDrawTheirPixelsAsNearIt) {
    // Near the origin whole-number arithmetic stands in for the real one, and a shape once
    // worked out is moved to each new place; a translated painter takes the real one at the
    // same place on the picture.
    constexpr int Far = (1 << 21) + 1;
    for (const int Style : {BS_SOLID, BS_NULL})
    for (int W = 1; W <= 40; W += (W < 12 ? 1 : 7))
        for (int H = 1; H <= 40; H += (H < 12 ? 1 : 5)) {
            TSurface Near(46, 46);
            Near.DC.SelectObject(CreateBrushIndirect({Style, 0x00FF00, 0}));
            for (int Shift : {0, 1, 4, 3}) {
                SCOPED_TRACE(testing::Message() << W << " x " << H << " shifted " << Shift << " brush " << Style);
                Near.Painter.fillRect(Near.Image.rect(), Qt::white);
                Near.DC.Ellipse(2 + Shift, 1 + Shift, 2 + Shift + W, 1 + Shift + H);
                TSurface Away(46, 46);
                Away.DC.SelectObject(CreateBrushIndirect({Style, 0x00FF00, 0}));
                Away.Painter.translate(-Far, -Far);
                Away.DC.Ellipse(Far + 2 + Shift, Far + 1 + Shift, Far + 2 + Shift + W, Far + 1 + Shift + H);
                Away.End();
                ASSERT_EQ(Near.Image, Away.Image);
            }
        }
}

TEST(DeviceContext, WidePensAreCentredOnTheOutlineUnlessInsideFrame) {
    const QRect Box(6, 5, 16, 12);  // the box (6, 5, 22, 17)
    for (bool Ellipse : {false, true})
        for (int Width : {3, 5})
            for (int Style : {PS_SOLID, PS_INSIDEFRAME}) {
                SCOPED_TRACE(testing::Message() << (Ellipse ? "ellipse" : "rectangle") << " width " << Width
                                                << (Style == PS_SOLID ? " solid" : " inside frame"));
                TSurface S(28, 24);
                S.DC.SelectObject(CreatePen(Style, Width, 0));
                S.DC.SelectObject(GetStockObject(NULL_BRUSH));
                if (Ellipse) S.DC.Ellipse(Box.left(), Box.top(), Box.right() + 1, Box.bottom() + 1);
                else S.DC.Rectangle(Box.left(), Box.top(), Box.right() + 1, Box.bottom() + 1);
                const int Out = Style == PS_SOLID ? Width / 2 : 0;
                EXPECT_EQ(S.Ink(), Box.adjusted(-Out, -Out, Out, Out));
                if (!Ellipse) {
                    // A band Width pixels wide on every side, wholly inked.
                    const int L = Box.left() - Out, R = Box.right() + Out, Y = Box.center().y();
                    std::string Band(size_t(28), '.');
                    for (int I = 0; I < Width; ++I) Band[size_t(L + I)] = Band[size_t(R - I)] = '#';
                    EXPECT_EQ(S.Row(Y), Band);
                }
            }
}

TEST(DeviceContext, PixelRulesHoldOnEveryKindOfDevice) {
    // Drawn on images of several formats, on a pixmap, and through a clip of two
    // rectangles, the scene looks the same.
    auto Scene = [](QPainter& P) {
        TDeviceContext DC(&P);
        DC.SetViewportOrg(1, 2);
        DC.SelectObject(CreatePen(PS_SOLID, 1, 0x0000FF));
        DC.SelectObject(CreateBrushIndirect({BS_SOLID, 0x00FF00, 0}));
        const TPixelPoint Star[] = {{20, 0}, {32, 38}, {1, 14}, {39, 14}, {8, 38}};
        DC.Polygon(Star, 5);
        DC.Ellipse(3, 25, 17, 36);
        // Solid lines go straight into the pictures that allow it.
        const TPixelPoint Steps[] = {{-3, 30}, {10, 39}, {39, 26}, {36, 45}};
        DC.Polyline(Steps, 4);
        DC.SelectObject(CreatePen(PS_DASHDOT, 1, 0xFF0000));
        const TPixelPoint Zigzag[] = {{0, 1}, {38, 5}, {2, 20}, {30, 37}};
        DC.Polyline(Zigzag, 4);
        DC.SetBkMode(BK_TRANSPARENT);
        DC.Rectangle(22, 22, 36, 30);
    };
    auto Drawn = [&](QImage::Format Format, bool TwoRectangles = false) {
        QImage I(40, 40, Format);
        I.fill(Qt::white);
        QPainter P(&I);
        if (TwoRectangles) P.setClipRegion(QRegion(0, 0, 20, 20) + QRegion(20, 20, 20, 20));
        Scene(P);
        P.end();
        return I.convertToFormat(QImage::Format_RGB32);
    };
    const QImage Want = Drawn(QImage::Format_BGR888);
    int Inked = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) Inked += Want.pixel(x, y) != White;
    EXPECT_GT(Inked, 400);
    for (QImage::Format F : {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied, QImage::Format_RGB888,
                             QImage::Format_RGB16}) {
        SCOPED_TRACE(int(F));
        EXPECT_EQ(Drawn(F), Want);
    }
    QPixmap Pixmap(40, 40);
    Pixmap.fill(Qt::white);
    {
        QPainter P(&Pixmap);
        Scene(P);
    }
    EXPECT_EQ(Pixmap.toImage().convertToFormat(QImage::Format_RGB32), Want);

    const QImage Clipped = Drawn(QImage::Format_BGR888, true);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            const bool Inside = (x < 20 && y < 20) || (x >= 20 && y >= 20);
            ASSERT_EQ(Clipped.pixel(x, y), Inside ? Want.pixel(x, y) : qRgb(255, 255, 255)) << x << "," << y;
        }
}

TEST(DeviceContext, UprightRectanglesFillAsQtFillsEveryPolygon) {
    // Polygons that outline an upright rectangle are filled in the picture itself; others,
    // and pictures Qt must draw on (16-bit), keep Qt's fill. Both must give the same pixels.
    const std::vector<std::vector<TPixelPoint>> Shapes = {
        {{3, 4}, {30, 4}, {30, 20}, {3, 20}},                        // clockwise
        {{3, 4}, {3, 20}, {30, 20}, {30, 4}},                        // anticlockwise
        {{3, 4}, {10, 4}, {20, 4}, {30, 4}, {30, 12}, {30, 20}, {3, 20}, {3, 9}},  // collinear points
        {{3, 4}, {30, 4}, {30, 20}, {3, 20}, {3, 4}},                // closed by hand
        {{3, 4}, {30, 4}, {30, 20}, {3, 20}, {3, 4}, {3, 20}, {3, 4}},  // back and forth on the left side
        {{3, 4}, {30, 4}, {30, 12}, {30, 4}, {30, 20}, {3, 20}},     // a spur on the right side
        {{3, 4}, {30, 4}, {30, 20}, {3, 20}, {3, 4}, {30, 4}, {30, 20}, {3, 20}},  // round twice
        {{3, 4}, {30, 4}, {30, 20}, {16, 20}, {16, 12}, {3, 12}},    // an L
        {{3, 4}, {30, 4}, {30, 4}, {3, 4}},                          // no height
        {{5, 5}, {6, 5}, {6, 6}, {5, 6}},                            // one pixel
        {{-20, -7}, {60, -7}, {60, 50}, {-20, 50}},                  // beyond the picture
        {{38, 30}, {45, 30}, {45, 45}, {38, 45}},                    // cut by its right and bottom edges
    };
    struct TPenCase {
        int Style, Width;
        bool Smooth;
    };
    const TPenCase Pens[] = {{PS_NULL, 0, false}, {PS_SOLID, 1, false}, {PS_SOLID, 3, false},
                             {PS_DASH, 1, false},  {PS_NULL, 0, true},   {PS_SOLID, 1, true}};
    auto Drawn = [](QImage::Format Format, const std::vector<TPixelPoint>& Shape, const TPenCase& Pen, bool Clip) {
        QImage I(40, 40, Format);
        I.fill(Qt::white);
        QPainter P(&I);
        if (Clip) P.setClipRect(QRect(2, 6, 31, 30));
        TDeviceContext DC(&P);
        DC.SetViewportOrg(1, -1);
        DC.SetAntialiasing(Pen.Smooth);
        DC.SelectObject(CreatePen(Pen.Style, Pen.Width, 0x0000FF));
        DC.SelectObject(CreateBrushIndirect({BS_SOLID, 0x00FF00, 0}));
        DC.Polygon(Shape.data(), int(Shape.size()));
        P.end();
        return I.convertToFormat(QImage::Format_RGB32);
    };
    for (size_t S = 0; S < Shapes.size(); ++S)
        for (const TPenCase& Pen : Pens)
            for (bool Clip : {false, true}) {
                SCOPED_TRACE(::testing::Message() << "shape " << S << ", pen " << Pen.Style << "/" << Pen.Width
                                                  << (Pen.Smooth ? " smooth" : "") << (Clip ? ", clipped" : ""));
                const QImage Direct = Drawn(QImage::Format_BGR888, Shapes[S], Pen, Clip);
                const QImage ByQt = Drawn(QImage::Format_RGB16, Shapes[S], Pen, Clip);
                if (Pen.Smooth) {
                    // Smooth edges blend in 16 bits differently; the fill must still match.
                    for (int y = 0; y < 40; ++y)
                        for (int x = 0; x < 40; ++x) {
                            const bool A = Direct.pixel(x, y) == qRgb(0, 255, 0), B = ByQt.pixel(x, y) == qRgb(0, 255, 0);
                            ASSERT_EQ(A, B) << x << "," << y;
                        }
                } else {
                    ASSERT_EQ(Direct, ByQt);
                }
            }
}

TEST(DeviceContext, RepeatedSymbolsDrawAsQtDrawsThemUpToThePictureEdges) {
    // Symbols of one size are stamped row by row in the picture itself; on a 16-bit picture Qt
    // draws them. Sizes up to and past the widest stamp, colours changing between symbols, and
    // symbols in the picture's last rows and columns, where a row's stamp would run past its end.
    auto Drawn = [](QImage::Format Format, int W, int H) {
        QImage I(37, 29, Format);
        I.fill(Qt::white);
        QPainter P(&I);
        TDeviceContext DC(&P);
        const HGDIOBJ Blue = CreatePen(PS_SOLID, 1, 0xFF0000), Black = CreatePen(PS_SOLID, 1, 0x000000);
        const HGDIOBJ Green = CreateBrushIndirect({BS_SOLID, 0x00FF00, 0}), Red = CreateBrushIndirect({BS_SOLID, 0x0000FF, 0});
        int K = 0;
        for (int Y : {0, 9, 29 - H})
            for (int X : {0, 5, 17, 37 - W}) {
                DC.SelectObject(K % 3 == 2 ? Black : Blue);
                DC.SelectObject(K % 4 == 3 ? GetStockObject(NULL_BRUSH) : (K % 2 ? Red : Green));
                DC.Ellipse(X, Y, X + W, Y + H);
                ++K;
            }
        P.end();
        return I.convertToFormat(QImage::Format_RGB32);
    };
    for (int W = 1; W <= 12; ++W)
        for (int H : {1, 2, 5, 6, 7, 11}) {
            SCOPED_TRACE(testing::Message() << W << " x " << H);
            const QImage Want = Drawn(QImage::Format_RGB16, W, H);
            for (QImage::Format F : {QImage::Format_BGR888, QImage::Format_RGB888, QImage::Format_RGB32})
                ASSERT_EQ(Drawn(F, W, H), Want) << int(F);
        }
}

TEST(DeviceContext, ScatteredDrawingGivesThePicturePlainDrawingGives) {
    // Symbols and titles held back a step must land in their order among everything else:
    // other drawing, the painter used directly, changes of colour, font and text.
    auto Drawn = [](bool Scattered, bool LeaveScattered) {
        QImage I(120, 90, QImage::Format_BGR888);
        I.fill(Qt::white);
        QPainter P(&I);
        {
            TDeviceContext DC(&P);
            DC.SetScattered(Scattered);
            DC.SetBkMode(BK_TRANSPARENT);
            DC.SelectObject(Font(-12));
            const HGDIOBJ Red = CreateBrushIndirect({BS_SOLID, 0x0000FF, 0}), Green = CreateBrushIndirect({BS_SOLID, 0x00FF00, 0});
            for (int K = 0; K < 60; ++K) {
                const int X = (K * 37) % 110, Y = (K * 23) % 80;
                DC.SelectObject(K % 3 ? Red : Green);
                DC.Ellipse(X, Y, X + 7, Y + 7);
                if (K % 5 == 1) {
                    // Straight after, in another colour or size, overlapping it.
                    DC.SelectObject(K % 3 ? Green : Red);
                    DC.Ellipse(X + 3, Y + 2, X + 10 + K % 2, Y + 9);
                }
                DC.SetTextColor(K % 2 ? 0x0000FF : 0xFF0000);
                DC.TextOut(X + 3, Y + 2, "T" + std::to_string(K % 13));
                if (K % 7 == 3) {
                    const TPixelPoint Line[] = {{X, Y + 4}, {X + 20, Y + 6}};
                    DC.Polyline(Line, 2);
                }
                if (K % 11 == 5) DC.Painter()->fillRect(QRect(X + 1, Y + 1, 5, 5), Qt::black);
                if (K % 13 == 6) DC.SelectObject(Font(-15, 0, K % 2 ? 700 : 400));
                if (K % 17 == 8) DC.Rectangle(X, Y, X + 9, Y + 4);
            }
            if (!LeaveScattered) DC.SetScattered(false);
            if (Scattered && !LeaveScattered) {
                // Nothing is left behind once the mode is left.
                const QImage Now = I.copy();
                DC.Settle();
                EXPECT_EQ(I, Now);
            }
        }  // a context dropped while scattered draws what it holds
        P.end();
        return I;
    };
    const QImage Want = Drawn(false, false);
    EXPECT_EQ(Drawn(true, false), Want);
    EXPECT_EQ(Drawn(true, true), Want);

    // The mode does hold a symbol back until something needs the picture.
    QImage I(20, 20, QImage::Format_BGR888);
    I.fill(Qt::white);
    QPainter P(&I);
    TDeviceContext DC(&P);
    DC.SetScattered(true);
    DC.SelectObject(CreateBrushIndirect({BS_SOLID, 0x0000FF, 0}));
    DC.Ellipse(2, 2, 9, 9);
    EXPECT_EQ(I.pixel(5, 5) | 0xFF000000, White);
    DC.Painter();
    EXPECT_EQ(I.pixel(5, 5) | 0xFF000000, qRgb(255, 0, 0));
}

TEST(DeviceContext, SolidLinesInsideAndAcrossThePictureTakeGdisPixels) {
    // Solid lines go straight into 24 and 32 bit pictures, stepping through the picture's memory
    // for the lines inside it: every step and tie as GDI takes them, moved and clipped.
    std::mt19937 Random(7);
    std::uniform_int_distribution<int> Coord(-20, 100), Step(-12, 12);
    std::vector<std::vector<TPixelPoint>> Chains;
    for (int K = 0; K < 20; ++K) {
        std::vector<TPixelPoint> C{{Coord(Random), Coord(Random)}};
        for (int I = 0; I < 20; ++I) C.push_back({C.back().X + Step(Random), C.back().Y + Step(Random)});
        Chains.push_back(C);
    }
    const struct {
        const char* Name;
        QImage::Format Format;
        QPoint Origin;
        QRect Clip;
    } Cases[] = {{"24 bits", QImage::Format_BGR888, {0, 0}, {}},
                 {"32 bits", QImage::Format_RGB32, {0, 0}, {}},
                 {"24 bits moved", QImage::Format_RGB888, {-7, 5}, {}},
                 {"32 bits moved and clipped", QImage::Format_ARGB32_Premultiplied, {3, -4}, {10, 15, 50, 40}}};
    constexpr int W = 80, H = 70;
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        QImage I(W, H, C.Format);
        I.fill(Qt::white);
        {
            QPainter P(&I);
            if (!C.Clip.isNull()) P.setClipRect(C.Clip);
            TDeviceContext DC(&P);
            DC.SetViewportOrg(C.Origin.x(), C.Origin.y());
            DC.SelectObject(CreatePen(PS_SOLID, 1, 0));
            for (const auto& Chain : Chains) DC.Polyline(Chain.data(), int(Chain.size()));
        }
        const QRect Visible = C.Clip.isNull() ? QRect(0, 0, W, H) : C.Clip;
        TPixels Ink;
        for (const auto& Chain : Chains)
            for (size_t K = 1; K < Chain.size(); ++K)
                for (const QPoint& Q : LinePixels({Chain[K - 1].X, Chain[K - 1].Y}, {Chain[K].X, Chain[K].Y}))
                    if (Visible.contains(Q + C.Origin)) Ink.push_back(Q + C.Origin);
        EXPECT_EQ(Art(I.convertToFormat(QImage::Format_RGB32)), Art(Expected(W, H, Ink)));
    }
}

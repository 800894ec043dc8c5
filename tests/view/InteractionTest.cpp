// The view's window driven by real mouse events: rubber-band zoom with its focus
// rectangle, selection, rotating and panning by dragging, the scroll bars and the client
// area they leave, and the capture behind a transparent view.

#include <QPalette>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <string>
#include <vector>

#include "RenderFixtures.h"

namespace {

// The middle of one part of a scroll bar (an arrow, a page area, the thumb).
QPoint SpotOf(const QScrollBar* Bar, QStyle::SubControl Part) {
    QStyleOptionSlider Opt;
    Opt.initFrom(Bar);
    Opt.subControls = QStyle::SC_All;
    Opt.orientation = Bar->orientation();
    if (Bar->orientation() == Qt::Horizontal) Opt.state |= QStyle::State_Horizontal;
    Opt.minimum = Bar->minimum();
    Opt.maximum = Bar->maximum();
    Opt.sliderPosition = Bar->sliderPosition();
    Opt.sliderValue = Bar->value();
    Opt.singleStep = Bar->singleStep();
    Opt.pageStep = Bar->pageStep();
    Opt.upsideDown = Bar->invertedAppearance();
    return Bar->style()->subControlRect(QStyle::CC_ScrollBar, &Opt, Part, Bar).center();
}

int64_t LonDiff(int64_t A, int64_t B) {
    int64_t D = (A - B) % OrvexUnits::Deg360;
    if (D >= OrvexUnits::Deg180) D -= OrvexUnits::Deg360;
    if (D < -OrvexUnits::Deg180) D += OrvexUnits::Deg360;
    return D;
}

// Whether the window shows Picture unchanged.
bool SamePicture(const QImage& Window, const QImage& Picture) {
    if (Window.size() != Picture.size()) return false;
    for (int Y = 0; Y < Picture.height(); ++Y)
        for (int X = 0; X < Picture.width(); ++X)
            if (PixelOf(Window, X, Y) != PixelOf(Picture, X, Y)) return false;
    return true;
}

// A shown view of 400 x 300 that records its mouse and selection events.
class InteractionTest : public RenderTest {
protected:
    InteractionTest() {
        View.SetSurfaceSize(400, 300);
        View.OnMouseDown = [this](TOrvex3* V, TMouseButton B, TShiftState S, int32_t X, int32_t Y) {
            PressScale = V->GetScaleFactor();
            Log.push_back("down " + std::to_string(B) + " " + std::to_string(X) + "," + std::to_string(Y) +
                          (S & ssDouble ? " double" : "") + " selected " + std::to_string(V->SelectedCount()));
        };
        View.OnMouseMove = [this](TOrvex3*, TShiftState, int32_t X, int32_t Y) {
            Log.push_back("move " + std::to_string(X) + "," + std::to_string(Y));
        };
        View.OnMouseUp = [this](TOrvex3* V, TMouseButton B, TShiftState, int32_t, int32_t) {
            Log.push_back("up " + std::to_string(B) + (V->GetScaleFactor() != PressScale ? " zoomed" : ""));
        };
        View.OnSelected = [this](TOrvex3*, TOrvexObject* O) { Log.push_back("selected " + Name(O)); };
        View.OnDeSelected = [this](TOrvex3*, TOrvexObject* O) { Log.push_back("deselected " + Name(O)); };
        View.OnZoomed = [this](TOrvex3*) { Log.push_back("zoomed"); };
        View.OnPanned = [this](TOrvex3*) { Log.push_back("panned"); };
        View.OnClick = [this](TOrvex3*) { Log.push_back("click"); };
        View.OnDblClick = [this](TOrvex3*) { Log.push_back("double click"); };
        View.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&View));
    }
    static std::string Name(const TOrvexObject* O) { return O ? O->Title() : "none"; }

    // A right-button drag from A to B through the real window.
    void Drag(Qt::MouseButton Button, QPoint A, QPoint B, Qt::KeyboardModifiers Keys = {}) {
        QTest::mousePress(&View, Button, Keys, A);
        QTest::mouseMove(&View, (A + B) / 2);
        QTest::mouseMove(&View, B);
        QTest::mouseRelease(&View, Button, Keys, B);
    }
    TPoint3D Under(int32_t X, int32_t Y) {
        TPoint3D P;
        EXPECT_TRUE(View.PixelToLL(X, Y, P)) << X << "," << Y;
        return P;
    }
    // The picture that the window shows, less its scroll bars.
    QImage Shown() { return View.grab().toImage().copy(0, 0, View.Canvas()->Width(), View.Canvas()->Height()); }

    std::vector<std::string> Log;
    long double PressScale = 0;
};

using Strings = std::vector<std::string>;

TEST_F(InteractionTest, RightDragZoomsToTheRectangle) {
    // The globe twice the height of the view, so that the rectangle below lies on it.
    View.ZoomToScale(0);
    View.ZoomToScale(View.GetScaleFactor() * 2);
    const long double Old = View.GetScaleFactor();
    const TPoint3D Target = Under(60, 35);  // the centre of the rectangle below
    Log.clear();

    Drag(Qt::RightButton, {10, 10}, {110, 60});

    EXPECT_NEAR(double(View.GetScaleFactor() / Old), 4.0, 1e-9) << "min(300 / 50, 400 / 100)";
    const TPoint3D Centre = Under(200, 150);
    const double Pixel = 1 / double(View.GetScaleFactor());
    EXPECT_LE(std::llabs(LonDiff(Centre.X, Target.X)), 2 * Pixel);
    EXPECT_LE(std::llabs(int64_t(Centre.Y) - Target.Y), 2 * Pixel);
    EXPECT_FALSE(View.ZoomDragging);
    // The events fire in the middle of the view's own handling: the zoom happens before OnMouseUp.
    EXPECT_EQ(Log, (Strings{"down 1 10,10 selected 0", "move 60,35", "move 110,60", "zoomed", "up 1 zoomed"}));
}

TEST_F(InteractionTest, RectanglesTooSmallOrDraggedBackDoNotZoom) {
    const struct {
        const char* Name;
        QPoint From, To;
    } Rows[] = {
        {"5 pixels each way", {100, 100}, {105, 105}},
        {"9 pixels wide", {100, 100}, {109, 200}},
        {"9 pixels high", {100, 100}, {200, 109}},
        {"dragged up and left", {200, 200}, {100, 100}},
        {"dragged up", {100, 200}, {200, 100}},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        View.ZoomToScale(0);
        const TViewRec Before = View.GetViewRec();
        Log.clear();
        Drag(Qt::RightButton, R.From, R.To);
        EXPECT_EQ(View.GetViewRec().ScaleFactor, Before.ScaleFactor);
        EXPECT_EQ(View.GetOrigin(), (TPixelPoint{Before.XOrigin, Before.YOrigin}));
        EXPECT_FALSE(View.ZoomDragging);
        EXPECT_EQ(Log.back(), "up 1");
        // What the window shows is the picture again: the rectangle is gone.
        EXPECT_TRUE(SamePicture(Shown(), View.Canvas()->Image()));
    }
}

TEST_F(InteractionTest, FocusRectangleInvertsEveryOtherPixelOfItsOutline) {
    FlatMap(400, 300);
    QTest::mousePress(&View, Qt::RightButton, {}, QPoint(20, 20));
    QTest::mouseMove(&View, QPoint(120, 80));
    ASSERT_TRUE(View.ZoomDragging);
    EXPECT_EQ(View.ZoomRect, (TRect{20, 20, 120, 80}));

    const QImage Window = Shown();
    const QImage& Picture = View.Canvas()->Image();
    int Inverted = 0;
    for (int Y = 10; Y < 90; ++Y)
        for (int X = 10; X < 130; ++X) {
            const bool Outline =
                ((Y == 20 || Y == 79) && X >= 20 && X <= 119) || ((X == 20 || X == 119) && Y >= 20 && Y <= 79);
            const TColor Expected = PixelOf(Picture, X, Y) ^ (Outline && (X + Y) % 2 == 0 ? 0xFFFFFF : 0);
            ASSERT_EQ(PixelOf(Window, X, Y), Expected) << X << "," << Y;
            Inverted += Expected != PixelOf(Picture, X, Y);
        }
    EXPECT_EQ(Inverted, (100 + 100 + 58 + 58) / 2);

    // A press of any other button cancels the drag and only erases the rectangle.
    Log.clear();
    QTest::mousePress(&View, Qt::LeftButton, {}, QPoint(120, 80));
    EXPECT_FALSE(View.ZoomDragging);
    EXPECT_TRUE(Log.empty()) << "no OnMouseDown, no selection";
    EXPECT_TRUE(SamePicture(Shown(), View.Canvas()->Image()));
    QTest::mouseRelease(&View, Qt::LeftButton, {}, QPoint(120, 80));
    QTest::mouseRelease(&View, Qt::RightButton, {}, QPoint(120, 80));
}

TEST_F(InteractionTest, ClickSelectsTheTopmostObjectAndEmptyMapDeselects) {
    // A under B at the click point; C apart.
    FlatMap(360, 180);
    TOrvexLayer* L = View.AddLayer("areas");
    TPolygonPresenter* P = AreaStyle(L, Black, Green);
    Chain(L, P, {LL(-20, -20), LL(20, -20), LL(20, 20), LL(-20, 20)})->SetTitle("A");
    Chain(L, P, {LL(-10, -10), LL(30, -10), LL(30, 30), LL(-10, 30)})->SetTitle("B");
    TOrvexObject* C = Chain(L, P, {LL(60, 0), LL(80, 0), LL(80, 20), LL(60, 20)});
    C->SetTitle("C");
    View.Render();
    Log.clear();
    const QPoint AB(185, 85), OnC(250, 80), Empty(300, 150);
    const TViewRec Still = View.GetViewRec();

    QTest::mouseClick(&View, Qt::LeftButton, {}, AB);
    EXPECT_EQ(Name(View.SelectedObject()), "B");
    // Again on the same object: deselected and selected again, without OnDeSelected.
    QTest::mouseClick(&View, Qt::LeftButton, {}, AB);
    EXPECT_EQ(Name(View.SelectedObject()), "B");
    // Empty map: deselects without either event.
    QTest::mouseClick(&View, Qt::LeftButton, {}, Empty);
    EXPECT_EQ(View.SelectedObject(), nullptr);
    EXPECT_EQ(Log, (Strings{"down 0 185,85 selected 0", "selected B", "click", "up 0",  //
                            "down 0 185,85 selected 1", "selected B", "click", "up 0",  //
                            "down 0 300,150 selected 1", "click", "up 0"}));

    // A held modifier stops the view's own handling after OnMouseDown.
    Log.clear();
    QTest::mouseClick(&View, Qt::LeftButton, Qt::ShiftModifier, AB);
    QTest::mouseClick(&View, Qt::LeftButton, Qt::ControlModifier, AB);
    EXPECT_EQ(View.SelectedCount(), 0) << "Ctrl+click without MultiSelect";
    EXPECT_EQ(Log, (Strings{"down 0 185,85 selected 0", "click", "up 0", "down 0 185,85 selected 0", "click", "up 0"}));

    // With MultiSelect, Ctrl+click toggles one object and keeps the others.
    View.MultiSelect = true;
    QTest::mouseClick(&View, Qt::LeftButton, {}, OnC);
    QTest::mouseClick(&View, Qt::LeftButton, Qt::ControlModifier, AB);
    EXPECT_EQ(View.Selection(), (std::vector<TOrvexObject*>{C, L->GetObject(1)}));
    QTest::mouseClick(&View, Qt::LeftButton, Qt::ControlModifier, OnC);
    EXPECT_EQ(View.Selection(), (std::vector<TOrvexObject*>{L->GetObject(1)}));
    EXPECT_FALSE(C->Selected());
    QTest::mouseClick(&View, Qt::LeftButton, Qt::ControlModifier, OnC);
    EXPECT_EQ(View.SelectedObject(), C);
    EXPECT_EQ(View.SelectedCount(), 2);
    EXPECT_FALSE(View.Rotating);

    // A double click's second press does nothing but fire its events.
    QTest::mouseClick(&View, Qt::LeftButton, {}, Empty);
    QTest::mouseClick(&View, Qt::LeftButton, {}, Empty);
    Log.clear();
    QTest::mouseDClick(&View, Qt::LeftButton, {}, AB);
    QTest::mouseRelease(&View, Qt::LeftButton, {}, AB);
    EXPECT_EQ(View.SelectedObject(), nullptr);
    EXPECT_EQ(Log, (Strings{"double click", "down 0 185,85 double selected 0", "up 0"}));

    // Neither selecting nor a plain click moved the flat map.
    const TViewRec Now = View.GetViewRec();
    EXPECT_EQ(Now.XOrigin, Still.XOrigin);
    EXPECT_EQ(Now.YOrigin, Still.YOrigin);
}

TEST_F(InteractionTest, EditorSelectionCyclesThroughOverlappingObjects) {
    // The editor selects in OnMouseDown and switches the view's own selection off.
    FlatMap(360, 180);
    TOrvexLayer* L = View.AddLayer("areas");
    TPolygonPresenter* P = AreaStyle(L, Black, Green);
    for (const char* Title : {"A", "B", "C"})
        Chain(L, P, {LL(-20, -20), LL(20, -20), LL(20, 20), LL(-20, 20)})->SetTitle(Title);
    View.Render();
    View.MouseSelectButton = mzbNone;
    View.OnMouseDown = [](TOrvex3* V, TMouseButton B, TShiftState, int32_t X, int32_t Y) {
        if (B == mbLeft) V->SelectObject(V->ObjectAtXY(X, Y));
    };
    std::string Order;
    for (int I = 0; I < 4; ++I) {
        QTest::mouseClick(&View, Qt::LeftButton, {}, QPoint(180, 90));
        Order += Name(View.SelectedObject());
    }
    EXPECT_EQ(Order, "CBAC");
}

TEST_F(InteractionTest, DraggingKeepsTheGrabbedPointUnderTheMouse) {
    const struct {
        const char* Name;
        TOrvexProjection Kind;
        QPoint From, To;
        double Tolerance;  // in pixels of the projection
    } Rows[] = {
        {"sphere", opSpherical, {200, 150}, {240, 180}, 2},
        {"sphere, near the rim", opSpherical, {320, 150}, {300, 120}, 4},
        {"flat map", opCartesian, {200, 150}, {150, 110}, 1},
        {"flat map across the seam", opCartesian, {20, 150}, {390, 150}, 1},
        {"Mercator", opMercator, {200, 150}, {260, 100}, 1},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        View.SetProjection(R.Kind);
        View.ZoomToScale(0);
        const TPoint3D Anchor = Under(R.From.x(), R.From.y());
        QTest::mousePress(&View, Qt::LeftButton, {}, R.From);
        ASSERT_TRUE(View.Rotating);
        // Small steps, as a real drag comes.
        for (int K = 1; K <= 8; ++K) QTest::mouseMove(&View, R.From + (R.To - R.From) * K / 8);
        const TPoint3D Now = Under(R.To.x(), R.To.y());
        const double Pixel = 1 / double(View.GetScaleFactor());
        EXPECT_LE(std::llabs(LonDiff(Now.X, Anchor.X)), R.Tolerance * Pixel);
        EXPECT_LE(std::llabs(int64_t(Now.Y) - Anchor.Y), R.Tolerance * Pixel);
        QTest::mouseRelease(&View, Qt::LeftButton, {}, R.To);
        EXPECT_FALSE(View.Rotating);
    }

    // Panning a flat map east turn after turn keeps the angle within one turn and the
    // grabbed point under the mouse.
    View.SetProjection(opCartesian);
    View.ZoomToScale(0);
    for (int Turn = 0; Turn < 12; ++Turn) {
        const TPoint3D Anchor = Under(20, 150);
        QTest::mousePress(&View, Qt::LeftButton, {}, QPoint(20, 150));
        for (int X = 60; X <= 380; X += 40) QTest::mouseMove(&View, QPoint(X, 150));
        QTest::mouseRelease(&View, Qt::LeftButton, {}, QPoint(380, 150));
        EXPECT_LE(std::llabs(LonDiff(Under(380, 150).X, Anchor.X)), 1 / double(View.GetScaleFactor()));
        ASSERT_GE(View.YRotation(), -OrvexUnits::Deg180) << Turn;
        ASSERT_LT(View.YRotation(), OrvexUnits::Deg180) << Turn;
    }

    // Off the map: no drag starts, and later moves change nothing.
    View.SetProjection(opSpherical);
    View.ZoomToScale(0);
    const TViewRec Before = View.GetViewRec();
    QTest::mousePress(&View, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(View.Rotating);
    QTest::mouseMove(&View, QPoint(200, 150));
    QTest::mouseRelease(&View, Qt::LeftButton, {}, QPoint(200, 150));
    EXPECT_EQ(View.GetViewRec().XRotation, Before.XRotation);
    EXPECT_EQ(View.GetViewRec().YRotation, Before.YRotation);
}

TEST_F(InteractionTest, ScrollBarsPanByLineHalfPageAndThumb) {
    View.ZoomToScale(0);
    View.ZoomToScale(View.GetScaleFactor() * 2);
    const struct {
        const char* Name;
        QScrollBar* Bar;
        QStyle::SubControl Part;
        int64_t PagesTimes40;  // the move in fortieths of the visible extent
    } Rows[] = {
        {"right arrow", View.HorzScrollBar(), QStyle::SC_ScrollBarAddLine, 2},
        {"left arrow", View.HorzScrollBar(), QStyle::SC_ScrollBarSubLine, -2},
        {"right of the thumb", View.HorzScrollBar(), QStyle::SC_ScrollBarAddPage, 20},
        {"left of the thumb", View.HorzScrollBar(), QStyle::SC_ScrollBarSubPage, -20},
        {"down arrow", View.VertScrollBar(), QStyle::SC_ScrollBarAddLine, 2},
        {"up arrow", View.VertScrollBar(), QStyle::SC_ScrollBarSubLine, -2},
        {"below the thumb", View.VertScrollBar(), QStyle::SC_ScrollBarAddPage, 20},
        {"above the thumb", View.VertScrollBar(), QStyle::SC_ScrollBarSubPage, -20},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        const bool Horizontal = R.Bar == View.HorzScrollBar();
        const int64_t Page = Horizontal ? View.ViewExtent().Width : View.ViewExtent().Height;
        // Integer division of the page, as the bar's messages are handled.
        const int64_t D = R.PagesTimes40 == 2 ? Page / 20 : R.PagesTimes40 == -2 ? Page / -20
                          : R.PagesTimes40 > 0 ? Page / 2 : -(Page / 2);
        const TPixelPoint Origin = View.GetOrigin();
        const int Value = R.Bar->value();
        Log.clear();
        QTest::mouseClick(R.Bar, Qt::LeftButton, {}, SpotOf(R.Bar, R.Part));
        const int64_t Moved = std::llrint(D * View.GetScaleFactor());
        EXPECT_EQ(View.GetOrigin().X, Origin.X - (Horizontal ? Moved : 0));
        EXPECT_EQ(View.GetOrigin().Y, Origin.Y - (Horizontal ? 0 : Moved));
        EXPECT_NEAR(R.Bar->value() - Value, D, 1 / View.GetScaleFactor());
        EXPECT_EQ(Log, Strings{"panned"});
    }

    // Dragging the thumb pans as far as the bar's position moved.
    QScrollBar* Bar = View.HorzScrollBar();
    const QPoint Thumb = SpotOf(Bar, QStyle::SC_ScrollBarSlider);
    const TPixelPoint Origin = View.GetOrigin();
    const int Value = Bar->value();
    QTest::mousePress(Bar, Qt::LeftButton, {}, Thumb);
    QTest::mouseMove(Bar, Thumb + QPoint(15, 0));
    QTest::mouseMove(Bar, Thumb + QPoint(30, 0));
    QTest::mouseRelease(Bar, Qt::LeftButton, {}, Thumb + QPoint(30, 0));
    EXPECT_GT(Bar->value(), Value);
    EXPECT_NEAR(Origin.X - View.GetOrigin().X, (Bar->value() - Value) * View.GetScaleFactor(), 2);
    EXPECT_EQ(View.GetOrigin().Y, Origin.Y);
}

TEST_F(InteractionTest, ScrollBarsTakeTheirRoomFromTheSurface) {
    const int Extent = View.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, View.VertScrollBar());
    ASSERT_GT(Extent, 0);
    ASSERT_EQ(View.width(), 400 + Extent);
    const struct {
        TScrollStyle Style;
        bool Horizontal, Vertical;
    } Rows[] = {{ssNone, false, false}, {ssHorizontal, true, false}, {ssVertical, false, true}, {ssBoth, true, true}};
    for (const auto& R : Rows) {
        SCOPED_TRACE(int(R.Style));
        const int32_t OldW = View.Canvas()->Width(), OldH = View.Canvas()->Height();
        const long double OldScale = View.GetScaleFactor();
        View.SetScrollBars(R.Style);
        const int32_t W = View.width() - (R.Vertical ? Extent : 0), H = View.height() - (R.Horizontal ? Extent : 0);
        EXPECT_EQ(View.Canvas()->Width(), W);
        EXPECT_EQ(View.Canvas()->Height(), H);
        EXPECT_EQ(View.HorzScrollBar()->isVisible(), R.Horizontal);
        EXPECT_EQ(View.VertScrollBar()->isVisible(), R.Vertical);
        // As any change of the surface's size: the scale follows the diagonal.
        EXPECT_NEAR(double(View.GetScaleFactor() / OldScale), std::hypot(W, H) / std::hypot(OldW, OldH), 1e-12);
        // A surface of a given size, whatever bars the window has.
        View.SetSurfaceSize(300, 200);
        EXPECT_EQ(View.Canvas()->Width(), 300);
        EXPECT_EQ(View.Canvas()->Height(), 200);
        View.SetSurfaceSize(400, 300);
        EXPECT_EQ(View.Canvas()->Image().size(), QSize(400, 300));
    }

    // Zoomed out until a page spans the whole scroll range, the bars stay but cannot scroll.
    View.SetSurfaceSize(300, 300);
    View.ZoomToScale(1e-30L);
    EXPECT_FALSE(View.HorzScrollBar()->isEnabled());
    EXPECT_FALSE(View.VertScrollBar()->isEnabled());
    EXPECT_TRUE(View.HorzScrollBar()->isVisible());
    View.ZoomToScale(0);
    EXPECT_TRUE(View.HorzScrollBar()->isEnabled());
    EXPECT_TRUE(View.VertScrollBar()->isEnabled());
}

TEST(TransparentBackground, CapturesWhatLiesUnderTheView) {
    QWidget Parent;
    Parent.resize(300, 280);
    Parent.setAutoFillBackground(true);
    QPalette Palette = Parent.palette();
    Palette.setColor(QPalette::Window, QColor(0, 128, 0));
    Parent.setPalette(Palette);
    auto* View = new TOrvex3(&Parent);
    View->move(30, 20);
    View->SetScrollBars(ssNone);
    View->SetSurfaceSize(200, 200);
    View->ZoomToScale(0);
    View->SetColor(Navy);
    View->SetOrvexColor(Teal);
    View->SetDrawGrid(dgNone);
    View->SetTransparentBackground(true);
    Parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Parent));

    const QImage Shot = Parent.grab().toImage();
    EXPECT_EQ(View->Background().size(), QSize(200, 200));
    EXPECT_EQ(PixelOf(Shot, 30 + 3, 20 + 3), TColor(0x008000)) << "the parent's green shows in the view's corner";
    EXPECT_EQ(PixelOf(Shot, 30 + 100, 20 + 100), Teal) << "the globe is drawn over it";

    // A new size captures again.
    View->SetSurfaceSize(150, 150);
    EXPECT_TRUE(View->Background().isNull());
    (void)Parent.grab();
    EXPECT_EQ(View->Background().size(), QSize(150, 150));
}

}  // namespace

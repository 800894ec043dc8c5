// The drawing surface: clip codes, the edge clipper and drawing from the point buffer.

#include <QPainter>

#include "RenderFixtures.h"

void PrintTo(const TPixelPoint& P, std::ostream* Out) { *Out << "(" << P.X << ", " << P.Y << ")"; }

namespace {

class CanvasTest : public RenderTest {
protected:
    CanvasTest() {
        View.SetSurfaceSize(100, 100);
        Canvas = View.Canvas();
        DC = Canvas->DC();
        DC->Painter()->fillRect(0, 0, 100, 100, Qt::white);
        DC->SelectObject(CreatePen(PS_SOLID, 1, Red));
        TLogBrush B;
        B.Color = Blue;
        DC->SelectObject(CreateBrushIndirect(B));
    }
    void Put(std::initializer_list<TPixelPoint> Points) {
        int32_t I = 0;
        for (const TPixelPoint& P : Points) PointBuffer[I++] = P;
    }
    std::vector<TPixelPoint> Buffer(int32_t N) { return std::vector<TPixelPoint>(PointBuffer, PointBuffer + N); }

    TOrvexCanvas* Canvas;
    TDeviceContext* DC;
};

using Points = std::vector<TPixelPoint>;

TEST_F(CanvasTest, ClipCodeDescribesTheBoundingBox) {
    uint8_t Code = 99;
    Put({{10, 10}, {90, 20}, {50, 80}});
    EXPECT_TRUE(View.ComputeClipCode(3, Code));
    EXPECT_EQ(Code, 0);

    Put({{-10, 5}, {20, 5}});
    EXPECT_TRUE(View.ComputeClipCode(2, Code));
    EXPECT_EQ(Code, 16);

    // The box edges themselves count as inside.
    Put({{0, 0}, {100, 100}});
    EXPECT_TRUE(View.ComputeClipCode(2, Code));
    EXPECT_EQ(Code, 0);

    Put({{-5, -5}, {105, 105}});
    EXPECT_TRUE(View.ComputeClipCode(2, Code));
    EXPECT_EQ(Code, 2 | 8 | 16 | 64);
}

TEST_F(CanvasTest, PointSetsWhollyToOneSideAreNotVisible) {
    uint8_t Code = 0;
    Put({{10, -30}, {90, -1}, {50, -2}});
    EXPECT_FALSE(View.ComputeClipCode(3, Code));
    EXPECT_EQ(Code, 4 | 64);
    Put({{101, 10}, {150, 90}});
    EXPECT_FALSE(View.ComputeClipCode(2, Code));
    Put({{10, 101}, {90, 190}});
    EXPECT_FALSE(View.ComputeClipCode(2, Code));
    Put({{-10, 10}, {-1, 90}});
    EXPECT_FALSE(View.ComputeClipCode(2, Code));

    // A single point tells nothing and leaves the code alone.
    Code = 77;
    Put({{50, 50}});
    EXPECT_FALSE(View.ComputeClipCode(1, Code));
    EXPECT_EQ(Code, 77);
}

TEST_F(CanvasTest, TriangleInsideIsDrawnUnclipped) {
    Put({{10, 10}, {90, 10}, {50, 90}});
    uint8_t Code = 99;
    ASSERT_TRUE(View.ComputeClipCode(3, Code));
    EXPECT_EQ(Canvas->ClipPoints(3, true, Code), 3);
    EXPECT_EQ(Buffer(3), (Points{{10, 10}, {90, 10}, {50, 90}}));
    Canvas->PolygonBuffer(3, Code);
    const QImage& I = Canvas->Image();
    EXPECT_EQ(PixelOf(I, 50, 30), Blue);
    EXPECT_EQ(PixelOf(I, 50, 10), Red);
    EXPECT_EQ(PixelOf(I, 5, 5), White);
    EXPECT_EQ(PixelOf(I, 80, 80), White);
}

TEST_F(CanvasTest, OpenLineIsClippedAtTheLeftEdgeOnly) {
    Put({{-10, 5}, {20, 5}});
    EXPECT_EQ(Canvas->ClipPoints(2, false, 16), 2);
    EXPECT_EQ(Buffer(2), (Points{{-1, 5}, {20, 5}}));
}

TEST_F(CanvasTest, EdgeCrossingIsTheCurrentPointPlusTheRoundedStep) {
    // Every step below is a tie, a whole number and a half, rounded to even before it is
    // added to the current point (the second point of each pair).
    struct TCase {
        const char* Name;
        uint8_t Code;
        Points In, Out;
    };
    const TCase Cases[] = {
        {"left, -0.5 from an odd row", 16, {{-5, 0}, {3, 1}}, {{-1, 1}, {3, 1}}},
        {"left, 1.5", 16, {{-5, 4}, {3, 1}}, {{-1, 3}, {3, 1}}},
        {"left, leaving", 16, {{3, 2}, {-5, 1}}, {{3, 2}, {-1, 1}}},
        {"right, 1.5 from an odd row", 2, {{104, 4}, {96, 1}}, {{100, 3}, {96, 1}}},
        {"right, -1.5", 2, {{104, -2}, {96, 1}}, {{100, -1}, {96, 1}}},
        {"top, 0.5 from an odd column", 64, {{2, -5}, {1, 3}}, {{1, -1}, {1, 3}}},
        {"bottom, 1.5 from an odd column", 8, {{6, 104}, {3, 96}}, {{5, 100}, {3, 96}}},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        for (size_t I = 0; I < C.In.size(); ++I) PointBuffer[I] = C.In[I];
        const int32_t N = Canvas->ClipPoints(int32_t(C.In.size()), false, C.Code);
        EXPECT_EQ(Buffer(N), C.Out);
    }
}

TEST_F(CanvasTest, LineLeavingAndReturningRunsAlongTheRightEdgeLine) {
    Put({{10, 10}, {150, 50}, {10, 90}});
    uint8_t Code = 0;
    ASSERT_TRUE(View.ComputeClipCode(3, Code));
    EXPECT_EQ(Code, 2);
    const int32_t N = Canvas->ClipPoints(3, false, Code);
    EXPECT_EQ(Buffer(N), (Points{{10, 10}, {100, 36}, {100, 64}, {10, 90}}));

    Put({{10, 10}, {150, 50}, {10, 90}});
    Canvas->PolylineBuffer(3, Code);
    const QImage& I = Canvas->Image();
    // The hidden stretch lies one pixel right of the last column.
    for (int Y = 38; Y < 63; ++Y) EXPECT_EQ(PixelOf(I, 99, Y), White) << Y;
    EXPECT_EQ(PixelOf(I, 10, 10), Red);
    // Both visible stretches reach the last columns.
    auto RedNear = [&](int X, int Y) {
        for (int DY = -1; DY <= 1; ++DY)
            if (PixelOf(I, X, Y + DY) == Red) return true;
        return false;
    };
    EXPECT_TRUE(RedNear(98, 35));
    EXPECT_TRUE(RedNear(98, 65));
}

TEST_F(CanvasTest, PolygonCoveringTheSurfaceBecomesTheEdgeRectangle) {
    Put({{-50, -50}, {150, -50}, {150, 150}, {-50, 150}});
    uint8_t Code = 0;
    ASSERT_TRUE(View.ComputeClipCode(4, Code));
    EXPECT_EQ(Code, 2 | 8 | 16 | 64);
    const int32_t N = Canvas->ClipPoints(4, true, Code);
    const Points R = Buffer(N);
    int32_t MinX = 1000, MaxX = -1000, MinY = 1000, MaxY = -1000;
    for (const TPixelPoint& P : R) {
        MinX = std::min(MinX, P.X);
        MaxX = std::max(MaxX, P.X);
        MinY = std::min(MinY, P.Y);
        MaxY = std::max(MaxY, P.Y);
        EXPECT_TRUE(P.X == -1 || P.X == 100 || P.Y == -1 || P.Y == 100) << P.X << "," << P.Y;
    }
    EXPECT_EQ(MinX, -1);
    EXPECT_EQ(MinY, -1);
    EXPECT_EQ(MaxX, 100);
    EXPECT_EQ(MaxY, 100);

    Put({{-50, -50}, {150, -50}, {150, 150}, {-50, 150}});
    Canvas->PolygonBuffer(4, Code);
    // The outline lies outside: every pixel is filled.
    EXPECT_EQ(CountColour(Canvas->Image(), Blue), 100 * 100);
}

TEST_F(CanvasTest, SinglePointDrawsNothing) {
    Put({{50, 50}, {60, 60}});
    Canvas->PolylineBuffer(1, 255);
    Canvas->PolygonBuffer(1, 255);
    Canvas->PolylineBuffer(1, 0);
    EXPECT_EQ(CountColour(Canvas->Image(), White), 100 * 100);
}

TEST_F(CanvasTest, ResizeMakesANewPictureWithAlignedRows) {
    View.RedrawPending = false;
    Canvas->Resize(101, 50, 120);
    EXPECT_EQ(Canvas->Width(), 101);
    EXPECT_EQ(Canvas->Height(), 50);
    EXPECT_EQ(Canvas->PixelsPerInch(), 120);
    EXPECT_EQ(Canvas->Image().size(), QSize(101, 50));
    EXPECT_EQ(Canvas->Stride(), ((101 * 24 + 31) / 32) * 4);
    EXPECT_TRUE(View.RedrawPending);

    // A zero anywhere changes nothing.
    View.RedrawPending = false;
    Canvas->Resize(0, 80, 96);
    Canvas->Resize(80, 0, 96);
    Canvas->Resize(80, 80, 0);
    EXPECT_FALSE(Canvas->SetSize(0, 0, 0));
    EXPECT_EQ(Canvas->Width(), 101);
    EXPECT_EQ(Canvas->PixelsPerInch(), 120);
    EXPECT_EQ(Canvas->Image().size(), QSize(101, 50));
    EXPECT_FALSE(View.RedrawPending);

    // The new picture is drawn on.
    Put({{-10, -10}, {200, -10}, {200, 200}, {-10, 200}});
    Canvas->DC()->SelectObject(GetStockObject(BLACK_BRUSH));
    Canvas->PolygonBuffer(4, 255);
    EXPECT_EQ(CountColour(Canvas->Image(), Black), 101 * 50);
}

// A zigzag of Count points crossing the right edge at every step: clipping doubles it.
void PutZigzag(int32_t Count) {
    for (int32_t I = 0; I < Count; ++I) PointBuffer[I] = TPixelPoint{I % 2 ? 150 : 50, 2 + (I * 96) / Count};
}

TEST_F(CanvasTest, ClippingThatOutgrowsTheBufferStaysInsideIt) {
    PutZigzag(MaxChainEntries);
    const int32_t N = Canvas->ClipPoints(MaxChainEntries, false, 255);
    EXPECT_GT(N, 1);
    EXPECT_LE(N, PointBufferSize);
    for (int32_t I = 0; I < N; ++I) EXPECT_LE(PointBuffer[I].X, 100);
}

TEST_F(CanvasTest, FullBufferThatOutgrowsItWhileClippingIsDrawnWhole) {
    PutZigzag(MaxChainEntries);
    Canvas->PolylineBuffer(MaxChainEntries, 255);
    // Every row the zigzag passes through has its visible stretch from x = 50 onwards,
    // including the last ones.
    const QImage& I = Canvas->Image();
    for (int Y = 3; Y < 97; ++Y) {
        EXPECT_EQ(PixelOf(I, 50, Y), Red) << Y;
        EXPECT_EQ(PixelOf(I, 99, Y), Red) << Y;
    }
}

}  // namespace

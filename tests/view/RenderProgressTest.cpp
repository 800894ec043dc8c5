// Progress reports and Cancel of long renders and prints, and what the events let through
// meanwhile may and may not do to the render.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "RenderFixtures.h"

namespace {

class RenderProgressTest : public ::testing::Test {
protected:
    RenderProgressTest() {
        View.SetSurfaceSize(300, 200);
        View.SetDrawGrid(dgNone);
        View.SetColor(Navy);
        // Every object is a checkpoint that reports.
        View.RenderProgressDelay = 0;
        View.RenderProgressPeriod = 0;
        First = AddLayer("first", Blue);
        Second = AddLayer("second", Red);
    }

    // 400 small squares of Colour spread over the globe's face.
    TOrvexLayer* AddLayer(const std::string& Name, TColor Colour) {
        TOrvexLayer* L = View.AddLayer(Name);
        auto* P = TPolygonPresenter::Create(L);
        P->PolygonBrush()->SetBrushColor(Colour);
        P->PolygonPen()->SetPenColor(Colour);
        const int Shift = Colour == Red ? 3 : 0;
        for (int I = 0; I < 400; ++I) {
            const int Lon = -80 + (I % 20) * 8 + Shift, Lat = -60 + (I / 20) * 6;
            const TPoint3D Ring[] = {LL(Lon, Lat), LL(Lon + 2, Lat), LL(Lon + 2, Lat + 2), LL(Lon, Lat + 2),
                                     LL(Lon, Lat)};
            TGeoDataObject::Create(L, P, I, "")->SetPoints(Ring, 5);
        }
        return L;
    }

    QImage Picture() const { return View.Canvas()->Image().copy(); }

    // The picture rendered without any progress handler.
    QImage Reference() {
        const TOrvexRenderProgressEvent Saved = View.OnRenderProgress;
        View.OnRenderProgress = nullptr;
        View.Render();
        View.OnRenderProgress = Saved;
        return Picture();
    }

    TOrvex3 View;
    TOrvexLayer* First;
    TOrvexLayer* Second;
    int Reports = 0;
    int Finished = 0;
};

TEST_F(RenderProgressTest, CancelStopsTheRenderAndTheNextOneIsComplete) {
    const QImage Full = Reference();
    ASSERT_GT(CountColour(Full, Blue), 500);
    ASSERT_GT(CountColour(Full, Red), 500);
    // Report to cancel at (0: never), and the colour the picture must then lack.
    const struct {
        int CancelAt;
        TColor Missing;
    } Rows[] = {{0, 0}, {3, Red}, {20, 0}};
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.CancelAt);
        Reports = Finished = 0;
        View.OnRenderProgress = [&](TOrvex3* V, bool Done, bool& Abort) {
            EXPECT_NE(V->Rendering(), Done);
            if (Done) {
                ++Finished;
                return;
            }
            Abort = ++Reports == Row.CancelAt;
        };
        View.RequestRender();
        View.Render();
        EXPECT_FALSE(View.Rendering());
        EXPECT_EQ(Finished, 1) << "the bar is taken down once";
        if (Row.CancelAt == 0) {
            EXPECT_FALSE(View.RenderAborted());
            EXPECT_FALSE(View.RedrawPending);
            EXPECT_EQ(Picture(), Full) << "reports change nothing in the picture";
            EXPECT_GT(Reports, 15) << "about one report per 32 objects";
            continue;
        }
        EXPECT_EQ(Reports, Row.CancelAt) << "no report after Cancel";
        EXPECT_TRUE(View.RenderAborted());
        EXPECT_TRUE(View.RedrawPending) << "the next paint renders again";
        if (Row.Missing) {
            EXPECT_EQ(CountColour(Picture(), Row.Missing), 0);
        }
        View.OnRenderProgress = nullptr;
        View.Render();
        EXPECT_FALSE(View.RenderAborted());
        EXPECT_EQ(Picture(), Full);
    }
}

TEST_F(RenderProgressTest, EventsLetThroughCannotDisturbTheRender) {
    View.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&View));
    const QImage Full = Reference();
    int Backgrounds = 0;
    View.OnRender = [&](TOrvex3*) { ++Backgrounds; };
    const QSize Size = View.size();
    View.OnRenderProgress = [&](TOrvex3* V, bool Done, bool&) {
        if (Done || ++Reports != 10) return;
        // A second render, a print, a paint, input and a resize while the first runs.
        EXPECT_THROW(V->Render(), EOrvexException);
        QPrinter Printer;
        EXPECT_THROW(V->Print(Printer), EOrvexException);
        EXPECT_FALSE(V->Printing());
        const TViewRec Before = V->GetViewRec();
        V->repaint();
        QTest::mouseClick(V, Qt::RightButton, {}, QPoint(150, 100));
        QTest::keyClick(V, Qt::Key_Left);
        V->resize(Size.width() + 40, Size.height());
        QCoreApplication::processEvents();
        EXPECT_EQ(V->GetViewRec().ScaleFactor, Before.ScaleFactor);
        EXPECT_EQ(V->GetViewRec().XRotation, Before.XRotation);
        EXPECT_EQ(V->Canvas()->Width(), 300) << "the surface keeps its size while it is drawn on";
        // The layer being drawn goes, and the one after it.
        delete First;
        delete Second;
    };
    View.Render();
    EXPECT_GE(Reports, 10);
    EXPECT_EQ(Backgrounds, 1) << "the paint in the middle only showed the picture so far";
    EXPECT_EQ(View.LayerCount(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return View.Canvas()->Width() == 300 + 40; }))
        << "the held resize takes effect afterwards";
}

TEST_F(RenderProgressTest, APaintOfTheWindowHandsALongRenderToTheEventLoop) {
    View.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&View));
    const QImage Full = Reference();
    bool InPaint = false;
    int ReportsInPaint = 0;
    View.OnPaint = [&](TOrvex3*) { InPaint = false; };
    View.OnRenderProgress = [&](TOrvex3*, bool Done, bool&) {
        if (Done) return;
        ++Reports;
        ReportsInPaint += InPaint;
    };
    // A grab is drawn whole in its paint, without reports.
    View.RequestRender();
    const QImage Grabbed = View.grab().toImage();
    EXPECT_EQ(Reports, 0);
    EXPECT_FALSE(View.RedrawPending);
    EXPECT_EQ(Picture(), Full);

    View.RequestRender();
    InPaint = true;
    View.repaint();
    EXPECT_TRUE(View.RedrawPending) << "the paint left the render to the event loop";
    EXPECT_EQ(Reports, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !View.RedrawPending; }));
    EXPECT_GT(Reports, 15);
    EXPECT_EQ(ReportsInPaint, 0) << "no events are let through inside a paint";
    EXPECT_EQ(Picture(), Full);
}

TEST_F(RenderProgressTest, ACancelledPrintLeavesThePreviousFileAsItWas) {
    QTemporaryDir Dir;
    const QString Pdf = Dir.filePath("map.pdf");
    const auto Contents = [&] {
        QFile F(Pdf);
        return F.open(QIODevice::ReadOnly) ? F.readAll() : QByteArray("missing");
    };
    const auto Print = [&](int CancelAt) {
        Reports = 0;
        View.OnRenderProgress = [&, CancelAt](TOrvex3* V, bool Done, bool& Abort) {
            EXPECT_TRUE(Done || V->Printing());
            Abort = !Done && ++Reports == CancelAt;
        };
        QPrinter Printer(QPrinter::HighResolution);
        Printer.setOutputFormat(QPrinter::PdfFormat);
        Printer.setOutputFileName(Pdf);
        View.Print(Printer);
        EXPECT_EQ(Printer.outputFileName(), Pdf);
        EXPECT_FALSE(View.Printing());
        EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files), QStringList{"map.pdf"}) << "no temporary file stays";
    };
    {
        QFile F(Pdf);
        ASSERT_TRUE(F.open(QIODevice::WriteOnly));
        F.write("the old file");
    }
    for (const int CancelAt : {1, 20}) {
        SCOPED_TRACE(CancelAt);
        EXPECT_NO_THROW(Print(CancelAt)) << "a cancel is no failure";
        EXPECT_TRUE(View.RenderAborted());
        EXPECT_EQ(Contents(), "the old file");
    }
    Print(0);
    EXPECT_FALSE(View.RenderAborted());
    EXPECT_TRUE(Contents().startsWith("%PDF-"));
    EXPECT_GT(Reports, 15);
}

}  // namespace

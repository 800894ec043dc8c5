// Exported PNG pictures hold exactly the pixels the view draws, whatever way the picture was
// made: at the view's own size (a copy of the drawing surface) or at another (a drawing of its
// own), sharp or smooth, with animated layers on top.

#include <QDir>
#include <QTemporaryDir>

#include "RenderFixtures.h"
#include "styling/PointPresenter.h"
#include "view/ExportImage.h"

namespace {

class ExportPixelsTest : public RenderTest {
protected:
    ExportPixelsTest() {
        FlatMap(360, 180);
        View.SetOrvexColor(White);
        TOrvexLayer* L = View.AddLayer("areas");
        Chain(L, AreaStyle(L, Black, Red), {LL(0, 0), LL(40, 0), LL(40, 40), LL(0, 40), LL(0, 0)});
        Chain(L, AreaStyle(L, Blue, Yellow), {LL(-120, -50), LL(-30, 70), LL(-60, -10), LL(-120, -50)});
        Chain(L, LineStyle(L, Green), {LL(-170, -80), LL(170, 85)});
        auto* Place = TSinglePointObject::Create(L, TPointPresenter::Create(L), 1, "Zürich");
        Place->SetPoint(LL(8.5, 47.4));
        TOrvexLayer* Moving = View.AddLayer("moving");
        Chain(Moving, LineStyle(Moving, Magenta), {LL(-90, 60), LL(90, -60)});
        Moving->SetAnimated(true);
    }

    // The picture as the view draws it into an image of its own, as exports did before PNG
    // files were written from the drawing surface's layout.
    QImage Drawn(int32_t Width, int32_t Height) {
        QImage Image(Width, Height, QImage::Format_RGB888);
        if (Width == View.Canvas()->Width() && Height == View.Canvas()->Height())
            View.RenderToImage(Image);
        else
            View.WithSurfaceSize(Width, Height, [&] { View.RenderToDevice(&Image); });
        return Image;
    }

    QTemporaryDir Dir;
};

TEST_F(ExportPixelsTest, PngHoldsExactlyThePixelsTheViewDraws) {
    const std::string Path = (Dir.path() + "/zoë/Zürich.png").toStdString();
    ASSERT_TRUE(QDir(Dir.path()).mkpath("zoë"));
    const struct {
        const char* Name;
        int32_t Width, Height;
    } Sizes[] = {{"the view's size", 360, 180}, {"twice as large", 720, 360}, {"odd, not a row of whole words", 333, 177}};
    for (const bool Smooth : {false, true}) {
        View.SetAntialiasing(Smooth);
        for (const auto& S : Sizes) {
            SCOPED_TRACE(std::string(S.Name) + (Smooth ? ", smooth" : ", sharp"));
            const QImage Want = Drawn(S.Width, S.Height);
            ASSERT_TRUE(ExportPicture(View, Path, S.Width, S.Height));
            const QImage Got = QImage(QString::fromStdString(Path), "PNG").convertToFormat(QImage::Format_RGB888);
            ASSERT_EQ(Got.size(), QSize(S.Width, S.Height));
            EXPECT_EQ(DifferentPixels(Got, Want), 0);
        }
    }
    EXPECT_GT(CountColour(Drawn(360, 180), Magenta), 50) << "the animated layer is part of the picture";
}

TEST_F(ExportPixelsTest, TimesAreAddedForTheDrawingAndTheWriting) {
    TExportTimes Times;
    for (const char* Name : {"a.png", "a.jpg", "a.pdf"}) {
        SCOPED_TRACE(Name);
        const TExportTimes Before = Times;
        ASSERT_TRUE(ExportPicture(View, (Dir.path() + "/" + Name).toStdString(), 360, 180, &Times));
        EXPECT_GT(Times.Draw, Before.Draw);
        EXPECT_GT(Times.Write, Before.Write);
    }
}

}  // namespace

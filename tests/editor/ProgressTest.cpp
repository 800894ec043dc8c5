// The progress bar and its Cancel button (and Esc) while imports, loads and saves run: the
// window is kept painting, a cancelled import or load leaves no half layer, a cancelled save
// leaves the old file as it was, and the window is usable again afterwards.
#include <QApplication>
#include <QFile>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTest>

#include "MainFixture.h"
#include "editor/ProgressPanel.h"

namespace {

class ProgressTest : public MainWindowTest {
protected:
    // Runs Cancel the first time a pending event is delivered while When holds.
    void CancelWhen(std::function<bool()> When, bool WithEsc) {
        Cancels = 0;
        Ui.OnProcessMessages = [this, When, WithEsc] {
            TProgressPanel& P = *Main->Progress;
            if (!P.Active() || P.CancelRequested() || !When()) return;
            EXPECT_TRUE(P.isVisible());
            EXPECT_FALSE(Main->menuBar()->isEnabled()) << "nothing may change under the work";
            ++Cancels;
            if (WithEsc) {
                QApplication::setActiveWindow(Main.get());
                QTest::keyClick(Main.get(), Qt::Key_Escape);
            }
            else
                QTest::mouseClick(P.btnCancel, Qt::LeftButton);
        };
    }
    // A layer of Count squares of half a degree, in rows of 300.
    TOrvexLayer* ManySquares(const std::string& Name, int Count) {
        TOrvexLayer* L = View().AddLayer(Name);
        auto* P = TOrvexPresenter::CreateNamed<TPolygonPresenter>(L, 0, Name + "Style");
        for (int I = 0; I < Count; ++I) {
            const double W = -170 + I % 300, S = -60 + I / 300;
            const TPoint3D Ring[] = {Deg(W, S), Deg(W + 0.5, S), Deg(W + 0.5, S + 0.5), Deg(W, S + 0.5), Deg(W, S)};
            TGeoDataObject::Create(L, P, I + 1, Name + std::to_string(I + 1))->SetPoints(Ring, 5);
        }
        Main->AfterLoad(false);
        return L;
    }
    // A layer file of Count small squares.
    std::string BigLayerFile(int Count) {
        TOrvexLayer* L = ManySquares("Big", Count);
        const std::string Path = Folder() + "Big.lyr";
        L->SaveToFile(Path);
        Main->SetCurrentLayer(nullptr);
        L->Delete();
        Main->AfterLoad(false);
        return Path;
    }
    static QByteArray Contents(const std::string& Path) {
        QFile F(ToQString(Path));
        return F.open(QIODevice::ReadOnly) ? F.readAll() : QByteArray();
    }
    int Cancels = 0;
};

TEST_F(ProgressTest, CancelLeavesNoHalfLayerAndTheOldFileIntact) {
    const std::string Countries = SourceFile("tests/data/naturalearth/naturalearth_lowres.shp");
    const std::string Cities = SourceFile("tests/data/naturalearth/naturalearth_cities.shp");
    struct TRow {
        const char* Name;
        bool WithEsc;
        int LayersLeft;
        std::function<void()> Run;
    };
    const TRow Rows[] = {
        {"import of the second of two shapefiles, half way", false, 1,
         [&, this] {
             CancelWhen([this] { return View().LayerCount() == 2 && View().GetLayer(1)->ObjectCount() >= 100; },
                          false);
             Answer(Main->OpenDialog, {Cities, Countries});
             Main->Import(TfrmMain::ikSHP);
         }},
        {"import with Esc before the first layer", true, 0,
         [&, this] {
             CancelWhen([] { return true; }, true);
             Answer(Main->OpenDialog, {Countries});
             Main->Import(TfrmMain::ikSHP);
         }},
        {"layer file load after its first thousand objects", false, 0,
         [this] {
             const std::string Path = BigLayerFile(2500);
             CancelWhen([this] { return View().LayerCount() == 1 && View().GetLayer(0)->ObjectCount() >= 1000; },
                          false);
             Answer(Main->OpenDialog, {Path});
             Main->LoadLayers();
         }},
        {"save over an older file", true, 1,
         [this] {
             const std::string Path = BigLayerFile(10);
             const QByteArray Old = Contents(Path);
             ManySquares("New", 1500);
             Main->SetCurrentLayer(View().GetLayer(0));
             CancelWhen([] { return true; }, true);
             Answer(Main->SaveDialog, {Path});
             Main->SaveLayer();
             EXPECT_EQ(Contents(Path), Old);
         }},
    };
    for (const TRow& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        Open();
        Ui.Messages.clear();
        const int32_t Pumped = Ui.ProcessMessagesCount;
        Row.Run();
        Ui.OnProcessMessages = nullptr;
        Paint();
        EXPECT_EQ(Cancels, 1);
        EXPECT_GT(Ui.ProcessMessagesCount, Pumped) << "the window is kept painting";
        EXPECT_EQ(View().LayerCount(), Row.LayersLeft);
        for (const TOrvexLayer* L : View().Layers()) EXPECT_NE(L->Name(), "naturalearth_lowres");
        EXPECT_TRUE(Messages().empty()) << "cancelling is no failure";
        EXPECT_FALSE(Main->Progress->isVisible());
        EXPECT_TRUE(Main->menuBar()->isEnabled());
        EXPECT_TRUE(Main->centralWidget()->isEnabled());
    }
}

TEST_F(ProgressTest, WorkThatIsNotCancelledRunsToTheEnd) {
    int Reports = 0;
    Ui.OnProcessMessages = [&] {
        if (!Main->Progress->Active()) return;
        ++Reports;
        EXPECT_TRUE(Main->Progress->Bar->isVisible());
        EXPECT_TRUE(Main->Progress->btnCancel->isEnabled());
    };
    Answer(Main->OpenDialog, {SourceFile("tests/data/naturalearth/naturalearth_cities.shp")});
    Main->Import(TfrmMain::ikSHP);
    EXPECT_GT(Reports, 2);
    ASSERT_EQ(View().LayerCount(), 1);
    EXPECT_GT(View().GetLayer(0)->ObjectCount(), 200);
    EXPECT_FALSE(Main->Progress->isVisible());
    // Esc outside any work cancels nothing to come.
    QApplication::setActiveWindow(Main.get());
    QTest::keyClick(Main.get(), Qt::Key_Escape);
    Main->Progress->Cancel();
    EXPECT_FALSE(Main->Progress->CancelRequested());
}

}  // namespace

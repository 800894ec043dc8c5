// The progress bar and its Cancel button (and Esc) while imports, loads, saves, prints and long
// renders run: the window is kept painting, a cancelled import or load leaves no half layer, a
// cancelled save or print leaves the old file as it was, and the window is usable again
// afterwards.
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>
#include <QTest>

#include "MainFixture.h"
#include "editor/ProgressPanel.h"
#include "platform/Text.h"

namespace {

class ProgressTest : public MainWindowTest {
protected:
    // Runs Cancel the first time a pending event is delivered while When holds.
    void CancelWhen(std::function<bool()> When, bool WithEsc) {
        Cancels = 0;
        Ui.OnProcessMessages = [this, When, WithEsc] {
            TProgressPanel& P = *Progress();
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
        EXPECT_FALSE(Progress()->isVisible());
        EXPECT_TRUE(Main->menuBar()->isEnabled());
        EXPECT_TRUE(Main->centralWidget()->isEnabled());
    }
}

TEST_F(ProgressTest, WorkThatIsNotCancelledRunsToTheEnd) {
    int Reports = 0;
    Ui.OnProcessMessages = [&] {
        if (!Progress()->Active()) return;
        ++Reports;
        EXPECT_TRUE(Progress()->Bar->isVisible());
        EXPECT_TRUE(Progress()->btnCancel->isEnabled());
    };
    Answer(Main->OpenDialog, {SourceFile("tests/data/naturalearth/naturalearth_cities.shp")});
    Main->Import(TfrmMain::ikSHP);
    EXPECT_GT(Reports, 2);
    ASSERT_EQ(View().LayerCount(), 1);
    EXPECT_GT(View().GetLayer(0)->ObjectCount(), 200);
    EXPECT_FALSE(Progress()->isVisible());
    // Esc outside any work cancels nothing to come.
    QApplication::setActiveWindow(Main.get());
    QTest::keyClick(Main.get(), Qt::Key_Escape);
    Progress()->Cancel();
    EXPECT_FALSE(Progress()->CancelRequested());
}

TEST_F(ProgressTest, LongRendersAndPrintsShowTheBarAndCancel) {
    ManySquares("Big", 3000);
    View().RenderProgressDelay = 0;
    const QString Pdf = ToQString(Folder() + "map.pdf");
    Ui.OnDialog = [&](QDialog& D) {
        auto* Dialog = dynamic_cast<QPrintDialog*>(&D);
        ASSERT_NE(Dialog, nullptr);
        Dialog->printer()->setOutputFormat(QPrinter::PdfFormat);
        Dialog->printer()->setOutputFileName(Pdf);
    };
    enum { None, Button, Esc };
    const struct {
        const char* Name;
        bool Print;
        int Cancel;
    } Rows[] = {{"render", false, None}, {"render, Cancel", false, Button}, {"render, Esc", false, Esc},
                {"print", true, None},   {"print, Cancel", true, Button},   {"print, Esc", true, Esc}};
    for (const auto& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        QFile::remove(Pdf);
        int Steps = 0;
        Cancels = 0;
        Ui.OnProcessMessages = [&] {
            TProgressPanel& P = *Progress();
            if (!P.Rendering()) return;
            ++Steps;
            EXPECT_TRUE(P.isVisible());
            if (Row.Cancel == None || P.CancelRequested()) return;
            ++Cancels;
            if (Row.Cancel == Esc) {
                QApplication::setActiveWindow(Main.get());
                QTest::keyClick(Main.get(), Qt::Key_Escape);
            } else {
                QTest::mouseClick(P.btnCancel, Qt::LeftButton);
            }
            EXPECT_TRUE(P.CancelRequested());
        };
        if (Row.Print) {
            Act("actPrint")->trigger();
            EXPECT_EQ(QFileInfo::exists(Pdf), Row.Cancel == None) << "a cancelled print writes no file";
        } else {
            // A paint of the window hands the long render over to the event loop.
            View().RequestRender();
            View().repaint();
            EXPECT_TRUE(QTest::qWaitFor([&] { return Steps > 0 && !Progress()->Rendering(); }));
        }
        Ui.OnProcessMessages = nullptr;
        EXPECT_GT(Steps, 0);
        EXPECT_EQ(Cancels, Row.Cancel == None ? 0 : 1);
        EXPECT_EQ(View().RenderAborted(), Row.Cancel != None);
        EXPECT_TRUE(Messages().empty()) << "cancelling is no failure";
        EXPECT_FALSE(Progress()->isVisible());
        EXPECT_FALSE(Progress()->CancelRequested());
    }
}

TEST_F(ProgressTest, WhatComesDuringARenderCannotFreeWhatIsDrawn) {
    Main->SetCurrentLayer(ManySquares("Big", 3000));
    View().RenderProgressDelay = 0;
    const TViewRec Before = View().GetViewRec();
    bool Tried = false;
    Ui.OnProcessMessages = [&] {
        if (!Progress()->Rendering() || Tried) return;
        Tried = true;
        QMetaObject::invokeMethod(Main.get(), [this] { Act("actDeleteLayer")->trigger(); }, Qt::QueuedConnection);
        QMetaObject::invokeMethod(Main.get(), [this] { Act("actNew")->trigger(); }, Qt::QueuedConnection);
        QMetaObject::invokeMethod(Main.get(), [this] { Child<QToolButton>("btnZoomIn")->click(); }, Qt::QueuedConnection);
        EXPECT_FALSE(Main->close()) << "the window stays while the map is drawn";
        QTest::mouseClick(&View(), Qt::RightButton, {}, QPoint(60, 60));
        QTest::keyClick(&View(), Qt::Key_Left);
        QCoreApplication::processEvents();
        EXPECT_EQ(View().LayerCount(), 1);
    };
    View().RequestRender();
    View().Render();
    Ui.OnProcessMessages = nullptr;
    ASSERT_TRUE(Tried);
    QCoreApplication::processEvents();
    EXPECT_EQ(View().LayerCount(), 1) << "refused commands do not run later";
    EXPECT_TRUE(Main->isVisible());
    EXPECT_EQ(View().GetViewRec().ScaleFactor, Before.ScaleFactor);
    EXPECT_EQ(View().GetViewRec().XRotation, Before.XRotation);
    EXPECT_TRUE(Messages().empty());
    // Afterwards the commands work again.
    Act("actDeleteLayer")->trigger();
    EXPECT_EQ(View().LayerCount(), 0);
}


// One path for every command: started while a render holds commands, from its action (what its
// menu item, context-menu item or button triggers) or from its keys, none runs, then or later;
// otherwise each runs once, from its action as from its keys.
TEST_F(ProgressTest, EveryCommandIsHeldDuringARenderAndRunsOnceOtherwise) {
    std::vector<std::string> Ran;
    auto Watch = [&] { Main->Commands().OnRun = [&](const std::string& Name) { Ran.push_back(Name); }; };
    auto Keys = [&](const std::string& Name) {
        QApplication::setActiveWindow(Main.get());
        for (const QKeySequence& Key : Act(Name)->shortcuts()) QTest::keySequence(Main.get(), Key);
    };
    const std::vector<std::string> Names = Main->Commands().Names();
    ASSERT_GT(Names.size(), 40u);

    // Held: everything at once, from inside a long render.
    Main->SetCurrentLayer(ManySquares("Big", 3000));
    View().RenderProgressDelay = 0;
    const std::string Projection = View().ProjectionModel()->ClassName();
    Watch();
    bool Tried = false;
    Ui.OnProcessMessages = [&] {
        if (!Progress()->Rendering() || Tried) return;
        Tried = true;
        for (const std::string& Name : Names) {
            Act(Name)->trigger();
            Keys(Name);
        }
        emit Child<QComboBox>("cbProjection")->activated(3);
        QCoreApplication::processEvents();
    };
    View().RequestRender();
    View().Render();
    Ui.OnProcessMessages = nullptr;
    ASSERT_TRUE(Tried);
    QCoreApplication::processEvents();
    EXPECT_EQ(Ran, std::vector<std::string>{});
    EXPECT_EQ(View().LayerCount(), 1);
    EXPECT_EQ(View().ProjectionModel()->ClassName(), Projection);
    EXPECT_TRUE(Messages().empty());

    // Otherwise: each in a window where it can run, with every dialog it opens cancelled.
    for (const std::string& Name : Names) {
        for (const bool FromKeys : {false, true}) {
            SCOPED_TRACE(Name + (FromKeys ? " from its keys" : " from its action"));
            if (FromKeys && Act(Name)->shortcuts().isEmpty()) continue;
            Open();
            Ui.DefaultAnswer = false;
            Answer(Main->OpenDialog, {});
            Answer(Main->SaveDialog, {});
            AddSquares("A", 1, -60);
            TOrvexLayer* B = AddSquares("B", 2, 0);
            AddSquares("C", 1, 60);
            // A history to undo and to redo.
            Act("actNewLayer")->trigger();
            Act("actNewLayer")->trigger();
            Act("actUndo")->trigger();
            Main->SetCurrentLayer(B);
            Main->SetCurrentObject(B->GetObject(0));
            PresentersGrid()->SetCursorRow(Main->PresenterRow(Main->CurrentPresenter()));
            Inspector()->InspectRoot(B->GetObject(0));
            ASSERT_TRUE(Main->Commands().IsEnabled(Name));
            Watch();
            Ran.clear();
            if (FromKeys)
                Keys(Name);
            else
                Act(Name)->trigger();
            QCoreApplication::processEvents();
            EXPECT_EQ(Ran, std::vector<std::string>{Name});
        }
    }
}

}  // namespace

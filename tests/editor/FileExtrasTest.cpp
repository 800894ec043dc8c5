// Files dropped on the main window, the recent files of the File menu, the Find dialog and
// the map's keys inside the editor, all driven through the widgets.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <fstream>

#include "MainFixture.h"
#include "editor/FindDialog.h"
#include "editor/RecentFiles.h"
#include "platform/Text.h"
#include "projections/PrjRegistry.h"

namespace {

class FileExtrasTest : public MainWindowTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        // A folder not there yet: the first save makes it.
        TRecentFiles::SetStorageFile(Folder() + "config/recent.ini");
        Open();
    }
    void TearDown() override {
        MainWindowTest::TearDown();
        TRecentFiles::SetStorageFile("");
    }
    std::string Write(const std::string& Name, const std::string& Bytes) const {
        std::ofstream(Folder() + Name, std::ios::binary) << Bytes;
        return Folder() + Name;
    }
    // Drags Files over the window and drops them; true when the window took the drag.
    bool Drop(const std::vector<std::string>& Files) {
        QMimeData Data;
        QList<QUrl> Urls;
        for (const std::string& F : Files) Urls << QUrl::fromLocalFile(ToQString(F));
        Data.setUrls(Urls);
        const QPoint At = Main->View().geometry().center();
        QDragEnterEvent Enter(At, Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Main.get(), &Enter);
        if (!Enter.isAccepted()) return false;
        QDropEvent DropIt(QPointF(At), Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Main.get(), &DropIt);
        QCoreApplication::processEvents();
        return true;
    }
    std::vector<std::string> LayerNames() const {
        std::vector<std::string> Names;
        for (const TOrvexLayer* L : View().Layers()) Names.push_back(L->Name());
        return Names;
    }
    // The recent-files menu as the user sees it: texts, "-" for the separator.
    std::vector<std::string> RecentMenu() const {
        std::vector<std::string> Texts;
        Child<QMenu>("mnuRecent")->aboutToShow();
        for (QAction* A : Child<QMenu>("mnuRecent")->actions()) Texts.push_back(A->isSeparator() ? "-" : FromQString(A->text()));
        return Texts;
    }
    void ChooseRecent(const std::string& Text) {
        for (QAction* A : Child<QMenu>("mnuRecent")->actions())
            if (FromQString(A->text()) == Text) {
                A->trigger();
                QCoreApplication::processEvents();
                return;
            }
        ADD_FAILURE() << "no recent file " << Text;
    }
};

TEST_F(FileExtrasTest, DroppedFilesOpenAsTheirMenuCommandsWouldInOrder) {
    AddSquares("A", 1, 0);
    AddSquares("B", 2, 20);
    Act("actSaveAllLayers")->trigger();
    Answer(Main->SaveDialog, {Folder() + "work.prf"});
    Act("actSaveProfile")->trigger();
    QFile::copy(ToQString(Folder() + "B.lyr"), ToQString(Folder() + "C.LYR"));
    const std::string Dot = "Version 300\nCoordSys Earth Projection 1, 104\nData\nPoint 1 2\n";
    Write("dot.MIF", Dot);
    Write("two.mif", Dot + "Point 3 4\n");
    Write("readme.txt", "text");
    Act("actNew")->trigger();
    Ui.Messages.clear();

    EXPECT_FALSE(Drop({Folder() + "readme.txt"})) << "nothing the editor opens";
    ASSERT_TRUE(Drop({Folder() + "work.prf", Folder() + "C.LYR", Folder() + "dot.MIF", Folder() + "readme.txt",
                      Folder() + "two.mif", Folder() + "gone.shp"}));
    EXPECT_EQ(LayerNames(), (std::vector<std::string>{"A", "B", "C", "dot", "two"}));
    EXPECT_EQ(View().ProfileName(), Folder() + "work.prf");
    EXPECT_EQ(View().GetLayer(2)->ObjectCount(), 2);
    EXPECT_EQ(View().GetLayer(4)->ObjectCount(), 2);
    EXPECT_EQ(Main->CurrentLayer(), View().GetLayer(4)) << "the last import is current, as after the menu's";
    EXPECT_EQ(LayersGrid()->RowCount(), View().LayerCount() + 1);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].find("readme.txt"), std::string::npos) << Messages()[0];
    EXPECT_NE(Messages()[0].find("gone.shp"), std::string::npos) << Messages()[0];
    EXPECT_EQ(Main->windowTitle(), RestCaption());
}

TEST_F(FileExtrasTest, RecentFilesKeepTheLastTenAcrossRunsAndDropMissingOnes) {
    EXPECT_FALSE(Child<QMenu>("mnuRecent")->isEnabled()) << "nothing opened yet";
    EXPECT_TRUE(Child<QMenu>("mnuFile")->actions().contains(Child<QMenu>("mnuRecent")->menuAction()));
    for (int I = 1; I <= 12; ++I) AddSquares("L" + std::to_string(I), 1, I);
    Act("actSaveAllLayers")->trigger();
    Answer(Main->SaveDialog, {Folder() + "a&b.prf"});
    Act("actSaveProfile")->trigger();

    // The next run offers them, newest first, ten layer files and then the profile.
    Open();
    std::vector<std::string> Expected;
    for (int I = 12; I >= 3; --I) Expected.push_back(Folder() + "L" + std::to_string(I) + ".lyr");
    Expected.push_back("-");
    Expected.push_back(Folder() + "a&&b.prf");
    EXPECT_EQ(RecentMenu(), Expected);

    // A file that is gone leaves the list with a message, and nothing is loaded.
    QFile::remove(ToQString(Folder() + "L12.lyr"));
    ChooseRecent(Folder() + "L12.lyr");
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].find("L12.lyr"), std::string::npos);
    EXPECT_EQ(View().LayerCount(), 0);
    EXPECT_EQ(RecentMenu().front(), Folder() + "L11.lyr");
    EXPECT_EQ(RecentMenu().size(), 11u);

    // Choosing one loads it as "Load Layer" would and brings it to the front.
    ChooseRecent(Folder() + "L5.lyr");
    ASSERT_EQ(LayerNames(), std::vector<std::string>{"L5"});
    EXPECT_EQ(Main->CurrentLayer(), View().GetLayer(0));
    EXPECT_EQ(RecentMenu().front(), Folder() + "L5.lyr");
    ChooseRecent(Folder() + "a&&b.prf");
    EXPECT_EQ(View().ProfileName(), Folder() + "a&b.prf");
    EXPECT_EQ(View().LayerCount(), 11) << "L12 is gone";
    EXPECT_EQ(TRecentFiles::Files(TRecentFiles::rfProfile).front(), Folder() + "a&b.prf");
}

TEST_F(FileExtrasTest, FindListsTitlesInAnyCaseAndCentresAndSelectsTheChosenOne) {
    TOrvexLayer* Clinics = View().AddLayer("Clinics");
    auto Square = [&](TOrvexLayer* L, double W, double S, double Size, const char* Title) {
        const double E = W + Size > 180 ? W + Size - 360 : W + Size;
        const TPoint3D Ring[] = {Deg(W, S), Deg(E, S), Deg(E, S + Size), Deg(W, S + Size), Deg(W, S)};
        TGeoDataObject* O = TGeoDataObject::Create(L, nullptr, 0, Title);
        O->SetPoints(Ring, 5);
        return O;
    };
    Square(Clinics, 10, 40, 2, "Ärzte Süd");
    TOrvexObject* North = Square(Clinics, 20, 50, 2, "ÄRZTEHAUS NORD");
    Square(Clinics, 30, 10, 2, "Hospital");
    // A square across the date line, from 175 degrees east to 175 west.
    TOrvexObject* Fiji = Square(Clinics, 175, -20, 10, "Fiji ärzte");
    TOrvexLayer* Hidden = View().AddLayer("Hidden");
    Square(Hidden, 0, 0, 1, "ärzte unseen");
    Hidden->SetVisible(false);
    Main->AfterLoad(false);

    Main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Main.get()));
    for (const int Projection : {0, 1}) {
        SCOPED_TRACE(Projection);
        Main->ChooseProjection(Projection);
        std::vector<std::pair<QString, QString>> Rows;
        std::vector<TOrvexObject*> Chosen;
        Ui.OnDialog = [&](QDialog& D) {
            auto* F = dynamic_cast<TfrmFind*>(&D);
            ASSERT_NE(F, nullptr);
            // The dialog leaves the map's centre, where the found object goes, in sight.
            EXPECT_GT(F->frameGeometry().left(), View().mapToGlobal(View().rect().center()).x())
                << "dialog at " << F->frameGeometry().x() << "," << F->frameGeometry().y();
            QTest::keyClicks(F->edText, "ÄrZtE");
            for (int R = 0; R < F->lvMatches->topLevelItemCount(); ++R)
                Rows.emplace_back(F->lvMatches->topLevelItem(R)->text(0), F->lvMatches->topLevelItem(R)->text(1));
            // The second row by its Show button, then the date-line square by a double click.
            F->lvMatches->setCurrentItem(F->lvMatches->topLevelItem(1));
            QTest::mouseClick(F->btnShow, Qt::LeftButton);
            Chosen.push_back(View().SelectedObject());
            emit F->lvMatches->itemActivated(F->lvMatches->topLevelItem(2), 0);
            Chosen.push_back(View().SelectedObject());
            QTest::mouseClick(F->btnClose, Qt::LeftButton);
        };
        QTest::keyClick(Main.get(), Qt::Key_F, Qt::ControlModifier);
        EXPECT_EQ(Rows, (std::vector<std::pair<QString, QString>>{
                            {"Clinics", "Ärzte Süd"}, {"Clinics", "ÄRZTEHAUS NORD"}, {"Clinics", "Fiji ärzte"}}));
        EXPECT_EQ(Chosen, (std::vector<TOrvexObject*>{North, Fiji}));
        // The view's selection list and the objects' flags agree; the grids follow.
        EXPECT_EQ(View().Selection(), std::vector<TOrvexObject*>{Fiji});
        EXPECT_FALSE(North->Selected());
        EXPECT_TRUE(Fiji->Selected());
        EXPECT_EQ(Main->CurrentObject(), Fiji);
        EXPECT_EQ(Main->windowTitle(), RestCaption());
        // Centred on 180 degrees, not on the far side of the world.
        TPoint3D Centre;
        const TOrvexCanvas& C = *View().Canvas();
        ASSERT_TRUE(View().PixelToLL(C.Width() / 2, C.Height() / 2, Centre));
        const int64_t FromDateLine = std::llabs(std::llabs(int64_t(Centre.X)) - OrvexUnits::Deg180);
        EXPECT_LT(FromDateLine, OrvexUnits::PerDegree / 2) << Centre.X;
        EXPECT_NEAR(Centre.Y / double(OrvexUnits::PerDegree), -15, 0.5);
        Paint();
    }
}

TEST_F(FileExtrasTest, TheMapTakesTheKeysWhenClicked) {
    AddSquares("A", 2, 0);
    Main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Main.get()));
    LayersGrid()->setFocus();
    ClickMap(5, 5);
    EXPECT_EQ(QApplication::focusWidget(), &Main->View());
    const int32_t Before = View().YRotation();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    EXPECT_NE(View().YRotation(), Before);
    EXPECT_EQ(QApplication::focusWidget(), &Main->View()) << "and keeps them";
}

// The print dialog offers to fit the map to the page (on at first) and to print the background
// colour (off at first); the choices made are offered again at the next print, as the recent
// files are.
TEST_F(FileExtrasTest, ThePrintDialogRemembersTheMapsChoices) {
    const std::string Pdf = Folder() + "map.pdf";
    std::vector<std::pair<bool, bool>> Offered;
    std::pair<bool, bool> Choose{false, true};
    Ui.OnDialog = [&](QDialog& D) {
        auto* Dialog = dynamic_cast<QPrintDialog*>(&D);
        ASSERT_NE(Dialog, nullptr);
        auto* Fit = Dialog->findChild<QCheckBox*>("chkFitToPage");
        auto* Background = Dialog->findChild<QCheckBox*>("chkPrintBackground");
        ASSERT_TRUE(Fit && Background);
        EXPECT_EQ(Fit->text(), "Fit the map to the page");
        EXPECT_EQ(Background->text(), "Print the background colour");
        Offered.emplace_back(Fit->isChecked(), Background->isChecked());
        Fit->setChecked(Choose.first);
        Background->setChecked(Choose.second);
        Dialog->printer()->setOutputFormat(QPrinter::PdfFormat);
        Dialog->printer()->setOutputFileName(ToQString(Pdf));
    };
    Act("actPrint")->trigger();
    Choose = {true, false};
    Ui.Answers = {false};
    Act("actPrint")->trigger();
    Act("actPrint")->trigger();
    Ui.OnDialog = nullptr;
    const std::vector<std::pair<bool, bool>> Expected{{true, false}, {false, true}, {false, true}};
    EXPECT_EQ(Offered, Expected) << "a cancelled dialog changes nothing";
    EXPECT_GT(QFileInfo(ToQString(Pdf)).size(), 0);
    EXPECT_TRUE(Messages().empty());
}

}  // namespace

// File names outside ASCII on every route between the editor's widgets and the files: the
// command line, the toolkit's file dialogs behind Load, Save, Import, Profile, Texture and
// Export Image, dropped files, the recent files and the inspector's file-name properties.
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QImage>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QUrl>
#include <filesystem>
#include <fstream>

#include "MainFixture.h"
#include "editor/CommandLine.h"
#include "editor/Inspector.h"
#include "editor/RecentFiles.h"
#include "model/BitmapObject.h"
#include "platform/IniFile.h"
#include "platform/Text.h"

namespace {

namespace fs = std::filesystem;

// Each name serves once as a folder and once as a file. "zoë" and "Zürich" fit Latin-1, which
// the text conversion makes of them; the others do not.
const struct {
    const char* Folder;
    const char* File;
} Names[] = {{"zoë", "Zürich"}, {"Zürich", "zoë"}, {"Москва", "東京"}, {"東京", "Москва"}};

class FileNamesTest : public MainWindowTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        TRecentFiles::SetStorageFile(Folder() + "recent.ini");
        Open();
    }
    void TearDown() override {
        Ui.OnDialog = nullptr;
        MainWindowTest::TearDown();
        TRecentFiles::SetStorageFile("");
    }
    // The toolkit's file dialog runs; Path is picked in it as the user sees it. Other dialogs
    // are answered with OK.
    void Choose(const std::string& Path) {
        Ui.OnDialog = [Path](QDialog& D) {
            if (auto* F = dynamic_cast<QFileDialog*>(&D)) F->selectFile(QString::fromUtf8(Path));
        };
    }
    void NewMap() {
        Act("actNew")->trigger();
        Ui.Messages.clear();
    }
    // The file of the only layer, or a note of how many there are.
    std::string OnlyLayerFile() const {
        if (View().LayerCount() != 1) return std::to_string(View().LayerCount()) + " layers";
        const TOrvexLayer* L = View().GetLayer(0);
        return L->Directory() + L->Filename();
    }
    void Drop(const std::string& File) {
        QMimeData Data;
        Data.setUrls({QUrl::fromLocalFile(QString::fromUtf8(File))});
        const QPoint At = Main->View().geometry().center();
        QDragEnterEvent Enter(At, Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Main.get(), &Enter);
        ASSERT_TRUE(Enter.isAccepted());
        QDropEvent DropIt(QPointF(At), Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Main.get(), &DropIt);
        QCoreApplication::processEvents();
    }
};

TEST_F(FileNamesTest, EveryRouteReachesTheFileItNames) {
    for (const auto& R : Names) {
        SCOPED_TRACE(R.Folder + std::string("/") + R.File);
        const std::string Sub = Folder() + R.Folder + "/";
        ASSERT_TRUE(fs::create_directory(Sub));
        const std::string Layer = Sub + R.File + ".lyr";
        Main->ProgramFolder = Sub;
        NewMap();

        // Save Layer proposes the layer's name, typed text as the editor keeps it, as the file.
        TOrvexLayer* Made = AddSquares(FromQString(QString::fromUtf8(R.File)), 2, 0);
        Main->SetCurrentLayer(Made);
        QStringList Proposed;
        Ui.OnDialog = [&](QDialog& D) {
            if (auto* F = dynamic_cast<QFileDialog*>(&D)) Proposed = F->selectedFiles();
        };
        Act("actSaveLayer")->trigger();
        EXPECT_EQ(Proposed, QStringList{QString::fromUtf8(Layer)});
        EXPECT_TRUE(fs::is_regular_file(Layer));
        const std::vector<std::string> Recent = TRecentFiles::Files(TRecentFiles::rfLayer);
        ASSERT_FALSE(Recent.empty());
        EXPECT_EQ(Recent.front(), Layer);

        // Save Profile, then Load Layer, Load Profile, the recent file and a drop bring it back.
        const std::string Profile = Sub + R.File + ".prf";
        Choose(Profile);
        Act("actSaveProfile")->trigger();
        EXPECT_EQ(TIniFile(Profile).ReadString("LayerList", "0", ""), R.File + std::string(".lyr"));
        const struct {
            const char* Route;
            std::function<void()> Open;
        } Loads[] = {
            {"Load Layer",
             [&] {
                 Choose(Layer);
                 Act("actLoadLayer")->trigger();
             }},
            {"Load Profile",
             [&] {
                 Choose(Profile);
                 Act("actLoadProfile")->trigger();
             }},
            {"recent file", [&] {
                 Child<QMenu>("mnuRecent")->aboutToShow();
                 for (QAction* A : Child<QMenu>("mnuRecent")->actions())
                     if (A->text() == QString::fromUtf8(Layer)) A->trigger();
                 QCoreApplication::processEvents();
             }},
            {"drop", [&] { Drop(Layer); }},
        };
        for (const auto& L : Loads) {
            SCOPED_TRACE(L.Route);
            NewMap();
            L.Open();
            EXPECT_EQ(OnlyLayerFile(), Layer);
            EXPECT_EQ(Messages(), std::vector<std::string>{});
        }
        EXPECT_EQ(View().ProfileName(), std::string()) << "the drop cleared the profile";

        // The command line names the layer after its file, in the file name's bytes.
        const char* Argv[] = {"orvex-editor", Layer.c_str()};
        Open(ParseCommandLine(2, Argv).LayerFile);
        EXPECT_EQ(OnlyLayerFile(), Layer);
        ASSERT_EQ(View().LayerCount(), 1);
        EXPECT_EQ(View().GetLayer(0)->Name(), R.File + std::string(".lyr"));
        Main->ProgramFolder = Sub;

        // Import: the layer is named after the file.
        const std::string Mif = Sub + R.File + ".mif";
        std::ofstream(Mif, std::ios::binary) << "Version 300\nCoordSys Earth Projection 1, 104\nData\nPoint 1 2\n";
        NewMap();
        Choose(Mif);
        Act("actImportMIF")->trigger();
        ASSERT_EQ(View().LayerCount(), 1);
        EXPECT_EQ(View().GetLayer(0)->Name(), R.File);
        EXPECT_EQ(View().GetLayer(0)->ObjectCount(), 1);

        // Texture and Export Image.
        const std::string Texture = Sub + R.File + ".bmp";
        fs::copy_file(SourceFile("data/earth.bmp"), Texture);
        Choose(Texture);
        Act("actTexture")->trigger();
        EXPECT_EQ(View().TextureFilename(), Texture);
        const std::string Picture = Sub + R.File + ".png";
        Choose(Picture);
        Act("actExportImage")->trigger();
        EXPECT_FALSE(QImage(QString::fromUtf8(Picture)).isNull());
        EXPECT_EQ(Messages(), std::vector<std::string>{});

        // The inspector shows a bitmap object's file as text and takes it typed.
        Ui.OnDialog = nullptr;
        auto* Bitmap = TBitmapObject::Create(View().GetLayer(0));
        Inspector()->InspectRoot(Bitmap);
        Main->SetActivePage(TfrmMain::pgInspector);
        TInplaceGrid* Grid = Inspector()->PropertyGrid;
        const TOrvexProperties& Props = *Inspector()->Properties();
        int32_t Row = 0;
        while (Row < Props.Count() && Props.PropName(Row) != "BMPFilename") ++Row;
        ASSERT_LT(Row, Props.Count());
        Grid->SetCursor(1, Row);
        QLineEdit* Line = Grid->EditorLine();
        ASSERT_NE(Line, nullptr);
        Line->selectAll();
        // Typed as an input method commits text that has no key of its own.
        QInputMethodEvent Typed;
        Typed.setCommitString(QString::fromUtf8(Texture));
        QApplication::sendEvent(Line, &Typed);
        EXPECT_EQ(Bitmap->BMPFilename(), Texture);
        EXPECT_EQ(Grid->CellText(1, Row), QString::fromUtf8(Texture));
    }
}

}  // namespace

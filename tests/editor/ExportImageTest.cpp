// "Export Image..." in the File menu and "Antialiasing" in the View menu, driven through
// the menus and the size dialog as a user would.
#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QTest>

#include "MainFixture.h"
#include "editor/ExportImage.h"
#include "platform/IniFile.h"
#include "platform/Text.h"

namespace {

// Types Text over what the field holds.
void Type(QLineEdit* Edit, const char* Text) {
    Edit->selectAll();
    QTest::keyClicks(Edit, Text);
}

TEST_F(MainWindowTest, ExportImageWritesTheChosenSizeAndRefusesImpossibleOnes) {
    AddSquares("A", 3, 0);
    Paint();
    const int32_t VW = View().Canvas()->Width(), VH = View().Canvas()->Height();
    ASSERT_GT(VW, 100);
    const struct {
        const char* File;
        const char* Width;   // typed, or null to keep the proposed size
        const char* Height;  // typed after unticking the aspect, or null to keep it
        int Expected;        // expected width; 0 refused
    } Cases[] = {
        {"view.png", nullptr, nullptr, VW},  {"wide.png", "600", nullptr, 600}, {"free.jpg", "300", "100", 300},
        {"vector.pdf", "800", nullptr, 800}, {"typed", "50", nullptr, 50},     {"zero.png", "0", nullptr, 0},
        {"neg.png", "-5", nullptr, 0},       {"huge.png", "20000", nullptr, 0}, {"word.png", "abc", nullptr, 0},
        {"tall.png", "100", "99999999999999999999", 0},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.File);
        Ui.Messages.clear();
        const std::string Path = Folder() + C.File;
        Answer(Main->SaveDialog, {Path});
        bool StayedOpen = false;
        Ui.OnDialog = [&](QDialog& D) {
            auto* Dialog = dynamic_cast<TfrmExportImage*>(&D);
            ASSERT_NE(Dialog, nullptr);
            EXPECT_EQ(Dialog->edWidth->text(), QString::number(VW));
            EXPECT_EQ(Dialog->edHeight->text(), QString::number(VH));
            EXPECT_TRUE(Dialog->cbKeepAspect->isChecked());
            Dialog->show();
            if (C.Height) Dialog->cbKeepAspect->setChecked(false);
            if (C.Width) Type(Dialog->edWidth, C.Width);
            if (C.Height) Type(Dialog->edHeight, C.Height);
            if (C.Expected == 0) {
                // OK with an impossible size keeps the dialog open.
                Dialog->accept();
                StayedOpen = Dialog->isVisible();
            }
            Dialog->hide();
        };
        Act("actExportImage")->trigger();
        Ui.OnDialog = nullptr;
        const std::string Written = std::string(C.File) == "typed" ? Path + ".png" : Path;
        if (C.Expected == 0) {
            EXPECT_TRUE(StayedOpen);
            ASSERT_EQ(Messages().size(), 2u) << "once by the dialog, once when answered anyway";
            EXPECT_EQ(Ui.Messages[1].Caption, "Export Image");
            EXPECT_FALSE(QFileInfo::exists(ToQString(Written)));
            continue;
        }
        EXPECT_TRUE(Messages().empty()) << Messages()[0];
        const int Height = C.Height ? std::atoi(C.Height) : int(std::nearbyint(double(C.Expected) * VH / VW));
        if (std::string(C.File).ends_with(".pdf")) {
            QFile F(ToQString(Written));
            ASSERT_TRUE(F.open(QIODevice::ReadOnly));
            EXPECT_TRUE(F.read(5).startsWith("%PDF"));
            continue;
        }
        const QImage I(ToQString(Written));
        EXPECT_EQ(I.size(), QSize(C.Expected, Height));
    }
    EXPECT_EQ(View().Canvas()->Width(), VW) << "the view keeps its size";
}

TEST_F(MainWindowTest, AntialiasingIsAViewMenuSwitchKeptInProfiles) {
    AddSquares("A", 1, 0);
    EXPECT_FALSE(Act("actAntialiasing")->isChecked());
    Act("actAntialiasing")->trigger();
    EXPECT_TRUE(View().Antialiasing());

    const std::string Prf = Folder() + "smooth.prf";
    Answer(Main->SaveDialog, {Prf});
    Act("actSaveProfile")->trigger();
    EXPECT_TRUE(TIniFile(Prf).ReadBool("Global Settings", "Antialiasing", false));

    Act("actAntialiasing")->trigger();
    EXPECT_FALSE(View().Antialiasing());
    Act("actNew")->trigger();
    Answer(Main->OpenDialog, {Prf});
    Act("actLoadProfile")->trigger();
    EXPECT_TRUE(View().Antialiasing());
    EXPECT_TRUE(Act("actAntialiasing")->isChecked()) << "the menu follows the profile";
}

}  // namespace

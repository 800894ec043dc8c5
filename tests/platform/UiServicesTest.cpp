// The UI services: the scripted one that tests and the command-line tool use, the Qt one's
// cursor, and that nothing outside platform/ reaches past them to Qt.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <stdexcept>

#include "platform/Hourglass.h"
#include "platform/UiServices.h"

namespace {

TEST(UiServicesTest, ScriptedServicesRecordAndAnswerInOrder) {
    TScriptedUiServices Scripted;
    TUiServicesScope Scope(Scripted);
    ASSERT_EQ(&UiServices(), &Scripted);

    Scripted.Answers = {false, true};
    Scripted.DefaultAnswer = false;
    UiServices().ShowMessage("TOrvex3 Component", "File x.lyr not found", mkWarning);
    EXPECT_FALSE(UiServices().ConfirmWarning("Delete", "Delete the layer?"));
    QDialog Dialog;
    int Filled = 0;
    Scripted.OnDialog = [&](QDialog& D) {
        EXPECT_EQ(&D, &Dialog);
        ++Filled;
    };
    EXPECT_TRUE(UiServices().ExecDialog(Dialog));
    EXPECT_EQ(Dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(UiServices().ConfirmWarning("Delete", "Again?")) << "answers used up: the default";
    EXPECT_FALSE(UiServices().ExecDialog(Dialog));
    EXPECT_EQ(Dialog.result(), QDialog::Rejected);
    EXPECT_EQ(Filled, 2);
    EXPECT_EQ(Scripted.DialogCount, 2);

    ASSERT_EQ(Scripted.Messages.size(), 3u);
    EXPECT_EQ(Scripted.Messages[0].Caption, "TOrvex3 Component");
    EXPECT_EQ(Scripted.Messages[0].Kind, mkWarning);
    EXPECT_FALSE(Scripted.Messages[0].Warning) << "no Cancel button";
    EXPECT_EQ(Scripted.Messages[1].Text, "Delete the layer?");
    EXPECT_TRUE(Scripted.Messages[2].Warning);

    int Played = 0;
    Scripted.OnProcessMessages = [&] { ++Played; };
    UiServices().ProcessMessages();
    EXPECT_EQ(Played, 1);
    EXPECT_EQ(Scripted.ProcessMessagesCount, 1);
}

TEST(UiServicesTest, ScopesNestAndRestore) {
    TUiServices* Outer = &UiServices();
    {
        TScriptedUiServices A, B;
        TUiServicesScope ScopeA(A);
        {
            TUiServicesScope ScopeB(B);
            EXPECT_EQ(&UiServices(), &B);
        }
        EXPECT_EQ(&UiServices(), &A);
    }
    EXPECT_EQ(&UiServices(), Outer);
}

TEST(UiServicesTest, TheHourglassIsBalancedAlsoWhenWorkFails) {
    TScriptedUiServices Scripted;
    TUiServicesScope Scope(Scripted);
    try {
        THourglass Outer;
        THourglass Inner;
        EXPECT_EQ(Scripted.HourglassDepth, 2);
        Inner.Release();
        Inner.Release();
        EXPECT_EQ(Scripted.HourglassDepth, 1) << "a second release does nothing";
        throw std::runtime_error("failed half-way");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(Scripted.HourglassDepth, 0);
    THourglass Hidden(false);
    EXPECT_EQ(Scripted.HourglassDepth, 0);

    // The Qt services show the wait cursor until the last nested end.
    TQtUiServices Qt;
    Qt.BeginHourglass();
    Qt.BeginHourglass();
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    Qt.EndHourglass();
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    Qt.EndHourglass();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    Qt.EndHourglass();  // one end too many is harmless
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Message boxes, cursors and event processing outside platform/ would block a test or the
// command-line tool, or run handlers in the middle of a render.
TEST(UiServicesTest, NoCodeOutsidePlatformCallsQtDirectly) {
    const QRegularExpression Direct(R"(\bQMessageBox\b|processEvents\s*\(|setOverrideCursor\s*\()");
    int Files = 0;
    for (const char* Folder : {"foundation", "model", "styling", "projections", "view", "importers", "editor", "cli"}) {
        QDirIterator It(QString(ORVEX_SOURCE_DIR) + "/" + Folder, {"*.cpp", "*.h"}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (It.hasNext()) {
            QFile F(It.next());
            ASSERT_TRUE(F.open(QIODevice::ReadOnly)) << F.fileName().toStdString();
            ++Files;
            const QString Text = QString::fromUtf8(F.readAll());
            const QRegularExpressionMatch M = Direct.match(Text);
            EXPECT_FALSE(M.hasMatch()) << F.fileName().toStdString() << ": " << M.captured().toStdString();
        }
    }
    EXPECT_GT(Files, 20);
}

}  // namespace

// Test entry point: every suite runs inside a QApplication on the offscreen platform,
// because the view is a widget, with scripted UI services.
#include <QApplication>
#include <QStandardPaths>
#include <cstdlib>
#include <gtest/gtest.h>

#include "platform/UiServices.h"

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
#ifdef ORVEX_TEST_SCALE_FACTOR
    // The suite of a screen whose device pixels are finer than its window pixels.
    setenv("QT_SCALE_FACTOR", ORVEX_TEST_SCALE_FACTOR, 1);
#endif
    QApplication app(argc, argv);
    // Settings the programs keep (recent files) go to a test folder, never the user's.
    QStandardPaths::setTestModeEnabled(true);
    // No test may wait on a real message box: the default answers OK and records what was shown.
    TScriptedUiServices Scripted;
    TUiServicesScope Services(Scripted);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

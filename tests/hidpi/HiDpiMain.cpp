// Test entry point of the suite that runs on a screen of device pixel ratio 2: the scale
// factor is read when the application starts, so these tests need a program of their own.
#include <QApplication>
#include <QStandardPaths>
#include <cstdlib>
#include <gtest/gtest.h>

#include "platform/UiServices.h"

int main(int argc, char** argv) {
    setenv("QT_SCALE_FACTOR", "2", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    TScriptedUiServices Scripted;
    TUiServicesScope Services(Scripted);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

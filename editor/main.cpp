// The editor program: the main window, with the layer file or profile named as the first
// argument (or, without one, the bundled world map) loaded at start. The hidden option
// --screenshot OUT.png saves a picture of the window once it is shown, then quits; --tour
// FOLDER saves the pictures of the tour (editor/Tour.h) there, then quits.
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "editor/CommandLine.h"
#include "editor/RecentFiles.h"
#include "editor/Tour.h"
#include "editor/uMain.h"
#include "platform/Heap.h"
#include "platform/Text.h"
#include "platform/UiServices.h"

namespace {
// Time for the window to be mapped and laid out at its final size before pictures are taken.
constexpr int kPictureDelayMs = 700;
}  // namespace

int main(int argc, char** argv) {
    UseLargeHeapPages();
    QApplication App(argc, argv);
    const TCommandLine Args = ParseCommandLine(argc, argv);
    const bool Pictures = !Args.Screenshot.empty() || !Args.Tour.empty();
    // A picture taken without anyone watching must not wait on a message box.
    TScriptedUiServices Scripted;
    std::unique_ptr<TUiServicesScope> Silent;
    if (Pictures) Silent = std::make_unique<TUiServicesScope>(Scripted);
    // The tour starts from the first run's window, and leaves the user's settings alone.
    QTemporaryDir Settings;
    if (!Args.Tour.empty() && Settings.isValid())
        TRecentFiles::SetStorageFile(PathFromQString(Settings.path()) + "/remembered.ini");

    TfrmMain Main(EditorStartFile(Args));
    Main.show();
    int Status = 0;
    if (!Args.Screenshot.empty())
        QTimer::singleShot(kPictureDelayMs, &Main, [&] {
            if (!SaveWidgetPicture(Main, Args.Screenshot)) Status = 1;
            Main.close();
        });
    else if (!Args.Tour.empty())
        QTimer::singleShot(kPictureDelayMs, &Main, [&] {
            for (const std::string& Failure : RunTour(Main, Args.Tour)) {
                std::fprintf(stderr, "tour: %s\n", Failure.c_str());
                Status = 1;
            }
            Main.close();
        });
    const int Result = App.exec();
    return Status ? Status : Result;
}

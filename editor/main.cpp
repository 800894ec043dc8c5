// The editor program: the main window, with the layer file or profile named as the first
// argument (or, without one, the bundled world map) loaded at start. The hidden option
// --screenshot OUT.png saves a picture of the window once it is shown, then quits.
#include <QApplication>
#include <QTimer>

#include "editor/CommandLine.h"
#include "editor/uMain.h"
#include "platform/AtomicFile.h"
#include "platform/Heap.h"
#include "platform/Text.h"
#include "platform/UiServices.h"

int main(int argc, char** argv) {
    UseLargeHeapPages();
    QApplication App(argc, argv);
    const TCommandLine Args = ParseCommandLine(argc, argv);
    // A picture taken without anyone watching must not wait on a message box.
    TScriptedUiServices Scripted;
    std::unique_ptr<TUiServicesScope> Silent;
    if (!Args.Screenshot.empty()) Silent = std::make_unique<TUiServicesScope>(Scripted);

    TfrmMain Main(EditorStartFile(Args));
    Main.show();
    int Status = 0;
    if (!Args.Screenshot.empty())
        QTimer::singleShot(700, &Main, [&] {
            // Written whole or not at all, as every file the programs write.
            TAtomicFile File(Args.Screenshot, TAtomicFile::TWriter::ByName);
            if (File.Failed() || !Main.grab().save(PathToQString(File.TempPath()), "PNG") || !File.Commit()) Status = 1;
            Main.close();
        });
    const int Result = App.exec();
    return Status ? Status : Result;
}

// The editor program: the main window, with the layer file or profile named as the first
// argument (or, without one, the bundled world map) loaded at start. The hidden option
// --screenshot OUT.png saves a picture of the window once it is shown, then quits.
#include <QApplication>
#include <QTimer>

#include "editor/CommandLine.h"
#include "editor/uMain.h"
#include "platform/DeviceContext.h"
#include "platform/Heap.h"
#include "platform/UiServices.h"

int main(int argc, char** argv) {
    UseLargeHeapPages();
    QApplication App(argc, argv);
    QStringList Args = App.arguments();
    Args.removeFirst();
    QString Screenshot;
    if (const qsizetype At = Args.indexOf("--screenshot"); At >= 0 && At + 1 < Args.size()) {
        Screenshot = Args[At + 1];
        Args.remove(At, 2);
    }
    // A picture taken without anyone watching must not wait on a message box.
    TScriptedUiServices Scripted;
    std::unique_ptr<TUiServicesScope> Silent;
    if (!Screenshot.isEmpty()) Silent = std::make_unique<TUiServicesScope>(Scripted);

    TfrmMain Main(EditorStartFile(Args));
    Main.show();
    int Status = 0;
    if (!Screenshot.isEmpty())
        QTimer::singleShot(700, &Main, [&] {
            if (!Main.grab().save(Screenshot)) Status = 1;
            Main.close();
        });
    const int Result = App.exec();
    return Status ? Status : Result;
}

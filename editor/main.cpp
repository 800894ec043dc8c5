// The editor program: for now a window with the map view and the inspector beside it; a
// layer file named as the first argument is loaded at start.
#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>

#include "editor/EditorErrors.h"
#include "editor/Inspector.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "platform/DeviceContext.h"
#include "view/Orvex3.h"

int main(int argc, char** argv) {
    QApplication App(argc, argv);
    QSplitter Window(Qt::Horizontal);
    Window.setWindowTitle(kEditorCaption);
    Window.resize(801, 601);
    if (const QScreen* Screen = QGuiApplication::primaryScreen())
        Window.move(Screen->availableGeometry().center() - Window.rect().center());

    auto* View = new TOrvex3(&Window);
    auto* Inspector = new TInspector(View, &Window);
    Window.addWidget(View);
    Window.addWidget(Inspector);
    Window.setStretchFactor(0, 1);
    Window.setSizes({481, 320});

    View->OnSelected = [Inspector](TOrvex3*, TOrvexObject* Obj) { Inspector->SetSelectedObject(Obj); };
    View->OnProgress = [&Window](TOrvex3*, int, const std::string& Text, bool&) {
        Window.setWindowTitle(ToQString(Text));
    };
    QObject::connect(Inspector, &TInspector::PropertyChanged, View, [View] { View->RequestRender(); });

    const QStringList Args = App.arguments();
    if (Args.size() > 1) {
        const QFileInfo File(Args[1]);
        RunGuarded([&] {
            if (!File.isFile()) throw std::runtime_error("Cannot open " + FromQString(Args[1]));
            TOrvexLayer* Layer = View->AddLayer(FromQString(File.fileName()));
            Layer->SetFilename(FromQString(Args[1]));
        });
        Window.setWindowTitle(kEditorCaption);
    }
    Inspector->InspectRoot(View->LayerCount() > 0 ? static_cast<TPersistent*>(View->GetLayer(0))
                                                  : View->ProjectionModel());
    View->SetAltitude(0);

    Window.show();
    const int Result = App.exec();
    // The view goes first; nothing it frees may reach the inspector any more.
    View->OnSelected = nullptr;
    View->OnProgress = nullptr;
    Inspector->InspectRoot(nullptr);
    return Result;
}

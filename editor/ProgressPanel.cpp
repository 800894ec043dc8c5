#include "editor/ProgressPanel.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>

#include "editor/EditorErrors.h"
#include "platform/UiServices.h"

TProgressPanel::TProgressPanel(QMainWindow& Main) : QWidget(Main.statusBar()), FMain(Main) {
    setObjectName("ProgressPanel");
    auto* Layout = new QHBoxLayout(this);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->setSpacing(4);
    Bar = new QProgressBar(this);
    Bar->setObjectName("ProgressBar");
    // The work reports counts, not shares of a whole: the bar shows that it goes on.
    Bar->setRange(0, 0);
    Bar->setFixedWidth(140);
    Bar->setMaximumHeight(14);
    btnCancel = new QPushButton("Cancel", this);
    btnCancel->setObjectName("btnCancel");
    btnCancel->setMaximumHeight(18);
    Layout->addWidget(Bar);
    Layout->addWidget(btnCancel);
    Main.statusBar()->addPermanentWidget(this);
    hide();
    connect(btnCancel, &QPushButton::clicked, this, [this] { Cancel(); });
    EscShortcut = new QShortcut(QKeySequence(Qt::Key_Escape), &Main);
    EscShortcut->setEnabled(false);
    connect(EscShortcut, &QShortcut::activated, this, [this] { Cancel(); });
}

void TProgressPanel::Begin() {
    if (FDepth++ > 0) return;
    FCancelled = false;
    btnCancel->setEnabled(true);
    FMenusEnabled = FMain.menuBar()->isEnabled();
    FCentralEnabled = FMain.centralWidget() ? FMain.centralWidget()->isEnabled() : true;
    FMain.menuBar()->setEnabled(false);
    if (FMain.centralWidget()) FMain.centralWidget()->setEnabled(false);
    EscShortcut->setEnabled(true);
    show();
}

void TProgressPanel::End() {
    if (FDepth == 0 || --FDepth > 0) return;
    hide();
    EscShortcut->setEnabled(false);
    FMain.menuBar()->setEnabled(FMenusEnabled);
    if (FMain.centralWidget()) FMain.centralWidget()->setEnabled(FCentralEnabled);
    FCancelled = false;
}

void TProgressPanel::Cancel() {
    if (!Active()) return;
    FCancelled = true;
    btnCancel->setEnabled(false);
}

bool TProgressPanel::Step() {
    if (!Active()) return false;
    UiServices().ProcessMessages();
    return FCancelled;
}

bool TProgressPanel::RenderStep(bool Finished) {
    if (Finished) {
        EndRender();
        return false;
    }
    if (FRenderDepth == 0) BeginRender();
    UiServices().ProcessMessages();
    return FCancelled;
}

void TProgressPanel::BeginRender() {
    ++FRenderDepth;
    HoldCommands(true);
    qApp->installEventFilter(this);
    // Within other work the bar is already up and a Cancel stops both.
    if (FDepth++ > 0) return;
    FCancelled = false;
    btnCancel->setEnabled(true);
    EscShortcut->setEnabled(true);
    show();
}

void TProgressPanel::EndRender() {
    if (FRenderDepth == 0) return;
    --FRenderDepth;
    HoldCommands(false);
    if (FRenderDepth == 0) qApp->removeEventFilter(this);
    if (FDepth == 0 || --FDepth > 0) return;
    hide();
    EscShortcut->setEnabled(false);
    FCancelled = false;
}

bool TProgressPanel::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() == QEvent::Shortcut) return Watched != EscShortcut;
    // Input reaches the windows first and then their widgets: it is sorted out there.
    if (!Watched->isWidgetType()) return false;
    switch (Event->type()) {
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(Event)->key() == Qt::Key_Escape) Cancel();
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            return Watched != btnCancel;
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
            return true;
        case QEvent::Close:
            // The window and the view go on until the render is over.
            Event->ignore();
            return true;
        default:
            return false;
    }
}

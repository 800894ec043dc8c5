#include "editor/ProgressPanel.h"

#include <QHBoxLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>

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

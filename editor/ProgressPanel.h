#pragma once
// The progress bar with its Cancel button in the main window's status bar, shown while an
// import, a load or a save runs. Esc cancels as the button does. Each progress report of the
// work lets the window repaint and take the user's clicks, and answers whether to abort.

#include <QWidget>

class QMainWindow;
class QProgressBar;
class QPushButton;
class QShortcut;

class TProgressPanel : public QWidget {
public:
    // Sits in Main's status bar, hidden until work begins.
    explicit TProgressPanel(QMainWindow& Main);

    // Work nests: the panel shows from the first Begin to the last End. The window's menus
    // and side panel are disabled meanwhile, so that nothing changes under the work.
    void Begin();
    void End();
    bool Active() const { return FDepth > 0; }
    void Cancel();
    bool CancelRequested() const { return FCancelled; }
    // One progress report: pending events are delivered; true asks the work to stop.
    bool Step();

    QProgressBar* Bar;
    QPushButton* btnCancel;
    QShortcut* EscShortcut;

private:
    QMainWindow& FMain;
    int FDepth = 0;
    bool FCancelled = false;
    // What was enabled before the work, to give back.
    bool FMenusEnabled = true;
    bool FCentralEnabled = true;
};

// Begin and End for the life of a scope.
class TProgressScope {
public:
    explicit TProgressScope(TProgressPanel& Panel) : FPanel(Panel) { FPanel.Begin(); }
    ~TProgressScope() { FPanel.End(); }
    TProgressScope(const TProgressScope&) = delete;
    TProgressScope& operator=(const TProgressScope&) = delete;

private:
    TProgressPanel& FPanel;
};

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
    // A report of a long render or print of the map (Finished: its last one). The bar shows
    // from the first report to the last. Meanwhile the window keeps painting, but user input
    // reaches only Cancel and Esc, the window does not close, and commands are refused: the
    // render must not lose what it is drawing.
    bool RenderStep(bool Finished);
    bool Rendering() const { return FRenderDepth > 0; }

    QProgressBar* Bar;
    QPushButton* btnCancel;
    QShortcut* EscShortcut;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void BeginRender();
    void EndRender();

    QMainWindow& FMain;
    int FDepth = 0;
    int FRenderDepth = 0;
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

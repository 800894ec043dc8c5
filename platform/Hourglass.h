#pragma once
// Shows the hourglass cursor until Release or the end of the object's life, when there is
// a GUI to show it in (not in the command-line tool or without a QApplication).

#include <QApplication>

class THourglass {
public:
    explicit THourglass(bool Show = true)
        : FShown(Show && qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
        if (FShown) QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~THourglass() { Release(); }
    void Release() {
        if (FShown) QApplication::restoreOverrideCursor();
        FShown = false;
    }
    THourglass(const THourglass&) = delete;
    THourglass& operator=(const THourglass&) = delete;

private:
    bool FShown;
};

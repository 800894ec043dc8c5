#pragma once
// Shows the hourglass cursor for the lifetime of the object, when there is a GUI to show
// it in (not in the command-line tool or without a QApplication).

#include <QApplication>

class THourglass {
public:
    THourglass() : FShown(qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
        if (FShown) QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~THourglass() {
        if (FShown) QApplication::restoreOverrideCursor();
    }
    THourglass(const THourglass&) = delete;
    THourglass& operator=(const THourglass&) = delete;

private:
    bool FShown;
};

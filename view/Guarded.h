#pragma once
// An event handler must not throw into Qt: a failure is shown as the application's default
// handler would show it, and the program goes on.

#include <QCoreApplication>
#include <exception>

#include "platform/Text.h"
#include "platform/UiServices.h"

template <class F>
void Guarded(F&& Handle) {
    try {
        Handle();
    } catch (const std::exception& E) {
        UiServices().ShowMessage(FromQString(QCoreApplication::applicationName()), E.what(), mkError);
    }
}

// What the fuzz targets share: one application and view for the whole run, a folder of this
// process's own for the files the readers read by name, and the readers' entries.
#pragma once

#include <QApplication>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "Readers.h"
#include "platform/UiServices.h"
#include "view/Orvex3.h"

inline TOrvex3& FuzzView() {
    static int Argc = 1;
    static char Name[] = "fuzz";
    static char* Argv[] = {Name, nullptr};
    static QApplication* App = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return new QApplication(Argc, Argv);
    }();
    static TScriptedUiServices* Ui = [] {
        auto* U = new TScriptedUiServices;
        SetUiServices(U);
        return U;
    }();
    static TOrvex3* View = new TOrvex3;
    (void)App;
    Ui->Messages.clear();
    View->Clear();
    return *View;
}

// Looking for companion files does not walk a crowded temporary folder.
inline const std::string& FuzzFolder() {
    static const std::string Dir = [] {
        std::string D = "/tmp/orvex-fuzz-" + std::to_string(::getpid());
        ::mkdir(D.c_str(), 0700);
        return D;
    }();
    return Dir;
}

// What the importer fuzz targets share: one application and view for the whole run, and the
// input written to a file, since the importers read files by name.
#pragma once

#include <QApplication>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

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

// The input written to a file named by Extension in a folder of this process's own, so that
// looking for companion files does not walk a crowded temporary folder.
inline std::string FuzzFile(const char* Extension, const uint8_t* Data, size_t Size) {
    static const std::string Dir = [] {
        std::string D = "/tmp/orvex-fuzz-" + std::to_string(::getpid());
        ::mkdir(D.c_str(), 0700);
        return D + "/input";
    }();
    const std::string Path = Dir + Extension;
    std::ofstream(Path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(Data),
                                                                  static_cast<std::streamsize>(Size));
    return Path;
}

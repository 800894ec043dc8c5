#include "cli/OrvexCli.h"

#include <iostream>

#include "platform/UiServices.h"

int main(int argc, char** argv) {
    // No window ever opens: questions get their default answer (OK), as tests get theirs.
    TScriptedUiServices Scripted;
    TUiServicesScope Services(Scripted);
    return RunOrvexCli(argc, argv, std::cout, std::cerr);
}

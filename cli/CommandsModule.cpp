// The entry of the commands module (see Front.h).
#include <iostream>

#include "cli/CliSupport.h"
#include "cli/OrvexCli.h"
#include "platform/UiServices.h"

extern "C" __attribute__((visibility("default"))) int OrvexCommandsMain(int argc, char** argv) {
    // No window ever opens: questions get their default answer (OK), as tests get theirs.
    TScriptedUiServices Scripted;
    TUiServicesScope Services(Scripted);
    orvex::cli::EndProcessAfterCommand();
    return RunOrvexCli(argc, argv, std::cout, std::cerr);
}

#include "cli/CliSupport.h"
#include "cli/OrvexCli.h"

#include <iostream>

#include "platform/Heap.h"
#include "platform/UiServices.h"

int main(int argc, char** argv) {
    UseLargeHeapPages();
    // No window ever opens: questions get their default answer (OK), as tests get theirs.
    TScriptedUiServices Scripted;
    TUiServicesScope Services(Scripted);
    orvex::cli::EndProcessAfterCommand();
    return RunOrvexCli(argc, argv, std::cout, std::cerr);
}

#include "cli/CliSupport.h"

#include <cstdlib>

namespace orvex::cli {

std::unique_ptr<QApplication> EnsureApplication() {
    if (QCoreApplication::instance()) return nullptr;
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int Argc = 1;
    static char Name[] = "orvex";
    static char* Argv[] = {Name, nullptr};
    return std::make_unique<QApplication>(Argc, Argv);
}

}  // namespace orvex::cli

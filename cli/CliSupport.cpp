#include "cli/CliSupport.h"

#include <cstdlib>
#include <ostream>

#include "cli/OrvexCli.h"
#include "platform/DeviceContext.h"
#include "projections/PrjRegistry.h"

namespace orvex::cli {

std::unique_ptr<QApplication> EnsureApplication() {
    if (QCoreApplication::instance()) return nullptr;
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int Argc = 1;
    static char Name[] = "orvex";
    static char* Argv[] = {Name, nullptr};
    return std::make_unique<QApplication>(Argc, Argv);
}

std::string Utf8Text(const std::string& Bytes) { return ToQString(Bytes).toUtf8().toStdString(); }

std::string SynopsisText(const Command& C) {
    std::string S(C.Synopsis);
    constexpr std::string_view Placeholder = "{projections}";
    for (size_t At; (At = S.find(Placeholder)) != std::string::npos;)
        S.replace(At, Placeholder.size(), ProjectionKeys("|"));
    return S;
}

int UsageError(std::ostream& err, std::string_view CommandName, const std::string& Message) {
    err << "orvex " << CommandName << ": " << Utf8Text(Message) << '\n';
    for (const Command& C : Commands())
        if (C.Name == CommandName) err << "Usage: orvex " << C.Name << ' ' << SynopsisText(C) << '\n';
    err << "Try 'orvex --help' for more information.\n";
    return ExitUsage;
}

int Failure(std::ostream& err, std::string_view CommandName, const std::string& Message) {
    err << "orvex " << CommandName << ": " << Utf8Text(Message) << '\n';
    return ExitFailure;
}

}  // namespace orvex::cli

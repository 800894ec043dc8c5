#include "cli/CliSupport.h"

#include <cstdio>
#include <cstdlib>
#include <ostream>

#include "cli/OrvexCli.h"
#include "platform/Text.h"
#include "projections/PrjRegistry.h"

namespace orvex::cli {

namespace {

QtMessageHandler QtHandler = nullptr;
bool EndProcess = false;

// Qt asks for the runtime folder while it starts only to see whether it runs inside a sandbox,
// and warns when the session has none (a plain shell, a service, a container). Nothing of the
// tool's uses that folder.
void DropRuntimeFolderWarning(QtMsgType Type, const QMessageLogContext& Context, const QString& Text) {
    if (Type == QtWarningMsg && Text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) return;
    QtHandler(Type, Context, Text);
}

}  // namespace

std::unique_ptr<QApplication> EnsureApplication(TAppUse Use) {
    if (QCoreApplication::instance()) return nullptr;
    static int Argc = 1;
    static char Name[] = "orvex";
    static char* Argv[] = {Name, nullptr, nullptr, nullptr};
    if (Use == TAppUse::Data) {
        // No screen, no fonts: Qt's minimal platform, which reads no font configuration.
        static char Option[] = "-platform", Minimal[] = "minimal";
        Argv[1] = Option;
        Argv[2] = Minimal;
        Argc = 3;
    } else if (!std::getenv("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QtHandler = qInstallMessageHandler(DropRuntimeFolderWarning);
    auto App = std::make_unique<QApplication>(Argc, Argv);
    qInstallMessageHandler(QtHandler);
    return App;
}

void EndProcessAfterCommand() { EndProcess = true; }

int EndCommand(int Status, std::ostream& Out, std::ostream& Err) {
    if (!EndProcess) return Status;
    Out.flush();
    Err.flush();
    std::fflush(nullptr);
    // Whatever the command wrote is closed and renamed into place already; nothing else of the
    // process outlives it.
    std::_Exit(Status);
}

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

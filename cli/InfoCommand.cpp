#include "cli/InfoCommand.h"

#include <QApplication>
#include <memory>
#include <ostream>

#include "cli/CliSupport.h"
#include "cli/ImportCommand.h"
#include "cli/LayerSummary.h"
#include "cli/OrvexCli.h"
#include "view/Orvex3.h"

namespace orvex::cli {

int RunInfo(std::span<char* const> args, std::ostream& out, std::ostream& err) {
    const TInfoArgs A = ParseInfoArgs(args);
    if (!A.Error.empty()) return UsageError(err, "info", A.Error);
    if (!IsImportable(A.Path)) {
        try {
            PrintLayerFile(A, out);
        } catch (const std::exception& Ex) {
            return Failure(err, "info", Ex.what());
        }
        return ExitOk;
    }
    // Anything else is imported first, into a view.
    const std::unique_ptr<QApplication> App = EnsureApplication(TAppUse::Data);
    TOrvex3 View;
    TOrvexLayer* Layer = nullptr;
    try {
        Layer = LoadOneLayer(View, A.Path);
    } catch (const std::exception& Ex) {
        return Failure(err, "info", Ex.what());
    }
    if (A.Json)
        PrintLayerJson(*Layer, A.WithPoints, out);
    else
        PrintLayerSummary(*Layer, out);
    return ExitOk;
}

}  // namespace orvex::cli

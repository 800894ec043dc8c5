#include "cli/ExportCommand.h"

#include <exception>
#include <ostream>
#include <string>
#include <vector>

#include "cli/CliSupport.h"
#include "cli/ImportCommand.h"
#include "cli/OrvexCli.h"
#include "importers/GdalIO.h"
#include "model/OrvexLayer.h"
#include "view/Orvex3.h"

namespace orvex::cli {

int RunExport(std::span<char* const> Args, std::ostream& out, std::ostream& err) {
    (void)out;
    std::vector<std::string> Paths;
    for (const char* A : Args) {
        const std::string Arg = A;
        if (Arg.size() > 1 && Arg.front() == '-') return UsageError(err, "export", "unknown option '" + Arg + "'");
        Paths.push_back(Arg);
    }
    if (Paths.size() != 2) return UsageError(err, "export", "expected LAYERFILE and OUT.gpkg or OUT.geojson");
    if (!GdalAvailable()) return Failure(err, "export", GdalUnavailableText());
    if (!CanExportGDAL(Paths[1]))
        return UsageError(err, "export", "cannot export to '" + Paths[1] + "': the name must end in .gpkg or .geojson");

    const std::unique_ptr<QApplication> App = EnsureApplication(TAppUse::Data);
    TOrvex3 View;
    try {
        const TOrvexLayer* Layer = LoadOneLayer(View, Paths[0]);
        const int64_t Written = ExportGDAL(*Layer, Paths[1]);
        err << "Exported " << Written << " objects to " << Paths[1] << '\n';
    } catch (const std::exception& E) {
        return Failure(err, "export", E.what());
    }
    return ExitOk;
}

}  // namespace orvex::cli

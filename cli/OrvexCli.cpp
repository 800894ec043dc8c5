#include "cli/OrvexCli.h"

#include <array>
#include <ostream>

#include "cli/CliSupport.h"
#include "cli/ExportCommand.h"
#include "cli/ImportCommand.h"
#include "cli/InfoCommand.h"
#include "cli/RenderCommand.h"

namespace orvex::cli {
namespace {

// To add a subcommand, write its function and set Run here.
constexpr std::array kCommands{
    Command{"info", "[--json] [--no-points] LAYERFILE", "print a summary of a layer file", RunInfo},
    Command{"render",
            "[--size WxH] [--projection {projections}] [--center LON,LAT] [--altitude N]\n"
            "         [--rotation X,Y,Z] [--grid none|behind|front] [--transparent] [--color #RRGGBB]\n"
            "         [--orvex-color #RRGGBB] [--texture FILE.bmp|default] [--antialias]\n"
            "         [--timing] [--frames N --motion pan|zoom|rotate]\n"
            "         -o OUTPUT.png|OUTPUT.jpg|OUTPUT.pdf [PROFILE.prf] [LAYERFILE...]\n"
            "      --texture default is the bundled earth picture; --antialias draws lines and edges smoothly;\n"
            "      --timing prints the load, draw and write times, --frames N draws N more frames after\n"
            "      the first, each after one pan, zoom or rotation, and prints their median and maximum",
            "render layer files, or the layers a profile lists, to PNG, JPEG or PDF", RunRender},
    Command{"project", "--projection {projections} [--size WxH] [--altitude N] [--rotation X,Y,Z] [--inverse] X Y ...",
            "print the pixel of each longitude/latitude pair in degrees (or, with --inverse, the reverse)",
            RunProject},
    Command{"import",
            "[--title-column NAME|INDEX] [--divisor N] [--encoding NAME] [--no-arcs] [--no-text]\n"
            "         [--accept-unknown-projection] [--keep-coordinates] [--layer NAME]\n"
            "         -o OUT INPUT.shp|INPUT.mif|INPUT.e00|INPUT.gpkg|INPUT.geojson...\n"
            "      projected shapefiles, MIF and E00 files are converted to longitude/latitude unless\n"
            "      --keep-coordinates",
            "import shapefiles, MIF/MID or E00 files (and, with GDAL, GeoPackage, GeoJSON, KML...): OUT.lyr for one\n"
            "      input of one layer, else OUT/NAME.lyr each and OUT/NAME-LAYER.lyr for each layer of a file of\n"
            "      several; --layer NAME takes only that layer",
            RunImport},
    Command{"export", "LAYERFILE OUT.gpkg|OUT.geojson",
            "write a layer's objects, with their IDs and titles, to GeoPackage or GeoJSON (needs GDAL)", RunExport},
};

const Command* FindCommand(std::string_view name) {
    for (const Command& c : kCommands)
        if (c.Name == name) return &c;
    return nullptr;
}

void PrintHint(std::ostream& err) { err << "Try 'orvex --help' for more information.\n"; }

}  // namespace

std::span<const Command> Commands() { return kCommands; }

void PrintUsage(std::ostream& out) {
    out << "Usage: orvex COMMAND [ARGS...]\n"
           "       orvex --help | --version\n"
           "\n"
           "Orvex works with vector map data: layer files, shapefiles, MapInfo MIF/MID and ArcInfo E00.\n"
           "\n"
           "Commands:\n";
    for (const Command& c : kCommands) {
        out << "  " << c.Name << ' ' << SynopsisText(c) << "\n      " << c.Summary;
        if (!c.Run) out << " (not available in this build)";
        out << '\n';
    }
    out << "\n"
           "Options:\n"
           "  -h, --help     show this help and exit\n"
           "  --version      show the version and exit\n";
}

}  // namespace orvex::cli

int RunOrvexCli(int argc, char** argv, std::ostream& out, std::ostream& err) {
    using namespace orvex::cli;
    if (argc < 2) {
        PrintUsage(out);
        return ExitOk;
    }
    const std::string_view first = argv[1];
    if (first == "--help" || first == "-h") {
        PrintUsage(out);
        return ExitOk;
    }
    if (first == "--version") {
        out << "orvex " << ORVEX_VERSION << '\n';
        return ExitOk;
    }
    if (first.starts_with('-')) {
        err << "orvex: unknown option '" << first << "'\n";
        PrintHint(err);
        return ExitUsage;
    }
    const Command* command = FindCommand(first);
    if (!command) {
        err << "orvex: unknown command '" << first << "'\n";
        PrintHint(err);
        return ExitUsage;
    }
    if (!command->Run) {
        err << "orvex: '" << command->Name << "' is not available in this build\n";
        return ExitUsage;
    }
    if (argc > 2 && (std::string_view(argv[2]) == "--help" || std::string_view(argv[2]) == "-h")) {
        out << "Usage: orvex " << command->Name << ' ' << SynopsisText(*command) << "\n  " << command->Summary << '\n';
        return ExitOk;
    }
    return command->Run(std::span<char* const>(argv + 2, static_cast<size_t>(argc - 2)), out, err);
}

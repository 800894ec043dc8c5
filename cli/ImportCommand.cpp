#include "cli/ImportCommand.h"

#include <filesystem>
#include <map>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "cli/CliSupport.h"
#include "cli/OrvexCli.h"
#include "importers/E002Orvex.h"
#include "importers/GdalIO.h"
#include "importers/ImportSupport.h"
#include "importers/Mif2Orvex.h"
#include "importers/SHP2Orvex.h"
#include "importers/TextEncoding.h"
#include "importers/TfrmE00Import.h"
#include "importers/TfrmSHPImport.h"
#include "model/OrvexLayer.h"
#include "platform/UiServices.h"
#include "view/Orvex3.h"

namespace orvex::cli {
namespace {

constexpr std::string_view kUsage =
    "Usage: orvex import [--title-column NAME|INDEX] [--divisor N] [--encoding NAME] [--no-arcs] [--no-text]\n"
    "                    [--accept-unknown-projection] [--keep-coordinates] -o OUT INPUT...\n";

struct TUsageError {
    std::string Message;
};

std::string NotImportable(const std::string& Path) {
    return "cannot import '" + Path + "': the input must be a .shp, .mif or .e00 file" +
           (GdalAvailable() ? " or a vector format GDAL reads (.gpkg, .geojson, .kml, .fgb...)"
                            : " (" + std::string(kNoGdalText) + " for other formats)");
}

// What a user would pick in the import dialogs.
struct TChoices {
    TSHPImportPresetOptions Shp;
    TE00ImportPresetOptions E00;
    bool KeepCoordinates = false;
};

// Imports Path into View and returns the new layer. Progress texts go to Log when there is one;
// a failure (also one only reported, such as a refused projection) raises with its message.
// Converted, when given, receives "coordinates converted from ..." if the importer said so.
TOrvexLayer* ImportInto(TOrvex3& View, const std::string& Path, TChoices& Choices, std::ostream* Log,
                        std::string* Converted = nullptr) {
    std::vector<std::string> Failures;
    View.OnProgress = [&](TOrvex3*, int MsgType, const std::string& Text, bool&) {
        if (MsgType == -1)
            Failures.push_back(Text);
        else if (Log && !Text.empty())
            *Log << Text << '\n';
        if (const size_t At = Text.find(kConvertedFrom); Converted && MsgType == 0 && At != std::string::npos)
            *Converted = Text.substr(At);
    };
    struct TDetach {
        TOrvex3& View;
        ~TDetach() { View.OnProgress = nullptr; }
    } Detach{View};
    // Messages the importers would show in a box (a missing attribute table) are printed.
    TScriptedUiServices Ui;
    Ui.DefaultAnswer = false;
    auto PrintMessages = [&] {
        if (Log)
            for (const auto& M : Ui.Messages) *Log << "warning: " << M.Text << '\n';
    };
    const int32_t LayersBefore = View.LayerCount();
    try {
        TUiServicesScope Scope(Ui);
        if (HasExtension(Path, ".shp"))
            ImportSHP({Path}, View, &Choices.Shp);
        else if (HasExtension(Path, ".mif"))
            ImportMIF({Path}, View, Choices.KeepCoordinates);
        else if (HasExtension(Path, ".e00"))
            ImportE00({Path}, View, &Choices.E00);
        else if (GdalReadsExtension(Path))
            ImportGDAL({Path}, View, &Choices.Shp);
        else
            throw std::runtime_error(NotImportable(Path));
    } catch (...) {
        PrintMessages();
        throw;
    }
    PrintMessages();
    if (!Failures.empty()) throw std::runtime_error(Failures.back());
    if (View.LayerCount() == LayersBefore) throw std::runtime_error(Path + ": the import made no layer");
    return View.GetLayer(View.LayerCount() - 1);
}

struct TImportArgs {
    TChoices Choices;
    std::string Output;
    std::vector<std::string> Inputs;
};

TImportArgs ParseArgs(std::span<char* const> Args) {
    TImportArgs R;
    for (size_t I = 0; I < Args.size(); ++I) {
        const std::string_view A = Args[I];
        auto Value = [&]() -> std::string {
            if (I + 1 >= Args.size()) throw TUsageError{std::string(A) + " needs a value"};
            return Args[++I];
        };
        if (A == "-o" || A == "--output") {
            R.Output = Value();
        } else if (A == "--title-column") {
            R.Choices.Shp.Column = Value();
            if (R.Choices.Shp.Column.empty()) throw TUsageError{"--title-column needs a column name or index"};
        } else if (A == "--divisor") {
            const std::string D = Value();
            int32_t N = 0;
            if (!ParseInt32(D, N) || N <= 0)
                throw TUsageError{"--divisor expects a positive whole number, got '" + D + "'"};
            R.Choices.Shp.Divisor = D;
        } else if (A == "--encoding") {
            const std::string E = Value();
            if (TrimText(E).empty() || !TTextEncoding::Find(E))
                throw TUsageError{"unknown encoding '" + E + "' (try UTF-8, CP1252, ISO-8859-2, CP866...)"};
            R.Choices.Shp.Encoding = E;
        } else if (A == "--no-arcs") {
            R.Choices.E00.Arcs = false;
        } else if (A == "--no-text") {
            R.Choices.E00.Text = false;
        } else if (A == "--accept-unknown-projection") {
            R.Choices.E00.AcceptUnknownProjection = true;
        } else if (A == "--keep-coordinates") {
            R.Choices.KeepCoordinates = R.Choices.Shp.KeepOriginalCoordinates = R.Choices.E00.KeepOriginalCoordinates =
                true;
        } else if (A.starts_with('-') && A.size() > 1) {
            throw TUsageError{"unknown option '" + std::string(A) + "'"};
        } else {
            R.Inputs.emplace_back(A);
        }
    }
    if (R.Output.empty()) throw TUsageError{"missing -o OUT"};
    if (R.Inputs.empty()) throw TUsageError{"missing INPUT"};
    for (const std::string& In : R.Inputs)
        if (!IsImportable(In)) throw TUsageError{NotImportable(In)};
    return R;
}

// OUT itself for one input and an OUT ending in .lyr; otherwise OUT/NAME.lyr for each input.
std::vector<std::string> Targets(const TImportArgs& A) {
    if (A.Inputs.size() == 1 && HasExtension(A.Output, ".lyr")) return {A.Output};
    std::vector<std::string> R;
    std::map<std::string, std::string> Seen;
    for (const std::string& In : A.Inputs) {
        const std::string Target = A.Output + "/" + FileBaseName(In) + ".lyr";
        if (auto [It, New] = Seen.emplace(Target, In); !New)
            throw TUsageError{"'" + It->second + "' and '" + In + "' would both be saved as " + Target};
        R.push_back(Target);
    }
    return R;
}

}  // namespace

bool IsImportable(const std::string& Path) {
    return HasExtension(Path, ".shp") || HasExtension(Path, ".mif") || HasExtension(Path, ".e00") ||
           GdalReadsExtension(Path);
}

TOrvexLayer* LoadInput(TOrvex3& View, const std::string& Path) {
    if (IsImportable(Path)) {
        TChoices Defaults;
        return ImportInto(View, Path, Defaults, nullptr);
    }
    TOrvexLayer* Layer = View.AddLayer("");
    Layer->ChangeFilename(Path);
    return Layer;
}

int RunImport(std::span<char* const> Args, std::ostream& out, std::ostream& err) {
    (void)out;
    TImportArgs A;
    std::vector<std::string> Outputs;
    try {
        A = ParseArgs(Args);
        Outputs = Targets(A);
    } catch (const TUsageError& E) {
        err << "orvex import: " << E.Message << '\n' << kUsage;
        return ExitUsage;
    }
    if (Outputs.size() != 1 || Outputs[0] != A.Output) {
        std::error_code Ec;
        std::filesystem::create_directories(A.Output, Ec);
        if (Ec) {
            err << "orvex import: cannot create the folder " << A.Output << ": " << Ec.message() << '\n';
            return ExitFailure;
        }
    }

    const std::unique_ptr<QApplication> App = EnsureApplication();
    for (size_t I = 0; I < A.Inputs.size(); ++I) {
        try {
            TOrvex3 View;
            std::string Converted;
            TOrvexLayer* Layer = ImportInto(View, A.Inputs[I], A.Choices, &err, &Converted);
            // Written beside the target and renamed over it: a failed save leaves nothing half-written.
            Layer->SaveToFile(Outputs[I]);
            err << "Saved " << Layer->ObjectCount() << " objects to " << Outputs[I]
                << (Converted.empty() ? "" : " (" + Converted + ")") << '\n';
        } catch (const std::exception& E) {
            err << "orvex import: " << E.what() << '\n';
            return ExitFailure;
        }
    }
    return ExitOk;
}

}  // namespace orvex::cli

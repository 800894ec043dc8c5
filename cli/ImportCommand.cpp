#include "cli/ImportCommand.h"

#include <algorithm>
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
    "                    [--accept-unknown-projection] [--keep-coordinates] [--layer NAME] -o OUT INPUT...\n";

struct TUsageError {
    std::string Message;
};

std::string NotImportable(const std::string& Path) {
    return "cannot import '" + Path + "': the input must be a .shp, .mif or .e00 file" +
           (GdalAvailable() ? " or a vector format GDAL reads (.gpkg, .geojson, .kml, .fgb...)"
                            : " (" + GdalUnavailableText() + " for other formats)");
}

// Read by one of the designed importers, which make one layer of a file.
bool DesignedFormat(const std::string& Path) {
    return HasExtension(Path, ".shp") || HasExtension(Path, ".mif") || HasExtension(Path, ".e00");
}

// "'two.gpkg' holds 2 layers (cities, countries)".
std::string LayerList(const std::string& Path, const std::vector<std::string>& Names) {
    std::string R = "'" + Path + "' holds " + std::to_string(Names.size());
    R += Names.size() == 1 ? " layer (" : " layers (";
    for (size_t I = 0; I < Names.size(); ++I) R += (I ? ", " : "") + Names[I];
    return R + ")";
}

// What a user would pick in the import dialogs.
struct TChoices {
    TSHPImportPresetOptions Shp;
    TE00ImportPresetOptions E00;
    bool KeepCoordinates = false;
};

// Imports Path (only its layer LayerName when that is not empty) into View and returns the new
// layers. Progress texts go to Log when there is one; a failure (also one only reported, such as
// a refused projection) raises with its message. Converted, when given, receives "coordinates
// converted from ..." if the importer said so.
std::vector<TOrvexLayer*> ImportInto(TOrvex3& View, const std::string& Path, const std::string& LayerName,
                                     TChoices& Choices, std::ostream* Log, std::string* Converted = nullptr) {
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
            ImportGDAL({Path}, View, &Choices.Shp, LayerName);
        else
            throw std::runtime_error(NotImportable(Path));
    } catch (...) {
        PrintMessages();
        throw;
    }
    PrintMessages();
    if (!Failures.empty()) throw std::runtime_error(Failures.back());
    if (View.LayerCount() == LayersBefore) throw std::runtime_error(Path + ": the import made no layer");
    std::vector<TOrvexLayer*> Made;
    for (int32_t I = LayersBefore; I < View.LayerCount(); ++I) Made.push_back(View.GetLayer(I));
    return Made;
}

struct TImportArgs {
    TChoices Choices;
    std::string Output;
    std::string Layer;
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
        } else if (A == "--layer") {
            R.Layer = Value();
            if (R.Layer.empty()) throw TUsageError{"--layer needs a layer name"};
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

// One layer file to write: the input's layer Layer (the whole input when empty) into Target.
struct TJob {
    std::string Input;
    std::string Layer;
    bool OfSeveral = false;  // the input holds other layers too: the file's name says which
    std::string Target;
};

// "two-cities.lyr" for the layer "cities" of "two.gpkg"; a '/' in the layer's name would make a
// folder.
std::string LayerFileName(const std::string& Input, const std::string& Layer) {
    std::string Name = FileBaseName(Input) + (Layer.empty() ? "" : "-" + Layer);
    std::replace(Name.begin(), Name.end(), '/', '_');
    return Name + ".lyr";
}

// The layers of a file GDAL reads; none when it cannot list them, and then its import says why.
std::vector<std::string> SourceLayers(const std::string& Input) {
    try {
        return GdalLayerNames(Input);
    } catch (const std::exception&) {
        return {};
    }
}

// OUT itself for one input of one layer and an OUT ending in .lyr; otherwise OUT/NAME.lyr for
// each input, and OUT/NAME-LAYER.lyr for each layer of an input of several.
std::vector<TJob> Jobs(const TImportArgs& A) {
    const bool OneFile = A.Inputs.size() == 1 && HasExtension(A.Output, ".lyr");
    std::vector<TJob> R;
    for (const std::string& In : A.Inputs) {
        if (DesignedFormat(In)) {
            if (!A.Layer.empty())
                throw TUsageError{"--layer picks a layer of a file of several; '" + In + "' is one layer"};
            R.push_back({In, "", false, ""});
            continue;
        }
        const std::vector<std::string> Names = SourceLayers(In);
        if (!A.Layer.empty()) {
            if (!Names.empty() && std::find(Names.begin(), Names.end(), A.Layer) == Names.end())
                throw TUsageError{"no layer '" + A.Layer + "' in " + LayerList(In, Names)};
            R.push_back({In, A.Layer, Names.size() > 1, ""});
        } else if (Names.size() > 1) {
            if (OneFile)
                throw TUsageError{LayerList(In, Names) + ": give -o FOLDER for one layer file each, or --layer NAME"};
            for (const std::string& Name : Names) R.push_back({In, Name, true, ""});
        } else {
            R.push_back({In, "", false, ""});
        }
    }
    std::map<std::string, std::string> Seen;
    for (TJob& J : R) {
        if (OneFile) {
            J.Target = A.Output;
            continue;
        }
        J.Target = A.Output + "/" + LayerFileName(J.Input, J.OfSeveral ? J.Layer : "");
        const std::string What = J.Layer.empty() ? J.Input : J.Input + ": " + J.Layer;
        if (auto [It, New] = Seen.emplace(J.Target, What); !New)
            throw TUsageError{"'" + It->second + "' and '" + What + "' would both be saved as " + J.Target};
    }
    return R;
}

}  // namespace

bool IsImportable(const std::string& Path) {
    return HasExtension(Path, ".shp") || HasExtension(Path, ".mif") || HasExtension(Path, ".e00") ||
           GdalReadsExtension(Path);
}

std::vector<TOrvexLayer*> LoadInput(TOrvex3& View, const std::string& Path) {
    if (IsImportable(Path)) {
        TChoices Defaults;
        return ImportInto(View, Path, "", Defaults, nullptr);
    }
    TOrvexLayer* Layer = View.AddLayer("");
    Layer->ChangeFilename(Path);
    return {Layer};
}

TOrvexLayer* LoadOneLayer(TOrvex3& View, const std::string& Path) {
    if (!DesignedFormat(Path) && GdalReadsExtension(Path))
        if (const std::vector<std::string> Names = GdalLayerNames(Path); Names.size() > 1)
            throw std::runtime_error(LayerList(Path, Names) + ": import them first with 'orvex import -o FOLDER'");
    const std::vector<TOrvexLayer*> Layers = LoadInput(View, Path);
    if (Layers.size() != 1)
        throw std::runtime_error(Path + ": the import made " + std::to_string(Layers.size()) + " layers");
    return Layers[0];
}

int RunImport(std::span<char* const> Args, std::ostream& out, std::ostream& err) {
    (void)out;
    TImportArgs A;
    std::vector<TJob> Work;
    try {
        A = ParseArgs(Args);
        Work = Jobs(A);
    } catch (const TUsageError& E) {
        err << "orvex import: " << E.Message << '\n' << kUsage;
        return ExitUsage;
    }
    if (Work.size() != 1 || Work[0].Target != A.Output) {
        std::error_code Ec;
        std::filesystem::create_directories(A.Output, Ec);
        if (Ec) {
            err << "orvex import: cannot create the folder " << A.Output << ": " << Ec.message() << '\n';
            return ExitFailure;
        }
    }

    const std::unique_ptr<QApplication> App = EnsureApplication(TAppUse::Data);
    // A file that fails ends only its own import: the others go on, and the run fails at the end.
    std::vector<std::string> Failed;
    for (const TJob& J : Work) {
        try {
            TOrvex3 View;
            std::string Converted;
            const std::vector<TOrvexLayer*> Layers = ImportInto(View, J.Input, J.Layer, A.Choices, &err, &Converted);
            if (Layers.size() != 1)
                throw std::runtime_error(J.Input + ": the import made " + std::to_string(Layers.size()) + " layers");
            // Written beside the target and renamed over it: a failed save leaves nothing half-written.
            Layers[0]->SaveToFile(J.Target);
            err << "Saved " << Layers[0]->ObjectCount() << " objects to " << J.Target
                << (Converted.empty() ? "" : " (" + Converted + ")") << '\n';
        } catch (const std::exception& E) {
            err << "orvex import: " << E.what() << '\n';
            if (Failed.empty() || Failed.back() != J.Input) Failed.push_back(J.Input);
        }
    }
    if (Failed.empty()) return ExitOk;
    err << "orvex import: not imported:";
    for (const std::string& F : Failed) err << ' ' << F;
    err << '\n';
    return ExitFailure;
}

}  // namespace orvex::cli

#include "cli/RenderCommand.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/CliSupport.h"
#include "cli/ImportCommand.h"
#include "cli/OrvexCli.h"
#include "foundation/NumberText.h"
#include "importers/ImportSupport.h"
#include "model/OrvexLayer.h"
#include "platform/UiServices.h"
#include "projections/PrjModel.h"
#include "projections/PrjRegistry.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"
#include "view/ExportImage.h"
#include "model/TextureData.h"

namespace orvex::cli {
namespace {

// A bad option value; its message goes to standard error.
struct TUsageError {
    std::string Message;
};

bool ParseInt(std::string_view Text, int32_t& Value) {
    long double V;
    return ParseReal(Text, V) && V == std::trunc(V) && RoundInRange(V, Value);
}

std::vector<std::string_view> Split(std::string_view Text, char Sep) {
    std::vector<std::string_view> Parts;
    size_t Start = 0;
    for (;;) {
        const size_t At = Text.find(Sep, Start);
        Parts.push_back(Text.substr(Start, At == std::string_view::npos ? std::string_view::npos : At - Start));
        if (At == std::string_view::npos) return Parts;
        Start = At + 1;
    }
}

std::vector<long double> ParseReals(std::string_view Option, std::string_view Text, size_t Count) {
    std::vector<long double> Values;
    for (std::string_view Part : Split(Text, ',')) {
        long double V;
        if (!ParseReal(Part, V)) break;
        Values.push_back(V);
    }
    if (Values.size() != Count)
        throw TUsageError{std::string(Option) + " expects " + std::to_string(Count) + " comma-separated numbers, got '" +
                          std::string(Text) + "'"};
    return Values;
}

void ParseSize(std::string_view Text, int32_t& Width, int32_t& Height) {
    const auto Parts = Split(Text, 'x');
    if (Parts.size() != 2 || !ParseInt(Parts[0], Width) || !ParseInt(Parts[1], Height) || Width <= 0 ||
        Height <= 0 || Width > 16384 || Height > 16384)
        throw TUsageError{"--size expects WIDTHxHEIGHT between 1 and 16384, got '" + std::string(Text) + "'"};
}

const TProjectionInfo& ParseProjection(std::string_view Text) {
    if (const TProjectionInfo* P = FindProjection(std::string(Text))) return *P;
    throw TUsageError{"unknown projection '" + std::string(Text) + "' (one of " + ProjectionKeys(", ") + ")"};
}

// #RRGGBB as a colour value (red in the low byte).
TColor ParseColor(std::string_view Option, std::string_view Text) {
    if (Text.size() == 7 && Text[0] == '#') {
        const std::string Hex(Text.substr(1));
        char* End = nullptr;
        const unsigned long V = std::strtoul(Hex.c_str(), &End, 16);
        if (End == Hex.c_str() + Hex.size())
            return static_cast<TColor>(((V >> 16) & 0xFF) | (V & 0xFF00) | ((V & 0xFF) << 16));
    }
    throw TUsageError{std::string(Option) + " expects a colour as #RRGGBB, got '" + std::string(Text) + "'"};
}

int32_t Degrees(long double D) {
    if (std::fabs(D) > 360) throw TUsageError{"angles must lie within +-360 degrees"};
    return DegToOrvexUnits(D);
}

// The options shared by render and project.
struct TViewOptions {
    int32_t Width = 1024, Height = 768;
    const TProjectionInfo* Projection = &ProjectionOfKind(opSpherical);
    std::optional<int32_t> Altitude;
    std::optional<std::vector<long double>> Rotation;
    std::optional<std::vector<long double>> Center;
};

// Takes the option at Args[I] (and its value) when it is one of the shared ones.
bool TakeViewOption(std::span<char* const> Args, size_t& I, TViewOptions& O) {
    const std::string_view A = Args[I];
    auto Value = [&]() -> std::string_view {
        if (I + 1 >= Args.size()) throw TUsageError{std::string(A) + " needs a value"};
        return Args[++I];
    };
    if (A == "--size") {
        ParseSize(Value(), O.Width, O.Height);
    } else if (A == "--projection") {
        O.Projection = &ParseProjection(Value());
    } else if (A == "--altitude") {
        int32_t V;
        const std::string_view T = Value();
        if (!ParseInt(T, V) || V < 0) throw TUsageError{"--altitude expects a whole number >= 0, got '" + std::string(T) + "'"};
        O.Altitude = V;
    } else if (A == "--rotation") {
        O.Rotation = ParseReals(A, Value(), 3);
    } else if (A == "--center") {
        O.Center = ParseReals(A, Value(), 2);
    } else {
        return false;
    }
    return true;
}

// A fresh view of the chosen size: projection switched, then altitude and rotation set.
void SetUpView(TOrvex3& View, const TViewOptions& O) {
    View.SetSurfaceSize(O.Width, O.Height);
    // Fitted as if the view had been made at this size, so that switching the projection
    // centres the new map where a fresh view looks.
    View.SetAltitude(0);
    View.SetProjectionModel(O.Projection->Create(&View));
    // 0, the default, fits the whole map.
    View.SetAltitude(O.Altitude.value_or(0));
    if (O.Rotation) {
        View.SetXRotation(Degrees((*O.Rotation)[0]));
        View.SetYRotation(Degrees((*O.Rotation)[1]));
        View.SetZRotation(Degrees((*O.Rotation)[2]));
    }
}

bool EndsWith(const std::string& S, std::string_view Suffix) {
    if (S.size() < Suffix.size()) return false;
    for (size_t I = 0; I < Suffix.size(); ++I)
        if (std::tolower(static_cast<unsigned char>(S[S.size() - Suffix.size() + I])) != Suffix[I]) return false;
    return true;
}

// A profile's layers, as the editor opens them: a layer that cannot be loaded is reported
// and left out.
void LoadProfile(TOrvex3& View, const std::string& Path, std::ostream& err) {
    std::error_code Error;
    if (!std::filesystem::is_regular_file(Path, Error)) throw std::runtime_error("cannot read the profile '" + Path + "'");
    TScriptedUiServices Reports;
    {
        TUiServicesScope Scope(Reports);
        // A bare name would mean the program's folder.
        View.SetProfileName(std::filesystem::absolute(Path, Error).lexically_normal().string());
    }
    for (const TScriptedUiServices::TMessage& M : Reports.Messages)
        err << "orvex render: a layer of " << Path << " was left out: " << M.Text << '\n';
}

bool IsNumber(std::string_view Text) {
    long double V;
    return ParseReal(Text, V);
}

// The change made before each further frame of --frames.
enum class TMotion { Pan, Zoom, Rotate };

// Everything `orvex render` was asked for.
struct TRenderOptions {
    TViewOptions View;
    std::string Output;
    std::vector<std::string> Inputs;
    std::optional<std::string> Profile;
    TDrawGrid Grid = dgBehind;
    bool Transparent = false, Timing = false, Antialias = false;
    std::string Texture;
    std::optional<TColor> Color, OrvexColor;
    int32_t Frames = 0;
    std::optional<TMotion> Motion;
};

// Frames beyond this are not a measurement but a hang.
constexpr int32_t kMostFrames = 100000;

int32_t ParseFrames(std::string_view Text) {
    int32_t N;
    if (!ParseInt(Text, N) || N < 1 || N > kMostFrames)
        throw TUsageError{"--frames expects a whole number from 1 to " + std::to_string(kMostFrames) + ", got '" +
                          std::string(Text) + "'"};
    return N;
}

TMotion ParseMotion(std::string_view Text) {
    if (Text == "pan") return TMotion::Pan;
    if (Text == "zoom") return TMotion::Zoom;
    if (Text == "rotate") return TMotion::Rotate;
    throw TUsageError{"--motion expects pan, zoom or rotate, got '" + std::string(Text) + "'"};
}

TDrawGrid ParseGrid(std::string_view Text) {
    if (Text == "none") return dgNone;
    if (Text == "behind") return dgBehind;
    if (Text == "front") return dgInFront;
    throw TUsageError{"--grid expects none, behind or front, got '" + std::string(Text) + "'"};
}

// Takes the option at Args[I] (and its value) when it is one of render's own.
bool TakeRenderOption(std::span<char* const> Args, size_t& I, TRenderOptions& O) {
    const std::string_view A = Args[I];
    auto Value = [&]() -> std::string_view {
        if (I + 1 >= Args.size()) throw TUsageError{std::string(A) + " needs a value"};
        return Args[++I];
    };
    if (A == "-o" || A == "--output")
        O.Output = Value();
    else if (A == "--grid")
        O.Grid = ParseGrid(Value());
    else if (A == "--transparent")
        O.Transparent = true;
    else if (A == "--color")
        O.Color = ParseColor(A, Value());
    else if (A == "--orvex-color")
        O.OrvexColor = ParseColor(A, Value());
    else if (A == "--antialias")
        O.Antialias = true;
    else if (A == "--timing")
        O.Timing = true;
    else if (A == "--frames")
        O.Frames = ParseFrames(Value());
    else if (A == "--motion")
        O.Motion = ParseMotion(Value());
    else if (A == "--texture")
        O.Texture = Value();
    else
        return false;
    return true;
}

TRenderOptions ParseRenderArgs(std::span<char* const> Args) {
    TRenderOptions O;
    for (size_t I = 0; I < Args.size(); ++I) {
        const std::string_view A = Args[I];
        if (TakeViewOption(Args, I, O.View) || TakeRenderOption(Args, I, O)) continue;
        if (A.starts_with('-') && A.size() > 1) throw TUsageError{"unknown option '" + std::string(A) + "'"};
        if (EndsWith(std::string(A), ".prf")) {
            if (O.Profile) throw TUsageError{"only one profile (.prf) can be rendered at a time"};
            O.Profile = A;
        } else {
            O.Inputs.emplace_back(A);
        }
    }
    if (O.Output.empty()) throw TUsageError{"missing -o OUTPUT.png|OUTPUT.jpg|OUTPUT.pdf"};
    if (PictureFormatOf(O.Output) == TPictureFormat::Unknown)
        throw TUsageError{"the output must end in .png, .jpg, .jpeg or .pdf: '" + O.Output + "'"};
    if (O.Frames > 0 && !O.Motion) throw TUsageError{"--frames needs --motion pan|zoom|rotate"};
    if (O.Motion && O.Frames == 0) throw TUsageError{"--motion needs --frames N"};
    return O;
}

// The inputs, in the order the editor would take them: opening a profile clears the view, so
// it comes first and the other inputs join it. Then the texture, which is read from its file.
void LoadRenderInputs(TOrvex3& View, TRenderOptions& O, std::ostream& err) {
    if (O.Profile) LoadProfile(View, *O.Profile, err);
    for (const std::string& Input : O.Inputs) LoadInput(View, Input);
    if (O.Texture == "default") {
        O.Texture = DefaultTextureFile();
        if (O.Texture.empty()) throw std::runtime_error("the bundled earth picture (earth.bmp) is missing");
    }
    if (O.Texture.empty()) return;
    if (std::error_code Error; !std::filesystem::exists(O.Texture, Error))
        throw std::runtime_error("texture '" + O.Texture + "' not found");
    View.SetTextureFilename(O.Texture);
    if (!View.Texture().IsLoaded())
        throw std::runtime_error("texture '" + O.Texture + "' is not an uncompressed 256-colour bitmap");
}

// The look asked for, over what a profile may have set.
void ApplyLook(TOrvex3& View, const TRenderOptions& O) {
    if (O.View.Center) View.CenterOn(Degrees(O.View.Center->at(0)), Degrees(O.View.Center->at(1)));
    View.SetDrawGrid(O.Grid);
    View.SetTransparentOrvex(O.Transparent);
    if (O.Color) View.SetColor(*O.Color);
    if (O.OrvexColor) View.SetOrvexColor(*O.OrvexColor);
    // A profile may have switched it on already.
    if (O.Antialias) View.SetAntialiasing(true);
    if (!O.Texture.empty()) View.SetTextureBackground(true);
}

// One change of the view, as a user makes it between two frames: a pan by a tenth of the view
// (the arrow keys'), one wheel notch about the centre, in and out by turns, or a turn of a
// quarter degree east (on flat maps the view's rotation moves the map along the equator).
void Move(TOrvex3& View, TMotion Motion, int32_t Frame) {
    constexpr int32_t kWheelNotch = 120;
    switch (Motion) {
        case TMotion::Pan: View.KeyPan(1, 0); break;
        case TMotion::Zoom:
            View.WheelZoom(View.Canvas()->Width() / 2, View.Canvas()->Height() / 2,
                           Frame % 2 == 0 ? kWheelNotch : -kWheelNotch);
            break;
        case TMotion::Rotate:
            View.SetYRotation(NormalizeLongitude(int64_t(View.YRotation()) + OrvexUnits::PerDegree / 4));
            break;
    }
}

using TDuration = std::chrono::steady_clock::duration;

// Count frames drawn on the view's surface after the first, each after one Motion.
std::vector<TDuration> DrawFrames(TOrvex3& View, TMotion Motion, int32_t Count) {
    std::vector<TDuration> Times;
    Times.reserve(size_t(Count));
    // As the editor's window draws them, after its own first frame, which makes the chains'
    // coarser copies; the picture written was drawn from every point.
    View.SetLevelOfDetail(true);
    View.Render();
    for (int32_t Frame = 0; Frame < Count; ++Frame) {
        // The idle time the window has between two of the user's moves, in which it prepares
        // the copies the next scale may need.
        View.PrepareDetail(std::chrono::steady_clock::time_point::max());
        Move(View, Motion, Frame);
        const auto Start = std::chrono::steady_clock::now();
        View.Render();
        Times.push_back(std::chrono::steady_clock::now() - Start);
    }
    return Times;
}

// Whole milliseconds, rounded.
std::string Ms(TDuration D) {
    return std::to_string(std::chrono::round<std::chrono::milliseconds>(D).count()) + " ms";
}

std::string FramesLine(std::vector<TDuration> Times) {
    std::sort(Times.begin(), Times.end());
    const size_t Mid = Times.size() / 2;
    const TDuration Median = Times.size() % 2 ? Times[Mid] : (Times[Mid - 1] + Times[Mid]) / 2;
    return "frames: median " + Ms(Median) + ", max " + Ms(Times.back());
}

}  // namespace

int RunRender(std::span<char* const> Args, std::ostream& out, std::ostream& err) {
    TRenderOptions O;
    try {
        O = ParseRenderArgs(Args);
    } catch (const TUsageError& E) {
        return UsageError(err, "render", E.Message);
    }

    const std::unique_ptr<QApplication> App = EnsureApplication(TAppUse::Drawing);
    try {
        TOrvex3 View;
        SetUpView(View, O.View);
        const auto LoadStart = std::chrono::steady_clock::now();
        LoadRenderInputs(View, O, err);
        const TDuration Load = std::chrono::steady_clock::now() - LoadStart;
        ApplyLook(View, O);
        TExportTimes Export;
        if (!ExportPicture(View, O.Output, O.View.Width, O.View.Height, &Export))
            return Failure(err, "render", "cannot write '" + O.Output + "'");
        if (O.Timing)
            err << "load: " << Ms(Load) << "\ndraw: " << Ms(Export.Draw) << "\nwrite: " << Ms(Export.Write) << '\n';
        if (O.Frames > 0) err << FramesLine(DrawFrames(View, *O.Motion, O.Frames)) << '\n';
        return EndCommand(ExitOk, out, err);
    } catch (const TUsageError& E) {
        return UsageError(err, "render", E.Message);
    } catch (const std::exception& E) {
        return Failure(err, "render", E.what());
    }
}

int RunProject(std::span<char* const> Args, std::ostream& out, std::ostream& err) {
    TViewOptions O;
    bool Inverse = false, HaveProjection = false;
    std::vector<long double> Values;
    try {
        bool OnlyValues = false;
        for (size_t I = 0; I < Args.size(); ++I) {
            const std::string_view A = Args[I];
            long double V;
            if (OnlyValues || IsNumber(A)) {
                if (!ParseReal(A, V)) throw TUsageError{"not a number: '" + std::string(A) + "'"};
                Values.push_back(V);
            } else if (A == "--") {
                OnlyValues = true;
            } else if (A == "--inverse") {
                Inverse = true;
            } else if (A == "--projection" || A == "--size" || A == "--altitude" || A == "--rotation") {
                if (A == "--projection") HaveProjection = true;
                TakeViewOption(Args, I, O);
            } else {
                throw TUsageError{"unknown option '" + std::string(A) + "'"};
            }
        }
        if (!HaveProjection) throw TUsageError{"missing --projection NAME"};
        if (Values.size() % 2 != 0) throw TUsageError{"coordinates come in pairs"};
    } catch (const TUsageError& E) {
        return UsageError(err, "project", E.Message);
    }

    const std::unique_ptr<QApplication> App = EnsureApplication(TAppUse::Data);
    try {
        TOrvex3 View;
        SetUpView(View, O);
        for (size_t I = 0; I + 1 < Values.size(); I += 2) {
            if (Inverse) {
                TPoint3D P;
                int32_t X, Y;
                if (!RoundInRange(Values[I], X) || !RoundInRange(Values[I + 1], Y) || !View.PixelToLL(X, Y, P)) {
                    out << "-\n";
                    continue;
                }
                out << FixedToText(OrvexUnitsToDeg(P.X), 6) << ' ' << FixedToText(OrvexUnitsToDeg(P.Y), 6) << '\n';
            } else {
                const long double Lon = Values[I], Lat = Values[I + 1];
                if (std::fabs(Lon) > 360 || std::fabs(Lat) > 90 ||
                    !View.ProjectionModel()->LLToXY(NormalizeLongitude(DegToOrvexUnits(Lon)), DegToOrvexUnits(Lat), 0)) {
                    out << "-\n";
                    continue;
                }
                out << PointBuffer[0].X << ' ' << PointBuffer[0].Y << '\n';
            }
        }
    } catch (const TUsageError& E) {
        return UsageError(err, "project", E.Message);
    } catch (const std::exception& E) {
        return Failure(err, "project", E.what());
    }
    return ExitOk;
}

}  // namespace orvex::cli

// The summary `orvex info` prints of a layer: read by the program itself, or by its commands
// module for files it imports first.
#include "cli/LayerSummary.h"

#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/NumberText.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "platform/Text.h"
#include "styling/OrvexPresenter.h"

namespace orvex::cli {
namespace {

// File text is bytes: UTF-8 when valid, else Latin-1.
std::string JsonString(const std::string& Bytes) {
    const std::string Utf8 = Utf8Text(Bytes);
    std::string R = "\"";
    for (const char C : Utf8) {
        switch (C) {
            case '"': R += "\\\""; break;
            case '\\': R += "\\\\"; break;
            case '\n': R += "\\n"; break;
            case '\r': R += "\\r"; break;
            case '\t': R += "\\t"; break;
            case '\b': R += "\\b"; break;
            case '\f': R += "\\f"; break;
            default:
                if (static_cast<unsigned char>(C) < 0x20) {
                    char Buf[8];
                    std::snprintf(Buf, sizeof Buf, "\\u%04x", static_cast<unsigned>(C));
                    R += Buf;
                } else {
                    R += C;
                }
        }
    }
    return R + "\"";
}

std::string Degrees(int32_t Units) { return FixedToText(OrvexUnitsToDeg(Units), 6); }

}  // namespace

void PrintLayerJson(const TOrvexLayer& Layer, bool WithPoints, std::ostream& out) {
    const TExtent& E = Layer.Extents();
    out << "{\"name\": " << JsonString(Layer.Name()) << ", \"extent\": [" << E.Left << ", " << E.Bottom << ", "
        << E.Width << ", " << E.Height << "],\n\"presenters\": [";
    const char* Sep = "\n";
    for (const TOrvexPresenter* P : Layer.Presenters()) {
        out << Sep << "  {\"class\": " << JsonString(P->ClassName()) << ", \"name\": " << JsonString(P->Name())
            << ", \"featureId\": " << P->FeatureID() << "}";
        Sep = ",\n";
    }
    out << "],\n\"objects\": [";
    Sep = "\n";
    for (const TOrvexObject* O : Layer.Objects()) {
        out << Sep << "  {\"class\": " << JsonString(O->ClassName()) << ", \"title\": " << JsonString(O->Title())
            << ", \"id\": " << O->ID() << ", \"featureId\": " << O->FeatureID() << ", \"presenter\": "
            << (O->Presenter() ? JsonString(O->Presenter()->Name()) : std::string("null"))
            << ", \"flags\": " << static_cast<int>(O->StreamFlags());
        if (WithPoints) {
            out << ", \"points\": [";
            for (int32_t I = 0, N = O->GetPointCount(); I < N; ++I) {
                const TPoint3D P = O->GetPoint(I);
                out << (I ? ", [" : "[") << P.X << ", " << P.Y << ", " << P.Z << ']';
            }
            out << ']';
        }
        out << '}';
        Sep = ",\n";
    }
    out << "]}\n";
}

namespace {

struct TClassCount {
    std::string ClassName;
    int64_t Items = 0;
    int64_t Points = 0;
};

void Count(std::vector<TClassCount>& Counts, const std::string& ClassName, int64_t Points) {
    for (TClassCount& C : Counts)
        if (C.ClassName == ClassName) {
            ++C.Items;
            C.Points += Points;
            return;
        }
    Counts.push_back(TClassCount{ClassName, 1, Points});
}

}  // namespace

void PrintLayerSummary(const TOrvexLayer& Layer, std::ostream& out) {
    const TExtent& E = Layer.Extents();
    out << "Layer: " << Utf8Text(Layer.Name()) << '\n'
        << "Extent: left " << Degrees(E.Left) << ", bottom " << Degrees(E.Bottom) << ", width " << Degrees(E.Width)
        << ", height " << Degrees(E.Height) << " (degrees)\n";
    std::vector<TClassCount> Presenters, Objects;
    for (const TOrvexPresenter* P : Layer.Presenters()) Count(Presenters, P->ClassName(), 0);
    int64_t TotalPoints = 0;
    for (const TOrvexObject* O : Layer.Objects()) {
        Count(Objects, O->ClassName(), O->GetPointCount());
        TotalPoints += O->GetPointCount();
    }
    out << "Presenters: " << Layer.PresenterCount() << '\n';
    for (const TClassCount& C : Presenters) out << "  " << C.ClassName << ": " << C.Items << '\n';
    out << "Objects: " << Layer.ObjectCount() << " (" << TotalPoints << " points)\n";
    for (const TClassCount& C : Objects)
        out << "  " << C.ClassName << ": " << C.Items << " objects, " << C.Points << " points\n";
}


void PrintLayerFile(const TInfoArgs& A, std::ostream& out) {
    // Outside any view: the layer reads its classes from the standard registry and falls back
    // on global presenters of its own.
    TOrvexLayer Layer(nullptr);
    Layer.SetFilename(A.Path);
    if (A.Json)
        PrintLayerJson(Layer, A.WithPoints, out);
    else
        PrintLayerSummary(Layer, out);
}

TInfoArgs ParseInfoArgs(std::span<char* const> args) {
    TInfoArgs R;
    for (const char* Arg : args) {
        const std::string_view A = Arg;
        if (A == "--json") {
            R.Json = true;
        } else if (A == "--no-points") {
            R.WithPoints = false;
        } else if (A.starts_with('-') && A != "-") {
            R.Error = "unknown option '" + std::string(A) + "'";
            return R;
        } else if (R.Path) {
            R.Error = "more than one layer file given";
            return R;
        } else {
            R.Path = Arg;
        }
    }
    if (!R.Path) R.Error = "missing LAYERFILE";
    return R;
}

}  // namespace orvex::cli

// The layer file reader on arbitrary bytes. What it accepts must survive what a loaded layer
// goes through: a render, and a save whose records read back to the very same save. (The
// extent in the header may differ: symbols measured in pixels extend objects by the scale.)
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "FuzzImport.h"
#include "model/OrvexLayer.h"
#include "model/OrvexStream.h"
#include "projections/PrjRegistry.h"

namespace {

std::vector<uint8_t> Saved(TOrvexLayer& Layer) {
    TOrvexStream S;
    Layer.SaveToStream(S);
    return S.Data();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    TOrvex3& View = FuzzView();
    TOrvexLayer* Layer = View.AddLayer("fuzz");
    TOrvexStream In(std::vector<uint8_t>(Data, Data + Size));
    try {
        Layer->LoadFromStream(In);
    } catch (const EOrvexException&) {
        // Records read before the failure stay: they must still render and save.
    }

    // Some projection, picked by the data, over a small surface.
    const auto& Projections = ProjectionRegistry();
    const size_t Pick = Size ? Data[Size - 1] % Projections.size() : 0;
    View.SetProjectionModel(Projections[Pick].Create(&View));
    View.SetSurfaceSize(64, 48);
    View.ZoomToScale(0);
    View.Render();

    const std::vector<uint8_t> First = Saved(*Layer);
    TOrvexLayer* Again = View.AddLayer("again");
    TOrvexStream Back(First);
    Again->LoadFromStream(Back);  // a failure here is a finding
    constexpr size_t ExtentEnd = 18;
    if (const std::vector<uint8_t> Second = Saved(*Again);
        !std::equal(First.begin() + ExtentEnd, First.end(), Second.begin() + ExtentEnd, Second.end())) {
        size_t At = ExtentEnd;
        while (At < First.size() && At < Second.size() && First[At] == Second[At]) ++At;
        std::fprintf(stderr, "a saved layer (%zu bytes) reads back to a different save (%zu bytes) from offset %zu\n",
                     First.size(), Second.size(), At);
        if (std::getenv("FUZZ_DUMP")) {
            for (uint8_t B : First) std::fprintf(stderr, "%02x", B);
            std::fprintf(stderr, "\n");
            for (uint8_t B : Second) std::fprintf(stderr, "%02x", B);
            std::fprintf(stderr, "\n");
        }
        std::abort();
    }
    return 0;
}

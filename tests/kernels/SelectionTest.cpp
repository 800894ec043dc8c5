// Which version of a kernel runs: the switch and the portable build keep to the plain ones,
// otherwise the fastest the processor runs.
#include <cstdlib>
#include <string_view>

#include "KernelTests.h"
#include "kernels/ChainBounds.h"
#include "kernels/DegreePairs.h"
#include "kernels/Dispatch.h"
#include "kernels/FlatForward.h"
#include "kernels/GlyphBlend.h"
#include "kernels/PointLines.h"
#include "kernels/SymbolStamp.h"

namespace {

int ReturnsOne() { return 1; }
int ReturnsTwo() { return 2; }
int ReturnsThree() { return 3; }
int ReturnsFour() { return 4; }

std::vector<const char*> Names(const auto& Versions) {
    std::vector<const char*> N;
    for (const auto& V : Versions) N.push_back(V.Name);
    return N;
}

}  // namespace

// ORVEX_KERNELS=plain (read when the program started) must reach every kernel's choice, and
// without it the last version the processor runs must win, not the first that runs.
TEST(KernelSelection, TheSwitchOrTheProcessorPicksTheVersion) {
#if defined(ORVEX_PORTABLE)
    EXPECT_TRUE(PlainKernelsOnly());
#else
    const char* Env = std::getenv("ORVEX_KERNELS");
    EXPECT_EQ(PlainKernelsOnly(), Env && std::string_view(Env) == "plain");
#endif
    using TFn = int();
    constexpr TKernelVersion<TFn> Versions[] = {{"plain", ReturnsOne, TKernelNeeds::Nothing},
                                                {"vectors", ReturnsTwo, TKernelNeeds::Vectors},
                                                {"avx2", ReturnsThree, TKernelNeeds::Avx2},
                                                {"avx2+bits", ReturnsFour, TKernelNeeds::Avx2WithBitOps}};
    int Expected = 1;
    if (!PlainKernelsOnly())
        for (int I = 3; I >= 1 && Expected == 1; --I)
            if (CanRunKernel(Versions[I].Needs)) Expected = I + 1;
    EXPECT_EQ(ChooseVersion(Versions)(), Expected);
    // The tests compare every version that can run, whatever the switch says.
    EXPECT_EQ(RunnableVersions(Versions).size(), size_t(1 + CanRunKernel(TKernelNeeds::Vectors) +
                                                        CanRunKernel(TKernelNeeds::Avx2) +
                                                        CanRunKernel(TKernelNeeds::Avx2WithBitOps)));
}

// Every kernel lists its plain version first (the differential tests compare against it), has
// its faster versions wherever the processor runs them (a lost build switch would drop them
// unseen), and in a portable build nothing else.
TEST(KernelSelection, EveryKernelStartsWithItsPlainVersion) {
    struct TKernel {
        const char* Name;
        std::vector<const char*> Versions;
        TKernelNeeds FirstFast;
    };
    const TKernel All[] = {
        {"chain bounds", Names(Kernels::ChainBoundsVersions()), TKernelNeeds::Avx2},
        {"largest step", Names(Kernels::LargestStepVersions()), TKernelNeeds::Avx2},
        {"flat forward", Names(Kernels::ProjectFlatVersions()), TKernelNeeds::Avx2WithFma},
        {"degree pairs", Names(Kernels::DecodeDegreePairsVersions()), TKernelNeeds::Vectors},
        {"point lines", Names(Kernels::PointLinesVersions()), TKernelNeeds::Vectors},
        {"glyph blend", Names(Kernels::BlendBlocksVersions()), TKernelNeeds::Vectors},
        {"symbol stamp", Names(Kernels::StampSymbolVersions()), TKernelNeeds::Vectors},
    };
    for (const TKernel& K : All) {
        SCOPED_TRACE(K.Name);
        ASSERT_FALSE(K.Versions.empty());
        EXPECT_STREQ(K.Versions[0], "plain");
#if defined(ORVEX_PORTABLE)
        EXPECT_EQ(K.Versions.size(), 1u);
#elif defined(__x86_64__)
        EXPECT_EQ(K.Versions.size() > 1, CanRunKernel(K.FirstFast));
#endif
    }
}

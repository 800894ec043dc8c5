// The positions of the codes a pass looks at, from every version: what the plain scan finds.
#include "KernelTests.h"
#include "kernels/CodeScan.h"

// Windows empty, one code wide and full; codes at the window's edges and at 0 and 255; runs that
// end in every lane and in the tail; positions appended after what the list held.
TEST(CodeScanKernel, EveryVersionFindsTheSelectedPositionsInOrder) {
    ForEachFastVersion(Kernels::SelectedCodesVersions(), [](auto* Plain, auto* Fast) {
        TRandom R(23);
        for (int Trial = 0; Trial < 5000; ++Trial) {
            TCodeWindow W{uint8_t(R.Below(256)), uint8_t(R.Below(256)), uint8_t(R.Below(256))};
            if (Trial % 5 == 0) W.High = uint8_t(std::min(255, W.Low + int(R.Below(3))));
            if (Trial % 7 == 0) W = TCodeWindow{0, 255, 255};
            const size_t N = R.Below(Trial % 10 == 0 ? 3000 : 100);
            std::vector<uint8_t> Codes(N);
            for (uint8_t& C : Codes) {
                switch (R.Below(6)) {
                    case 0: C = W.Low; break;
                    case 1: C = W.High; break;
                    case 2: C = uint8_t(W.Low + 1); break;
                    case 3: C = uint8_t(W.High - 1); break;
                    case 4: C = W.Visit; break;
                    default: C = uint8_t(R.Below(256)); break;
                }
            }
            std::vector<uint32_t> Expected{7, 9};
            for (size_t I = 0; I < N; ++I)
                if (W.Selects(Codes[I])) Expected.push_back(uint32_t(I));
            std::vector<uint32_t> A{7, 9}, B{7, 9};
            Plain(Codes.data(), N, W, A);
            Fast(Codes.data(), N, W, B);
            ASSERT_EQ(A, Expected) << Trial;
            ASSERT_EQ(B, Expected) << Trial;
        }
    });
}

#include "kernels/Decimals.h"

namespace {

// Eight bytes from P, the first in the lowest byte; zeros past End.
uint64_t Load8(const char* P, const char* End) {
    uint64_t W = 0;
    if (End - P >= 8) {
        std::memcpy(&W, P, 8);
    } else if (End > P) {
        unsigned char Bytes[8] = {};
        std::memcpy(Bytes, P, size_t(End - P));
        for (int I = 7; I >= 0; --I) W = W << 8 | Bytes[I];
    }
    if constexpr (std::endian::native == std::endian::big) W = __builtin_bswap64(W);
    return W;
}

}  // namespace

bool DecimalDetail::ScanDecimalFrom(const char* S, bool Negative, const char*& P, const char* End, double& Value) {
    uint64_t Digits = 0;
    int Count = 0, Decimals = 0;
    for (int Part = 0; Part < 2; ++Part) {
        for (;;) {
            const uint64_t W = Load8(S, End);
            const int N = DigitCount(W);
            Digits = Digits * kDecimalScale[N] + DigitValue(W, N);  // wraps only past 15 digits, which fail below
            Count += N;
            Decimals += Part * N;
            S += N;
            if (N < 8 || Count > 15) break;
        }
        if (Part == 1 || Count > 15 || S == End || *S != '.') break;
        ++S;
    }
    if (Count == 0 || Count > 15) return false;
    Value = DecimalValue(Digits, Decimals, Negative);
    P = S;
    return true;
}

#pragma once
// Plain decimals ("-77.0880598154", "-.5", "12.") read eight characters at a time in ordinary
// 64-bit arithmetic: the same on every processor, so there is one version. The readers' inner
// loops and ParseDouble's common case take them this way.

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace DecimalDetail {
// Eight bytes from P, which has them, the first in the lowest byte.
inline uint64_t LoadWord(const char* P) {
    uint64_t W;
    std::memcpy(&W, P, 8);
    if constexpr (std::endian::native == std::endian::big) W = __builtin_bswap64(W);
    return W;
}

// The number of leading decimal digits in W (at most 8).
inline int DigitCount(uint64_t W) {
    constexpr uint64_t High = 0xF0F0F0F0F0F0F0F0ull, Low7 = 0x7F7F7F7F7F7F7F7Full;
    // A byte is a digit when its high nibble is 3, and still is 3 after adding 6. A carry out
    // of a byte only comes from a non-digit, and nothing after the first one counts.
    const uint64_t Nibbles = (W & High) | (((W + 0x0606060606060606ull) & High) >> 4);
    const uint64_t Off = Nibbles ^ 0x3333333333333333ull;
    const uint64_t NonDigit = (((Off & Low7) + Low7) | Off) & ~Low7;
    return std::countr_zero(NonDigit) / 8;  // no non-digit: 64 / 8
}

// The value of the first N (0 to 8) bytes of W, which are digits.
inline uint64_t DigitValue(uint64_t W, int N) {
    // The digits moved to the top with zeros in front (in two shifts, so that N = 0 clears
    // the word), then combined pairwise. Borrows from the bytes behind the digits run
    // upwards, out of the word.
    const int Half = 4 * (8 - N);
    uint64_t D = ((W - 0x3030303030303030ull) << Half) << Half;
    D = (D * 10 + (D >> 8)) & 0x00FF00FF00FF00FFull;
    D = (D * 100 + (D >> 16)) & 0x0000FFFF0000FFFFull;
    return (D * 10000 + (D >> 32)) & 0xFFFFFFFFull;
}

inline constexpr double kDecimalPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
inline constexpr uint64_t kDecimalScale[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// Digits (at most 15, so exact in a double) over ten to the Decimals: one correctly rounded
// division. The sign goes on as a bit (-0 stays -0): the signs of real coordinates are too
// mixed for a branch on them to be predicted.
inline double DecimalValue(uint64_t Digits, int Decimals, bool Negative) {
    const double V = static_cast<double>(Digits) / kDecimalPowers[Decimals];
    return std::bit_cast<double>(std::bit_cast<uint64_t>(V) | uint64_t(Negative) << 63);
}

// ScanDecimal from S, just behind the sign, the general way.
bool ScanDecimalFrom(const char* S, bool Negative, const char*& P, const char* End, double& Value);
}  // namespace DecimalDetail

// A plain decimal of up to 15 digits in all ("-77.0880598154", "-.5", "12.") at P, read eight
// characters at a time and rounded exactly as ParseDouble rounds it; P moves past it. False,
// with P left, for anything else (which ParseDouble reads the general way).
inline bool ScanDecimal(const char*& P, const char* End, double& Value) {
    using namespace DecimalDetail;
    const char* S = P;
    const bool Negative = S < End && *S == '-';
    S += Negative;
    // With room to read ahead, a whole part of up to 7 digits and a fraction of up to 16 are
    // counted and converted without branching on their lengths; the words behind a missing
    // point are read and count for nothing. The whole part and the fraction's first digits
    // are joined into one word, the rest of the fraction starts at S + 9.
    if (End - S >= 25) {
        const uint64_t W = LoadWord(S);
        const int N = DigitCount(W);
        if (N < 8) {
            const int Point = S[N] == '.';
            const uint64_t W1 = LoadWord(S + N + 1);
            const int N1 = DigitCount(W1) & -Point;
            const int N2 = DigitCount(LoadWord(S + N + 9)) & -int(N1 == 8);
            const int Count = N + N1 + N2;
            if (Count == 0 || Count > 15) return false;
            const uint64_t Joined = (W & ((uint64_t(1) << 8 * N) - 1)) | W1 << 8 * N;
            const int First = std::min(Count, 8);
            const uint64_t Digits =
                DigitValue(Joined, First) * kDecimalScale[Count - First] + DigitValue(LoadWord(S + 9), Count - First);
            Value = DecimalValue(Digits, N1 + N2, Negative);
            P = S + N + Point + N1 + N2;
            return true;
        }
    }
    return ScanDecimalFrom(S, Negative, P, End, Value);
}

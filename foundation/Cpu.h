#pragma once
// What the processor offers beyond baseline x86-64, asked once per process: the vector paths
// built for more choose themselves by these, and others take the baseline ones.

// 256-bit integer vectors (AVX2).
bool HasAvx2();
// AVX2 together with the bit instructions a wide scanner uses (BMI1, BMI2, LZCNT, POPCNT).
bool HasAvx2WithBitOps();

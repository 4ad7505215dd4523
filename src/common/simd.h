#pragma once
// The one switch that decides where the SSE2 kernels are used: the text scans
// of the loaders and the field row painter alike. SSE2 is part of every
// x86-64 processor, so GCC, Clang and MSVC targeting x86-64 all take it;
// QUORLANE_SCALAR_ONLY builds the portable path alone (its tests hold the
// kernels to the same results).
#if !defined(QUORLANE_SCALAR_ONLY) && (defined(__SSE2__) || defined(_M_X64))
#define QUORLANE_SSE2 1
#else
#define QUORLANE_SSE2 0
#endif

#if QUORLANE_SSE2
#include <emmintrin.h>

#include <cstdint>
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#endif

namespace quorlane {

// The index of the lowest and of the highest set bit of a mask that is not 0,
// of 32 and of 64 bits.
inline unsigned LowestSetBit(unsigned mask) {
#if defined(_MSC_VER) && !defined(__clang__)
    unsigned long index;
    _BitScanForward(&index, mask);
    return unsigned(index);
#else
    return unsigned(__builtin_ctz(mask));
#endif
}
inline unsigned LowestSetBit64(uint64_t mask) {
#if defined(_MSC_VER) && !defined(__clang__)
    unsigned long index;
    _BitScanForward64(&index, mask);
    return unsigned(index);
#else
    return unsigned(__builtin_ctzll(mask));
#endif
}
inline unsigned HighestSetBit64(uint64_t mask) {
#if defined(_MSC_VER) && !defined(__clang__)
    unsigned long index;
    _BitScanReverse64(&index, mask);
    return unsigned(index);
#else
    return unsigned(63 - __builtin_clzll(mask));
#endif
}
inline unsigned HighestSetBit(unsigned mask) {
#if defined(_MSC_VER) && !defined(__clang__)
    unsigned long index;
    _BitScanReverse(&index, mask);
    return unsigned(index);
#else
    return unsigned(31 - __builtin_clz(mask));
#endif
}

}  // namespace quorlane
#endif

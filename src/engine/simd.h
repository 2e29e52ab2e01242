#pragma once

// SSE2 is part of every x86-64 processor; elsewhere the engine's passes run byte by byte.
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define NORVANE_HAVE_SSE2 1
#endif

namespace norvane {

// Bits set in a 16-bit mask such as _mm_movemask_epi8 gives. Written out because
// std::popcount compiles to a library call where the POPCNT instruction is not assumed.
constexpr unsigned countBits16(unsigned mask) {
    mask = mask - ((mask >> 1) & 0x5555u);
    mask = (mask & 0x3333u) + ((mask >> 2) & 0x3333u);
    mask = (mask + (mask >> 4)) & 0x0F0Fu;
    return (mask + (mask >> 8)) & 0x1Fu;
}

// Bits of the 16 bytes at `at` that equal `value`.
#ifdef NORVANE_HAVE_SSE2
inline unsigned matches16(const char* at, char value) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(value))));
}
#else
inline unsigned matches16(const char* at, char value) {
    unsigned bits = 0;
    for (unsigned i = 0; i < 16; ++i) bits |= static_cast<unsigned>(at[i] == value) << i;
    return bits;
}
#endif

}  // namespace norvane

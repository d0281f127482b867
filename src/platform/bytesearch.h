#pragma once

#ifdef __SSE2__
#include <emmintrin.h>

namespace tovanel {

#endif

// The first `a` or `b` in [p, end), or end. Lines, keys and values are mostly shorter than 64 bytes,
// where one vector pass for both bytes beats two library searches (memchr for each would scan twice).
inline const char* findEither(const char* p, const char* end, char a, char b) {
#ifdef __SSE2__
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    while (end - p >= 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int mask =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(chunk, va), _mm_cmpeq_epi8(chunk, vb)));
        if (mask != 0) {
            return p + __builtin_ctz(unsigned(mask));
        }
        p += 16;
    }
#endif
    while (p < end && *p != a && *p != b) {
        ++p;
    }
    return p;
}

} // namespace tovanel

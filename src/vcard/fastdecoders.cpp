#include "vcard/fastdecoders.h"

#include "vcard/decoders.h"

#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>

namespace tovanel {

#endif

size_t widenAscii(char16_t* dst, const char* p, size_t size, bool& backslash) {
    const char* const begin = p;
    const char* const end = p + size;
    bool escape = false;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    const __m128i slash = _mm_set1_epi8('\\');
    while (end - p >= 16) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const auto high = unsigned(_mm_movemask_epi8(chunk));
        const auto slashes = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, slash)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_unpacklo_epi8(chunk, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 8), _mm_unpackhi_epi8(chunk, zero));
        if (high != 0) {
            const unsigned ascii = unsigned(__builtin_ctz(high));
            backslash = escape || (slashes & ((1u << ascii) - 1)) != 0;
            return size_t(p - begin) + ascii;
        }
        escape |= slashes != 0;
        p += 16;
        dst += 16;
    }
#endif
    // Most telephone numbers and e-mail addresses are shorter than 16 bytes: eight at a time.
    constexpr std::uint64_t Ones = 0x0101010101010101u;
    constexpr std::uint64_t Highs = 0x8080808080808080u;
    while (end - p >= 8) {
        std::uint64_t x = 0;
        std::memcpy(&x, p, 8);
        if ((x & Highs) != 0) {
            break;
        }
        const std::uint64_t noSlash = x ^ (Ones * '\\'); // a zero byte where a backslash was
        escape |= ((noSlash - Ones) & ~noSlash & Highs) != 0;
#ifdef __SSE2__
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst),
                         _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), zero));
#else
        for (int i = 0; i < 8; ++i) {
            dst[i] = static_cast<unsigned char>(p[i]);
        }
#endif
        p += 8;
        dst += 8;
    }
    if (p != end && end - p < 8 && end - begin >= 8) {
        // The last few bytes as the last eight, overlapping those already widened (to the same).
        const char* const last = end - 8;
        std::uint64_t x = 0;
        std::memcpy(&x, last, 8);
        if ((x & Highs) == 0) {
            const std::uint64_t noSlash = x ^ (Ones * '\\');
            escape |= ((noSlash - Ones) & ~noSlash & Highs) != 0;
            char16_t* const to = dst - (p - last);
#ifdef __SSE2__
            _mm_storeu_si128(
                reinterpret_cast<__m128i*>(to),
                _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(last)), zero));
#else
            for (int i = 0; i < 8; ++i) {
                to[i] = static_cast<unsigned char>(last[i]);
            }
#endif
            backslash = escape;
            return size;
        }
    }
    for (; p < end && static_cast<unsigned char>(*p) < 0x80; ++p) {
        escape |= *p == '\\';
        *dst++ = char16_t(*p);
    }
    backslash = escape;
    return size_t(p - begin);
}

qsizetype continueTwoByteUtf8(char16_t* dst, QByteArrayView bytes, qsizetype from, bool& backslash) {
    char16_t* const begin = dst;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + from;
    const auto* end = reinterpret_cast<const unsigned char*>(bytes.data()) + bytes.size();
    bool escape = backslash;
    constexpr std::uint64_t Ones = 0x0101010101010101u;
    constexpr std::uint64_t Highs = 0x8080808080808080u;
    while (p < end) {
        // Between the umlauts mostly ASCII: eight bytes at a time where they are.
        if (end - p >= 8) {
            std::uint64_t x = 0;
            std::memcpy(&x, p, 8);
            if ((x & Highs) == 0) {
                const std::uint64_t noSlash = x ^ (Ones * '\\');
                escape |= ((noSlash - Ones) & ~noSlash & Highs) != 0;
#ifdef __SSE2__
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst),
                                 _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                                                   _mm_setzero_si128()));
#else
                for (int i = 0; i < 8; ++i) {
                    dst[i] = p[i];
                }
#endif
                p += 8;
                dst += 8;
                continue;
            }
        }
        const unsigned char c = *p;
        if (c < 0x80) {
            escape |= c == '\\';
            *dst++ = c;
            ++p;
        } else if (c >= 0xC2 && c <= 0xDF && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
            *dst++ = char16_t(((c & 0x1F) << 6) | (p[1] & 0x3F));
            p += 2;
        } else {
            return -1;
        }
    }
    backslash = escape;
    return dst - begin;
}

void continueWindows1252(char16_t* dst, QByteArrayView bytes, qsizetype from, bool& backslash) {
    bool escape = backslash;
    for (qsizetype i = from; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        escape |= b == '\\';
        *dst++ = b < 0x80 || b >= 0xA0 ? char16_t(b) : windows1252Char(b);
    }
    backslash = escape;
}

} // namespace tovanel

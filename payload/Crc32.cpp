#include "payload/Crc32.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <emmintrin.h>
#include <wmmintrin.h>
#define ORVA_CRC_FOLDING 1
#endif

namespace payload {
namespace {

constexpr uint32_t kReflectedPolynomial = 0xEDB88320u;

// g_tables[k][b]: the CRC register's change for byte b followed by k zero bytes.
uint32_t g_tables[8][256];
enum class Way { Unknown, Tables, Folding };
Way g_way = Way::Unknown;

void MakeTables()
{
    for (uint32_t b = 0; b < 256; ++b) {
        uint32_t c = b;
        for (int bit = 0; bit < 8; ++bit)
            c = c & 1 ? (c >> 1) ^ kReflectedPolynomial : c >> 1;
        g_tables[0][b] = c;
    }
    for (int k = 1; k < 8; ++k) {
        for (uint32_t b = 0; b < 256; ++b) {
            const uint32_t c = g_tables[k - 1][b];
            g_tables[k][b] = (c >> 8) ^ g_tables[0][c & 0xFF];
        }
    }
}

uint32_t LittleEndian32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Takes the register (not inverted) over the data, eight bytes a step.
uint32_t WithTables(uint32_t c, const unsigned char* p, size_t size)
{
    for (; size >= 8; p += 8, size -= 8) {
        const uint32_t a = c ^ LittleEndian32(p);
        const uint32_t b = LittleEndian32(p + 4);
        c = g_tables[7][a & 0xFF] ^ g_tables[6][(a >> 8) & 0xFF] ^ g_tables[5][(a >> 16) & 0xFF] ^
            g_tables[4][a >> 24] ^ g_tables[3][b & 0xFF] ^ g_tables[2][(b >> 8) & 0xFF] ^
            g_tables[1][(b >> 16) & 0xFF] ^ g_tables[0][b >> 24];
    }
    for (; size > 0; ++p, --size)
        c = g_tables[0][(c ^ *p) & 0xFF] ^ (c >> 8);
    return c;
}

#ifdef ORVA_CRC_FOLDING
#define ORVA_FOLDING_CODE __attribute__((target("sse2,pclmul")))
#ifdef __i386__
// A 32-bit caller may hand over a stack aligned to 4 bytes only; the vectors want 16.
#define ORVA_FOLDING_ENTRY ORVA_FOLDING_CODE __attribute__((force_align_arg_pointer))
#else
#define ORVA_FOLDING_ENTRY ORVA_FOLDING_CODE
#endif

ORVA_FOLDING_CODE inline __m128i Load(const unsigned char* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// x carried forward over the distance k's halves stand for, and added to next.
ORVA_FOLDING_CODE inline __m128i FoldInto(__m128i x, __m128i k, __m128i next)
{
    return _mm_xor_si128(
        _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

// Takes the register (not inverted) over size bytes, at least 64 and a multiple of 16: four
// 16-byte lanes folded forward 64 bytes a step, then into one lane, which is reduced to 32
// bits. The constants are x^n mod P bit-reflected and shifted left by one, the low half first.
ORVA_FOLDING_ENTRY uint32_t Folded(uint32_t c, const unsigned char* p, size_t size)
{
    const __m128i by64Bytes = _mm_set_epi64x(0x1C6E41596, 0x154442BD4);  // x^480, x^544
    const __m128i by16Bytes = _mm_set_epi64x(0x0CCAA009E, 0x1751997D0);  // x^96, x^160
    const __m128i by8Bytes = _mm_set_epi64x(0, 0x163CD6124);             // x^64
    // Barrett's reduction: P, and the quotient of x^64 by P, both bit-reflected.
    const __m128i barrett = _mm_set_epi64x(0x1F7011641, 0x1DB710641);
    const __m128i low32 = _mm_set_epi32(0, 0, 0, -1);

    __m128i x0 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(int(c)));
    __m128i x1 = Load(p + 16);
    __m128i x2 = Load(p + 32);
    __m128i x3 = Load(p + 48);
    for (p += 64, size -= 64; size >= 64; p += 64, size -= 64) {
        x0 = FoldInto(x0, by64Bytes, Load(p));
        x1 = FoldInto(x1, by64Bytes, Load(p + 16));
        x2 = FoldInto(x2, by64Bytes, Load(p + 32));
        x3 = FoldInto(x3, by64Bytes, Load(p + 48));
    }
    x0 = FoldInto(x0, by16Bytes, x1);
    x0 = FoldInto(x0, by16Bytes, x2);
    x0 = FoldInto(x0, by16Bytes, x3);
    for (; size >= 16; p += 16, size -= 16)
        x0 = FoldInto(x0, by16Bytes, Load(p));

    // 128 bits to 96, then to 64, then the remainder's 32.
    x0 = _mm_xor_si128(_mm_srli_si128(x0, 8), _mm_clmulepi64_si128(x0, by16Bytes, 0x10));
    x0 = _mm_xor_si128(_mm_srli_si128(x0, 4),
                       _mm_clmulepi64_si128(_mm_and_si128(x0, low32), by8Bytes, 0x00));
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x0, low32), barrett, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), barrett, 0x00);
    return uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(_mm_xor_si128(x0, t), 4)));
}

bool ProcessorFolds()
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    return __get_cpuid(1, &a, &b, &c, &d) && (c & bit_PCLMUL) != 0 && (d & bit_SSE2) != 0;
}
#endif

Way Choose()
{
    if (g_way == Way::Unknown) {
        MakeTables();
#ifdef ORVA_CRC_FOLDING
        g_way = ProcessorFolds() ? Way::Folding : Way::Tables;
#else
        g_way = Way::Tables;
#endif
    }
    return g_way;
}

}  // namespace

uint32_t Crc32(uint32_t crc, const unsigned char* data, size_t size)
{
    uint32_t c = ~crc;
#ifdef ORVA_CRC_FOLDING
    if (Choose() == Way::Folding && size >= 64) {
        const size_t folded = size & ~size_t(15);
        c = Folded(c, data, folded);
        data += folded;
        size -= folded;
    }
#else
    Choose();
#endif
    return ~WithTables(c, data, size);
}

uint32_t Crc32WithTables(uint32_t crc, const unsigned char* data, size_t size)
{
    Choose();
    return ~WithTables(~crc, data, size);
}

bool Crc32Folds()
{
    return Choose() == Way::Folding;
}

}  // namespace payload

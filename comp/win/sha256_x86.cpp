#include "sha256_x86.h"

#include <immintrin.h>
#include <intrin.h>

// GCC and Clang compile these intrinsics only in functions that name the
// instruction sets; MSVC compiles them anywhere. On 32-bit Windows a thread
// may enter with the stack aligned to 4 bytes only, while GCC spills XMM
// registers with aligned moves: realign on entry.
#if defined(__GNUC__) || defined(__clang__)
#define VELMORA_SHA_EXTENSIONS __attribute__((target("sha,ssse3,sse4.1"), force_align_arg_pointer))
#else
#define VELMORA_SHA_EXTENSIONS
#endif
// The rounds of a block unrolled, so that the ring of message words stays
// in registers: GCC keeps the loop otherwise and indexes the ring in
// memory, at about half the speed.
#if defined(__GNUC__) || defined(__clang__)
#define VELMORA_UNROLLED _Pragma("GCC unroll 16")
#else
#define VELMORA_UNROLLED
#endif

namespace velmora::engine {
namespace {

alignas(16) constexpr std::uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

bool AskCpu() {
    int regs[4] = {};
    __cpuid(regs, 0);
    if (regs[0] < 7) return false;
    __cpuid(regs, 1);
    const bool ssse3 = (regs[2] & (1 << 9)) != 0;
    const bool sse41 = (regs[2] & (1 << 19)) != 0;
    __cpuidex(regs, 7, 0);
    const bool sha = (regs[1] & (1 << 29)) != 0;
    return ssse3 && sse41 && sha;
}

}  // namespace

bool CpuHasShaExtensions() {
    static const bool has = AskCpu();
    return has;
}

VELMORA_SHA_EXTENSIONS
void Sha256CompressShaExtensions(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks) {
    // The big-endian words of a block, from its little-endian loads.
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);

    // The instructions keep the state as ABEF and CDGH (a in the top lane).
    __m128i abcd = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
    __m128i efgh = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
    abcd = _mm_shuffle_epi32(abcd, 0xB1);                  // c d a b
    efgh = _mm_shuffle_epi32(efgh, 0x1B);                  // h g f e
    __m128i abef = _mm_alignr_epi8(abcd, efgh, 8);         // f e b a
    __m128i cdgh = _mm_blend_epi16(efgh, abcd, 0xF0);      // h g d c

    for (; blocks > 0; --blocks, data += 64) {
        const __m128i abefBefore = abef;
        const __m128i cdghBefore = cdgh;
        // The message schedule, four words at a time, in a ring of four.
        __m128i w[4];
        VELMORA_UNROLLED
        for (int i = 0; i < 16; ++i) {
            __m128i& words = w[i & 3];
            if (i < 4) {
                words = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), byteSwap);
            } else {
                // W[t] = s1(W[t-2]) + W[t-7] + s0(W[t-15]) + W[t-16]
                const __m128i partial = _mm_add_epi32(_mm_sha256msg1_epu32(w[i & 3], w[(i + 1) & 3]),
                                                      _mm_alignr_epi8(w[(i + 3) & 3], w[(i + 2) & 3], 4));
                words = _mm_sha256msg2_epu32(partial, w[(i + 3) & 3]);
            }
            __m128i message = _mm_add_epi32(
                words, _mm_load_si128(reinterpret_cast<const __m128i*>(kRoundConstants + 4 * i)));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);
            message = _mm_shuffle_epi32(message, 0x0E);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, message);
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }

    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));      // a b c d
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));     // e f g h
}

}  // namespace velmora::engine

// The synthesizer's shared arithmetic: stored constants, the noise generator, sine and exp2.
#pragma once

#include "synth/stereo.h"

#include <bit>
#include <cstdint>

// Constants kept with a shortened mantissa. The sound depends on these exact doubles, so they
// are written as bit patterns; the comment gives the value they stand for.
#define QUORLAX_STORED_CONSTANTS(X)                                                                          \
    X(k0p225, 0x3FCCCCCC00000000ull)             /* 0.225: sine shaping */                                   \
    X(k0p2, 0x3FC9999900000000ull)               /* 0.2: pink noise scale */                                 \
    X(k0p1, 0x3FB9999A00000000ull)               /* 0.1 */                                                   \
    X(k0p01, 0x3F847AE100000000ull)              /* 0.01: detune and fine tune */                            \
    X(k0p001, 0x3F50624E00000000ull)             /* 0.001: free LFO rate */                                  \
    X(kOneTwelfth, 0x3FB5555500000000ull)        /* 1/12: semitones to octaves */                            \
    X(k0p99994755, 0x3FEFFF9200000000ull)        /* 0.99994755: channel level follower */                    \
    X(k1em5, 0x3EE4F8B600000000ull)              /* 1e-5: channel sleep threshold */                         \
    X(k0p99765, 0x3FEFECC000000000ull)           /* 0.99765: pink pole, cutoff and feedback limit */         \
    X(k0p099046, 0x3FB95B1400000000ull)          /* 0.099046: pink noise */                                  \
    X(k0p963, 0x3FEED0E500000000ull)             /* 0.963: pink noise */                                     \
    X(k0p2965164, 0x3FD2FA1FF0000000ull)         /* 0.2965164: pink noise */                                 \
    X(k0p57, 0x3FE23D7100000000ull)              /* 0.57: pink noise */                                      \
    X(k1p0526913, 0x3FF0D7D300000000ull)         /* 1.0526913: pink noise */                                 \
    X(k0p1848, 0x3FC7A78600000000ull)            /* 0.1848: pink noise */                                    \
    X(k5644p797, 0x40B60CCC00000000ull)          /* 5644.797: delay time scale */                            \
    X(k0p618, 0x3FE3C6A700000000ull)             /* 0.618: reverb allpass */                                 \
    X(k0p99432, 0x3FEFD18000000000ull)           /* 0.99432: reverb DC blocker */                            \
    X(kPi, 0x400921FB54440000ull)                /* pi */                                                    \
    X(kTwoPi, 0x401921FB54440000ull)             /* 2 pi */                                                  \
    X(kHalfPi, 0x3FF921FB54440000ull)            /* pi / 2 */                                                \
    X(kFourOverPi, 0x3FF45F306DC90000ull)        /* 4 / pi */                                                \
    X(kMinusFourOverPiSq, 0xBFD9F02F62220000ull) /* -4 / pi^2 */                                             \
    X(kExp2C6, 0x3F24454D39280000ull)            /* 0.000154653: exp2 polynomial */                          \
    X(kExp2C5, 0x3F55F2647A3F0000ull)            /* 0.00133953 */                                            \
    X(kExp2C4, 0x3F83B29F76FB0000ull)            /* 0.00961804 */                                            \
    X(kExp2C3, 0x3FAC6AF147D00000ull)            /* 0.0555034 */                                             \
    X(kExp2C2, 0x3FCEBFBE08380000ull)            /* 0.240227 */                                              \
    X(kExp2C1, 0x3FE62E4309740000ull)            /* 0.693147 */                                              \
    X(kExp2C0, 0x3FEFFFFFFFFC0000ull)            /* 0.99999999997 */

#define QUORLAX_DEFINE_STORED(name, bits) inline constexpr double name = std::bit_cast<double>(bits);
QUORLAX_STORED_CONSTANTS(QUORLAX_DEFINE_STORED)
#undef QUORLAX_DEFINE_STORED

// The one noise generator of the synthesizer: two lanes of 32-bit multiplicative congruential
// state, advanced by every draw in evaluation order.
struct NoiseState {
    uint32_t lanes[2];
};
extern NoiseState gNoiseState;
// Seeds 1 (lane 0) and 31,337 (lane 1).
void resetNoise();

// Uniform in [-1, 1): left from lane 1, right from lane 0.
inline Stereo noise() {
    NoiseState& state = gNoiseState;
    state.lanes[0] *= 16007u;
    state.lanes[1] *= 16007u;
    return stereo(static_cast<int32_t>(state.lanes[1]) * 0x1p-31,
                  static_cast<int32_t>(state.lanes[0]) * 0x1p-31);
}

// Parabolic sine approximation over one period folded into (-pi, pi].
inline Stereo sineOf(Stereo x) {
    Stereo folded = x - floorOf(x / kTwoPi) * kTwoPi;
    folded = select(greaterThan(folded, stereo(kPi)), folded - kTwoPi, folded);
    Stereo y = kFourOverPi * folded + kMinusFourOverPiSq * folded * absOf(folded);
    return k0p225 * (y * absOf(y) - y) + y;
}

// 2^x: the integer part is converted under the current rounding mode (toward zero on the render
// thread), the fraction goes through a degree-6 polynomial and the power is built from its
// exponent bits. The input is held within the double exponent range so the bits stay valid.
inline Stereo exp2Of(Stereo x) {
    x = clampOf(x, -1022.0, 1023.0);
    __m128i whole = _mm_cvtpd_epi32(x.v);
    Stereo f = x - Stereo{_mm_cvtepi32_pd(whole)};
    Stereo p = ((((((kExp2C6 * f + kExp2C5) * f + kExp2C4) * f + kExp2C3) * f + kExp2C2) * f + kExp2C1) * f +
                kExp2C0);
    __m128i exponent = _mm_add_epi32(whole, _mm_set1_epi32(1023));
    exponent = _mm_slli_epi64(_mm_unpacklo_epi32(exponent, _mm_setzero_si128()), 52);
    return p * Stereo{_mm_castsi128_pd(exponent)};
}

#include "synth/float_mode.h"

#include <xmmintrin.h>

FloatModeGuard::FloatModeGuard() : saved(_mm_getcsr()) {
    _mm_setcsr(kSynthFloatMode);
}

FloatModeGuard::~FloatModeGuard() {
    _mm_setcsr(saved & ~0x3Fu);
}

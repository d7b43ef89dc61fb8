// Two-lane double arithmetic: one stereo value (left, right) per SSE2 register.
#pragma once

#include <emmintrin.h>
#ifdef __SSE4_1__
#include <smmintrin.h>
#endif

#include <cstdint>

// A stereo value, or a mask whose lanes are all-ones (true) or all-zeros (false).
struct Stereo {
    __m128d v;
};

inline Stereo stereo(double both) {
    return {_mm_set1_pd(both)};
}
inline Stereo stereo(double left, double right) {
    return {_mm_set_pd(right, left)};
}
inline Stereo zeroStereo() {
    return {_mm_setzero_pd()};
}
inline double leftOf(Stereo a) {
    return _mm_cvtsd_f64(a.v);
}
inline double rightOf(Stereo a) {
    return _mm_cvtsd_f64(_mm_unpackhi_pd(a.v, a.v));
}

inline Stereo operator+(Stereo a, Stereo b) {
    return {_mm_add_pd(a.v, b.v)};
}
inline Stereo operator-(Stereo a, Stereo b) {
    return {_mm_sub_pd(a.v, b.v)};
}
inline Stereo operator*(Stereo a, Stereo b) {
    return {_mm_mul_pd(a.v, b.v)};
}
inline Stereo operator/(Stereo a, Stereo b) {
    return {_mm_div_pd(a.v, b.v)};
}
inline Stereo operator+(Stereo a, double b) {
    return a + stereo(b);
}
inline Stereo operator-(Stereo a, double b) {
    return a - stereo(b);
}
inline Stereo operator*(Stereo a, double b) {
    return a * stereo(b);
}
inline Stereo operator/(Stereo a, double b) {
    return a / stereo(b);
}
inline Stereo operator+(double a, Stereo b) {
    return stereo(a) + b;
}
inline Stereo operator-(double a, Stereo b) {
    return stereo(a) - b;
}
inline Stereo operator*(double a, Stereo b) {
    return stereo(a) * b;
}
inline Stereo operator/(double a, Stereo b) {
    return stereo(a) / b;
}
inline Stereo& operator+=(Stereo& a, Stereo b) {
    return a = a + b;
}
inline Stereo& operator-=(Stereo& a, Stereo b) {
    return a = a - b;
}
inline Stereo& operator*=(Stereo& a, Stereo b) {
    return a = a * b;
}
// Flips the sign bits, so zero becomes negative zero.
inline Stereo operator-(Stereo a) {
    return {_mm_xor_pd(a.v, _mm_set1_pd(-0.0))};
}

inline Stereo minOf(Stereo a, Stereo b) {
    return {_mm_min_pd(a.v, b.v)};
}
inline Stereo maxOf(Stereo a, Stereo b) {
    return {_mm_max_pd(a.v, b.v)};
}
inline Stereo clampOf(Stereo v, Stereo lo, Stereo hi) {
    return minOf(maxOf(v, lo), hi);
}
inline Stereo clampOf(Stereo v, double lo, double hi) {
    return clampOf(v, stereo(lo), stereo(hi));
}
inline Stereo absOf(Stereo a) {
    return {_mm_andnot_pd(_mm_set1_pd(-0.0), a.v)};
}
inline Stereo sqrtOf(Stereo a) {
    return {_mm_sqrt_pd(a.v)};
}
inline Stereo swapLanes(Stereo a) {
    return {_mm_shuffle_pd(a.v, a.v, 1)};
}

// Comparisons give masks.
inline Stereo lessThan(Stereo a, Stereo b) {
    return {_mm_cmplt_pd(a.v, b.v)};
}
inline Stereo lessEqual(Stereo a, Stereo b) {
    return {_mm_cmple_pd(a.v, b.v)};
}
inline Stereo greaterThan(Stereo a, Stereo b) {
    return {_mm_cmpgt_pd(a.v, b.v)};
}
inline Stereo greaterEqual(Stereo a, Stereo b) {
    return {_mm_cmpge_pd(a.v, b.v)};
}
inline Stereo equalTo(Stereo a, Stereo b) {
    return {_mm_cmpeq_pd(a.v, b.v)};
}
inline Stereo notEqual(Stereo a, Stereo b) {
    return {_mm_cmpneq_pd(a.v, b.v)};
}

inline Stereo bitAnd(Stereo a, Stereo b) {
    return {_mm_and_pd(a.v, b.v)};
}
inline Stereo bitOr(Stereo a, Stereo b) {
    return {_mm_or_pd(a.v, b.v)};
}
// ~mask & value.
inline Stereo bitAndNot(Stereo mask, Stereo value) {
    return {_mm_andnot_pd(mask.v, value.v)};
}
inline Stereo allOnes() {
    return {_mm_castsi128_pd(_mm_set1_epi32(-1))};
}
// Lane by lane: ifTrue where the mask is set, else ifFalse.
inline Stereo select(Stereo mask, Stereo ifTrue, Stereo ifFalse) {
    return {_mm_or_pd(_mm_and_pd(mask.v, ifTrue.v), _mm_andnot_pd(mask.v, ifFalse.v))};
}
// 1.0 in the lanes where the mask is set, 0.0 elsewhere.
inline Stereo maskToOne(Stereo mask) {
    return bitAnd(mask, stereo(1.0));
}
// True when the mask is set in at least one lane.
inline bool anyLane(Stereo mask) {
    return _mm_movemask_pd(mask.v) != 0;
}
// True when both lanes compare equal to zero (either sign).
inline bool bothZero(Stereo a) {
    return _mm_movemask_pd(_mm_cmpneq_pd(a.v, _mm_setzero_pd())) == 0;
}
// Truncation toward zero, exact for every double and independent of the rounding mode. With
// SSE4.1 one rounding instruction does it; otherwise adding and removing 2^52 rounds the
// magnitude to an integer in whatever mode is set, and a result that came out above the
// magnitude is stepped back by one. Both give the same bits for every input, NaN included, in
// every rounding mode but rounding down, where the second gives -0 for a zero result.
inline Stereo truncOf(Stereo a) {
#ifdef __SSE4_1__
    return {_mm_round_pd(a.v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC)};
#else
    const __m128d sign = _mm_set1_pd(-0.0);
    const __m128d twoTo52 = _mm_set1_pd(4503599627370496.0);
    __m128d magnitude = _mm_andnot_pd(sign, a.v);
    __m128d whole = _mm_sub_pd(_mm_add_pd(magnitude, twoTo52), twoTo52);
    whole = _mm_sub_pd(whole, _mm_and_pd(_mm_cmpgt_pd(whole, magnitude), _mm_set1_pd(1.0)));
    whole = _mm_or_pd(whole, _mm_and_pd(a.v, sign));
    // From 2^52 on every double is already whole.
    return select({_mm_cmpge_pd(magnitude, twoTo52)}, a, {whole});
#endif
}
inline Stereo floorOf(Stereo a) {
#ifdef __SSE4_1__
    return {_mm_round_pd(a.v, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC)};
#else
    Stereo whole = truncOf(a);
    return whole - maskToOne(greaterThan(whole, a));
#endif
}
// x - floor(x), in [0, 1).
inline Stereo fracOf(Stereo a) {
    return a - floorOf(a);
}

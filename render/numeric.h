// numeric.h - defined conversions from floating point to 32-bit integers.
//
// A plain cast of a double that is NaN or outside the int32 range is undefined behaviour, and
// the rasteriser meets such values on purpose-built or rounding-damaged input (a clipped edge
// lying almost along a scanline gives a 16.16 slope far beyond the range). Every place in the
// renderer where a float or double becomes an integer goes through saturate_to_int32, so such
// input degrades into a clamped value instead of undefined behaviour.
//
// Units: none; the value is converted as given.
// Failure: none. NaN gives 0, values at or beyond the int32 limits give the nearest limit, and
// every value inside the range truncates toward zero exactly as a plain cast would.
#pragma once

#include <cstdint>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

constexpr int32_t saturate_to_int32(double value) {
#if defined(__SSE2__)
    // The processor's truncation gives INT32_MIN for NaN and for anything out of range, and the
    // exact truncation otherwise: one test then settles almost every value the renderer meets.
    if (!std::is_constant_evaluated()) {
        const int32_t truncated = _mm_cvttsd_si32(_mm_set_sd(value));
        if (truncated != INT32_MIN) [[likely]]
            return truncated;
    }
#endif
    if (!(value == value)) return 0; // NaN
    if (value >= 2147483648.0) return INT32_MAX;
    if (value <= -2147483649.0) return INT32_MIN;
    return static_cast<int32_t>(value);
}

// saturate_to_int32(std::ceil(value)), without the library call that std::ceil costs on the
// baseline x86-64 instruction set: the rasteriser takes the ceiling of every projected y.
constexpr int32_t ceil_to_int32(double value) {
#if defined(__SSE2__)
    // As above: one truncation and one test for almost every value; the model look's span
    // filling takes four ceilings per triangle and two per row.
    if (!std::is_constant_evaluated()) {
        const int32_t truncated = _mm_cvttsd_si32(_mm_set_sd(value));
        if (truncated != INT32_MIN && truncated != INT32_MAX) [[likely]]
            return double(truncated) < value ? truncated + 1 : truncated;
    }
#endif
    if (!(value == value)) return 0; // NaN
    if (value > 2147483647.0) return INT32_MAX;
    if (value <= -2147483648.0) return INT32_MIN;
    const int32_t truncated = static_cast<int32_t>(value);
    return double(truncated) < value ? truncated + 1 : truncated;
}

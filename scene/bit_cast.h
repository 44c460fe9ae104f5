// bit_cast.h - reinterpreting the bits of one trivially copyable value as another type.
//
// Constants and file values are handled by their exact bit patterns (a float read from a scene
// file, a rotation step given as 0x3D00ADFC), so every build must be able to say "these 32 bits
// are this float". std::bit_cast does that, but some C++ libraries the project is built with
// (the one of Debian's emscripten among them) do not have it yet; the compiler builtin it is
// made of is available in both GCC and Clang. Code uses bit_cast_value and never names either.
//
// Units: none. Ownership: none (a value in, a value out). Failure: none; the sizes of the two
// types must match, which is checked at compile time.
#pragma once

#include <bit>
#include <type_traits>

template <class To, class From> constexpr To bit_cast_value(const From& from) noexcept {
    static_assert(sizeof(To) == sizeof(From), "bit_cast_value needs types of the same size");
    static_assert(std::is_trivially_copyable_v<To> && std::is_trivially_copyable_v<From>,
                  "bit_cast_value needs trivially copyable types");
#if defined(__cpp_lib_bit_cast)
    return std::bit_cast<To>(from);
#else
    return __builtin_bit_cast(To, from);
#endif
}

// Compiles the code between KC_BEGIN_AVX2 and KC_END_AVX2 for processors with
// AVX2, and nothing else of the translation unit.
//
// Why not -mavx2 on the whole file: the inline functions and templates its
// headers bring in (the finishing step, the standard library) would be built
// with AVX2 too, and where the compiler keeps them out of line (always, in a
// debug build) the linker keeps one copy of each for the whole library, not
// necessarily a plain one. The plain kernel would then run AVX2 code on a
// processor without it. So every header is included first, and only the code
// of the file itself, and the AVX2 helpers it includes after KC_BEGIN_AVX2,
// gets the target.
#pragma once

#if defined(__clang__)
#define KC_BEGIN_AVX2 \
    _Pragma("clang attribute push(__attribute__((target(\"avx2\"))), apply_to = function)")
#define KC_END_AVX2 _Pragma("clang attribute pop")
#else
#define KC_BEGIN_AVX2 _Pragma("GCC push_options") _Pragma("GCC target(\"avx2\")")
#define KC_END_AVX2 _Pragma("GCC pop_options")
#endif

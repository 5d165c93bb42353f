#pragma once

// The one switch between the vector (SSE2, and SSSE3 / AVX2 where the processor has them)
// and hand-scheduled x86-64 paths and the portable scalar paths. Both give the same bytes; the scalar ones are what any other
// processor builds, and `-DZUMO_NO_SIMD=ON` builds them here so that they are tested too.
#if !defined(ZUMO_NO_SIMD) && defined(__SSE2__) && defined(__x86_64__) && defined(__GNUC__)
#define ZUMO_SIMD 1
#else
#define ZUMO_SIMD 0
#endif

#if ZUMO_SIMD
namespace zumo {

// Whether this processor has what the kernels chosen at run time need.
inline bool HaveSsse3() noexcept {
  static const bool have = __builtin_cpu_supports("ssse3");
  return have;
}
inline bool HaveAvx2() noexcept {
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
}
// AVX-512 with byte and word lanes and full byte permutes (the colour conversion's kernel).
inline bool HaveAvx512Vbmi() noexcept {
  static const bool have = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                           __builtin_cpu_supports("avx512vbmi");
  return have;
}

}  // namespace zumo
#endif

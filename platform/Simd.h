#pragma once

// The one switch between the vector (SSE2/SSSE3) and hand-scheduled x86-64 paths and the
// portable scalar paths. Both give the same bytes; the scalar ones are what any other
// processor builds, and `-DZUMO_NO_SIMD=ON` builds them here so that they are tested too.
#if !defined(ZUMO_NO_SIMD) && defined(__SSE2__) && defined(__x86_64__) && defined(__GNUC__)
#define ZUMO_SIMD 1
#else
#define ZUMO_SIMD 0
#endif

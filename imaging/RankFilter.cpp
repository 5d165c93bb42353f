// The 3 x 3 rank filter and the ranking of nine pixels behind it.
//
// A pixel packs into blue + 256 green + 65536 red, below 2^24, so a packed colour is an
// exact single-precision float and the vector min/max instructions order four windows
// at a time. The nine values go through a sorting network instead of a bubble sort:
// the K-th smallest of nine values is the same whatever sorts them, and equal packed
// values are equal pixels, so the chosen pixel is the same. Only the comparators that
// lead to output K survive compilation.
//
// The windows read the picture as it was: the packed copies of the three rows a window
// spans are taken before the row below is overwritten, so no whole copy is needed.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/Simd.h"

#if ZUMO_SIMD
#include <emmintrin.h>
#endif

#include "imaging/ABitmap.h"

namespace zumo {
namespace {

inline std::int32_t Lo(std::int32_t a, std::int32_t b) { return a < b ? a : b; }
inline std::int32_t Hi(std::int32_t a, std::int32_t b) { return a < b ? b : a; }
inline float Lo(float a, float b) { return a < b ? a : b; }
inline float Hi(float a, float b) { return a < b ? b : a; }
#if ZUMO_SIMD
inline __m128 Lo(__m128 a, __m128 b) { return _mm_min_ps(a, b); }
inline __m128 Hi(__m128 a, __m128 b) { return _mm_max_ps(a, b); }
#endif

template <typename T>
inline void Order(T& a, T& b) {
  const T low = Lo(a, b);
  b = Hi(a, b);
  a = low;
}

// The value of rank K (1 = smallest) among v[0..8], by a 25-comparator sorting network.
template <int K, typename T>
inline T SelectRank(T v0, T v1, T v2, T v3, T v4, T v5, T v6, T v7, T v8) {
  T v[9] = {v0, v1, v2, v3, v4, v5, v6, v7, v8};
  Order(v[0], v[3]); Order(v[1], v[7]); Order(v[2], v[5]); Order(v[4], v[8]);
  Order(v[0], v[7]); Order(v[2], v[4]); Order(v[3], v[8]); Order(v[5], v[6]);
  Order(v[0], v[2]); Order(v[1], v[3]); Order(v[4], v[5]); Order(v[7], v[8]);
  Order(v[1], v[4]); Order(v[3], v[6]); Order(v[5], v[7]);
  Order(v[0], v[1]); Order(v[2], v[4]); Order(v[3], v[5]); Order(v[6], v[8]);
  Order(v[2], v[3]); Order(v[4], v[5]); Order(v[6], v[7]);
  Order(v[1], v[2]); Order(v[3], v[4]); Order(v[5], v[6]);
  return v[K - 1];
}

inline std::int32_t Pack(const std::uint8_t* pixel) {
  return pixel[0] + 256 * pixel[1] + 65536 * pixel[2];
}

inline void Unpack(std::int32_t packed, std::uint8_t* pixel) {
  pixel[0] = static_cast<std::uint8_t>(packed);
  pixel[1] = static_cast<std::uint8_t>(packed >> 8);
  pixel[2] = static_cast<std::uint8_t>(packed >> 16);
}

int ClampRank(int k) { return std::clamp(k, 1, 9); }

template <int K>
std::int32_t RankOf9Fixed(const std::int32_t* p) {
  return SelectRank<K>(p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], p[8]);
}

template <int K>
void RankRows(Bitmap& target) {
  const int w = target.Width();
  const int h = target.Height();
  std::uint8_t* const bits = target.MutableBits();
  const std::ptrdiff_t stride = target.Stride();

  // Packed colours of the unfiltered rows y - 1, y, y + 1, rotating.
  std::vector<float> storage(3 * static_cast<std::size_t>(w));
  float* packed[3] = {storage.data(), storage.data() + w, storage.data() + 2 * w};
  auto pack_row = [&](int y, float* out) {
    const std::uint8_t* row = bits + y * stride;
    for (int x = 0; x < w; ++x) out[x] = static_cast<float>(Pack(row + 3 * x));
  };
  pack_row(0, packed[0]);
  pack_row(1, packed[1]);

  for (int y = 1; y < h - 1; ++y) {
    pack_row(y + 1, packed[2]);
    const float* a = packed[0];
    const float* b = packed[1];
    const float* c = packed[2];
    std::uint8_t* const row = bits + y * stride;
    int x = 1;
#if ZUMO_SIMD
    // Four windows at a time: the last loads reach column x + 4 <= w - 1.
    alignas(16) std::int32_t chosen[4];
    for (; x + 3 <= w - 2; x += 4) {
      const __m128 r = SelectRank<K>(_mm_loadu_ps(a + x - 1), _mm_loadu_ps(a + x), _mm_loadu_ps(a + x + 1),
                                     _mm_loadu_ps(b + x - 1), _mm_loadu_ps(b + x), _mm_loadu_ps(b + x + 1),
                                     _mm_loadu_ps(c + x - 1), _mm_loadu_ps(c + x), _mm_loadu_ps(c + x + 1));
      _mm_store_si128(reinterpret_cast<__m128i*>(chosen), _mm_cvttps_epi32(r));
      for (int lane = 0; lane < 4; ++lane) Unpack(chosen[lane], row + 3 * (x + lane));
    }
#endif
    for (; x <= w - 2; ++x) {
      const float r = SelectRank<K>(a[x - 1], a[x], a[x + 1], b[x - 1], b[x], b[x + 1], c[x - 1], c[x], c[x + 1]);
      Unpack(static_cast<std::int32_t>(r), row + 3 * x);
    }
    std::rotate(packed, packed + 1, packed + 3);
  }
}

}  // namespace

std::int32_t RankOf9(std::array<BgrPixel, 9> pixels, std::uint8_t K) {
  std::int32_t packed[9];
  for (int i = 0; i < 9; ++i) packed[i] = pixels[i].b + 256 * pixels[i].g + 65536 * pixels[i].r;
  // K is 1..9 by contract; outside that the nearest end is taken.
  switch (ClampRank(K)) {
    case 1: return RankOf9Fixed<1>(packed);
    case 2: return RankOf9Fixed<2>(packed);
    case 3: return RankOf9Fixed<3>(packed);
    case 4: return RankOf9Fixed<4>(packed);
    case 5: return RankOf9Fixed<5>(packed);
    case 6: return RankOf9Fixed<6>(packed);
    case 7: return RankOf9Fixed<7>(packed);
    case 8: return RankOf9Fixed<8>(packed);
    default: return RankOf9Fixed<9>(packed);
  }
}

void TABitmap::RankFilter(Bitmap& Target, std::uint8_t K) {
  if (Target.Width() < 3 || Target.Height() < 3) return;
  // The system passes 5; a rank outside 1..9 is taken as the nearest end.
  switch (ClampRank(K)) {
    case 1: RankRows<1>(Target); break;
    case 2: RankRows<2>(Target); break;
    case 3: RankRows<3>(Target); break;
    case 4: RankRows<4>(Target); break;
    case 5: RankRows<5>(Target); break;
    case 6: RankRows<6>(Target); break;
    case 7: RankRows<7>(Target); break;
    case 8: RankRows<8>(Target); break;
    default: RankRows<9>(Target); break;
  }
}

}  // namespace zumo

#include "imaging/detail/PixelPlanes.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/Simd.h"

#if ZUMO_SIMD
namespace zumo::detail {
namespace {

TEST(PixelPlanes, SplitGivesChannelPlanesAndJoinRestoresPixels) {
  std::uint8_t bytes[48];
  for (int i = 0; i < 48; ++i) bytes[i] = static_cast<std::uint8_t>(i * 5 + 3);
  __m128i v[3];
  for (int k = 0; k < 3; ++k) v[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * k));

  SplitPlanes(v[0], v[1], v[2]);
  std::uint8_t planes[3][16];
  for (int c = 0; c < 3; ++c) _mm_storeu_si128(reinterpret_cast<__m128i*>(planes[c]), v[c]);
  for (int c = 0; c < 3; ++c)
    for (int x = 0; x < 16; ++x) ASSERT_EQ(planes[c][x], bytes[3 * x + c]) << "channel " << c << " pixel " << x;

  JoinPlanes(v[0], v[1], v[2]);
  std::uint8_t joined[48];
  for (int k = 0; k < 3; ++k) _mm_storeu_si128(reinterpret_cast<__m128i*>(joined + 16 * k), v[k]);
  for (int i = 0; i < 48; ++i) ASSERT_EQ(joined[i], bytes[i]) << i;
}

}  // namespace
}  // namespace zumo::detail
#endif

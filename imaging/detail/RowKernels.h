#pragma once

#include <cstddef>
#include <cstdint>

// Row kernels shared by the point operations: each walks the first n bytes of one row in
// place. They use SSE2 (part of every x86-64) where it pays and plain loops elsewhere,
// and give exactly the result of the per-byte rule they implement.
namespace zumo::detail {

// Per-channel offsets for a saturating add: byte i of a row gets offset[i % 3] added and
// the sum clipped to 0..255. Offsets are stored split into a raising and a lowering part,
// repeated over 48 bytes (16 pixels, three SSE2 registers).
class ChannelOffsets {
 public:
  // Offsets in memory order blue, green, red; any int is accepted (|d| >= 255 saturates).
  ChannelOffsets(int blue, int green, int red) noexcept;
  bool IsZero() const noexcept { return zero_; }
  void Apply(std::uint8_t* row, std::size_t n) const noexcept;

 private:
  alignas(16) std::uint8_t raise_[48];
  alignas(16) std::uint8_t lower_[48];
  int offset_[3];
  bool zero_;
};

// row[i] <- table[row[i]] for the first n bytes.
void MapBytes(std::uint8_t* row, std::size_t n, const std::uint8_t (&table)[256]) noexcept;

// target[i] <- (source[i] * a + target[i] * (256 - a)) >> 8, a in 1..255. The two rows must
// not overlap.
void BlendBytes(const std::uint8_t* source, std::uint8_t* target, std::size_t n, int a) noexcept;

}  // namespace zumo::detail

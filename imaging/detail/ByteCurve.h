#pragma once

#include <cstddef>
#include <cstdint>

namespace zumo::detail {

// A tone curve given as a 256-entry table (new byte = table[old byte]), applied to rows.
//
// A table lookup walks the bytes one at a time. Many curves of this program are also a
// clipped straight line (contrast) or the rounded square i * i / 255 (gamma), which SSE2
// computes sixteen bytes at a time (a line in 16-bit arithmetic when its slope and
// rounding allow, else in 32-bit). The curve tries those forms and keeps one only after
// running it over all 256 byte values and finding the table exactly: the result is always
// that of the lookup.
class ByteCurve {
 public:
  explicit ByteCurve(const std::uint8_t (&table)[256]) noexcept;

  bool IsIdentity() const noexcept { return kind_ == Kind::kIdentity; }
  void Apply(std::uint8_t* row, std::size_t n) const noexcept;

  enum class Kind { kIdentity, kShortLine, kLinear, kSquare, kTable };
  Kind kind() const noexcept { return kind_; }

 private:
  bool FitShortLine() noexcept;
  bool FitLine() noexcept;
  void ApplyWith(Kind kind, std::uint8_t* row, std::size_t n) const noexcept;
  bool Reproduces(Kind kind) const noexcept;

  Kind kind_ = Kind::kTable;
  std::uint8_t table_[256];
  // kLinear: new = clip((old * slope_ + offset_) >> kShift), in 32 bits.
  static constexpr int kShift = 13;
  int slope_ = 0;
  int offset_ = 0;
  // kShortLine: new = clip((((old << 8) * short_slope_ >> 16) + short_offset_) >> kShortShift),
  // all in 16 bits: twice as many bytes per instruction, for slopes 0..2.
  static constexpr int kShortShift = 6;
  int short_slope_ = 0;
  int short_offset_ = 0;
};

}  // namespace zumo::detail

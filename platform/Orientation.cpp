#include "platform/Orientation.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include <libexif/exif-data.h>

#include "platform/Simd.h"

#if ZUMO_SIMD
#include <immintrin.h>
#endif

namespace zumo {
namespace {

struct ExifDataDeleter {
  void operator()(ExifData* data) const noexcept { exif_data_unref(data); }
};

// The tiles of the quarter turns, in pixels. 64 x 64 pixels are 12 KB read and 12 KB
// written: both fit a 32 KB first-level cache.
constexpr int kTileRows = 64;  // target rows (source columns)
constexpr int kTileCols = 64;  // target columns (source rows)

inline void CopyPixel(std::uint8_t* dst, const std::uint8_t* src) noexcept {
  dst[0] = src[0];
  dst[1] = src[1];
  dst[2] = src[2];
}

// Moves four bytes where three belong: the fourth byte written is the first byte of the next
// pixel of the same target row, which is written afterwards (callers make sure of that), and
// the fourth byte read lies inside the source buffer (callers make sure of that too).
inline void CopyPixelWide(std::uint8_t* dst, const std::uint8_t* src) noexcept {
  std::uint32_t v;
  std::memcpy(&v, src, 4);
  std::memcpy(dst, &v, 4);
}


#if ZUMO_SIMD
// The SSSE3 kernels (chosen at run time): pixels moved four or five at a time with byte
// shuffles. They write a few bytes past the pixels they own, always onto pixels of the same
// target row that are written afterwards.

bool HaveSsse3() {
  static const bool have = __builtin_cpu_supports("ssse3");
  return have;
}

// Target rows y..y+3, pixels x..x+3, from four source rows (pointers at the first of the four
// source pixels, `left` being the leftmost of the four source columns). 16 bytes are read
// from `left` on, 16 written from each target position.
__attribute__((target("ssse3"))) inline void Block4x4(const std::uint8_t* const rows[4], std::uint8_t* const out[4],
                                                      bool reversed) {
  // Four pixels of three bytes to four 32-bit lanes, in the source's order or reversed.
  const __m128i expand = reversed ? _mm_setr_epi8(9, 10, 11, -1, 6, 7, 8, -1, 3, 4, 5, -1, 0, 1, 2, -1)
                                  : _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i pack = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  const __m128i r0 = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[0])), expand);
  const __m128i r1 = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[1])), expand);
  const __m128i r2 = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[2])), expand);
  const __m128i r3 = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[3])), expand);
  const __m128i t0 = _mm_unpacklo_epi32(r0, r1);
  const __m128i t1 = _mm_unpacklo_epi32(r2, r3);
  const __m128i t2 = _mm_unpackhi_epi32(r0, r1);
  const __m128i t3 = _mm_unpackhi_epi32(r2, r3);
  // The pixels of r0..r3 become the target pixels x..x+3 of rows out[0..3].
  const __m128i c0 = _mm_unpacklo_epi64(t0, t1);
  const __m128i c1 = _mm_unpackhi_epi64(t0, t1);
  const __m128i c2 = _mm_unpacklo_epi64(t2, t3);
  const __m128i c3 = _mm_unpackhi_epi64(t2, t3);
  // The four bytes after the twelve are the next pixels of the target row, written later.
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out[0]), _mm_shuffle_epi8(c0, pack));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out[1]), _mm_shuffle_epi8(c1, pack));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out[2]), _mm_shuffle_epi8(c2, pack));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out[3]), _mm_shuffle_epi8(c3, pack));
}

// A row mirrored, five pixels at a time; returns how many target pixels were done.
__attribute__((target("ssse3"))) int MirrorRowSsse3(std::uint8_t* dst, const std::uint8_t* src, int width) {
  // Target pixels x..x+4 are source pixels W-1-x down to W-5-x; the 16 bytes loaded start
  // one byte before pixel W-5-x.
  const __m128i reverse = _mm_setr_epi8(13, 14, 15, 10, 11, 12, 7, 8, 9, 4, 5, 6, 1, 2, 3, -1);
  int x = 0;
  for (; x + 6 <= width; x += 5) {
    const std::uint8_t* s = src + 3 * std::ptrdiff_t{width - 5 - x} - 1;
    const __m128i v = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s)), reverse);
    // The sixteenth byte lands on target pixel x+5, written next.
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * std::ptrdiff_t{x}), v);
  }
  return x;
}
#endif

// Row y of the target, mirrored or not, from source row `src` of `width` pixels.
void MirrorRow(std::uint8_t* dst, const std::uint8_t* src, int width) noexcept {
  int x = 0;
#if ZUMO_SIMD
  if (HaveSsse3()) x = MirrorRowSsse3(dst, src, width);
#endif
  const std::uint8_t* s = src + 3 * std::ptrdiff_t{width - 1 - x};
  for (; x < width; ++x, s -= 3) CopyPixel(dst + 3 * x, s);
}


// The four turns that exchange the sides. Target pixel (x, y) comes from source column
// sx(y) = y or W-1-y and source row sy(x) = x or H-1-x; one target row is one source
// column, read downwards or upwards.
void TurnQuarter(const Bitmap& src, Bitmap& dst, Orientation orientation) {
  const int src_w = src.Width();
  const int src_h = src.Height();
  const int dst_w = dst.Width();   // = src_h
  const int dst_h = dst.Height();  // = src_w
  const bool column_from_right = orientation == Orientation::Transverse || orientation == Orientation::TurnAnticlockwise;
  const bool rows_upwards = orientation == Orientation::TurnClockwise || orientation == Orientation::Transverse;
  const std::ptrdiff_t src_stride = src.Stride();
  const std::ptrdiff_t dst_stride = dst.Stride();
  const std::uint8_t* src_bits = src.Bits();
  std::uint8_t* dst_bits = dst.MutableBits();
  // A four-byte read of a source pixel stays inside the buffer unless the pixel ends its row
  // and the row has no padding (the next row, or nothing, follows): such a column is read
  // three bytes at a time.
  const bool padded = src_stride > 3 * std::ptrdiff_t{src_w};

  for (int y0 = 0; y0 < dst_h; y0 += kTileRows) {
    const int y1 = std::min(y0 + kTileRows, dst_h);
    for (int x0 = 0; x0 < dst_w; x0 += kTileCols) {
      const int x1 = std::min(x0 + kTileCols, dst_w);
      // The last pixel of a target row takes a three-byte store: nothing follows it there
      // that a later store would put right.
      const int wide_end = x1 == dst_w ? x1 - 1 : x1;
      const std::ptrdiff_t step = rows_upwards ? -src_stride : src_stride;
      const std::ptrdiff_t first_row = src_stride * (rows_upwards ? src_h - 1 - x0 : x0);
      // One target row, pixels x0..x1-1: one source column read downwards or upwards.
      auto turn_row = [&](int y) {
        const int sx = column_from_right ? src_w - 1 - y : y;
        const std::uint8_t* s = src_bits + 3 * std::ptrdiff_t{sx} + first_row;
        std::uint8_t* d = dst_bits + dst_stride * y + 3 * std::ptrdiff_t{x0};
        int x = x0;
        if (padded || sx < src_w - 1) {
          for (; x < wide_end; ++x, s += step, d += 3) CopyPixelWide(d, s);
        }
        for (; x < x1; ++x, s += step, d += 3) CopyPixel(d, s);
      };
      int y = y0;
#if ZUMO_SIMD
      // Four target rows at a time: four neighbouring source columns, read 16 bytes from the
      // leftmost one, which must leave room for those bytes in its row.
      if (HaveSsse3()) {
        for (; y + 4 <= y1; y += 4) {
          const int left = column_from_right ? src_w - 4 - y : y;
          if (left + 6 > src_w) {
            for (int j = 0; j < 4; ++j) turn_row(y + j);
            continue;
          }
          // Fetch ahead the source rows of the next tile along, four rows per group of this
          // tile: the rows are far apart, and the hardware does not guess that pattern.
          {
            const int ahead = x1 + (y - y0);
            const int first_col = column_from_right ? src_w - y1 : y0;
            for (int k = 0; k < 4 && ahead + k < dst_w; ++k) {
              const int row = rows_upwards ? src_h - 1 - (ahead + k) : ahead + k;
              const std::uint8_t* p = src_bits + src_stride * row + 3 * std::ptrdiff_t{first_col};
              for (int b = 0; b < 3 * kTileRows; b += 64) _mm_prefetch(reinterpret_cast<const char*>(p + b), _MM_HINT_T0);
            }
          }
          const std::uint8_t* s = src_bits + 3 * std::ptrdiff_t{left} + first_row;
          std::uint8_t* out[4];
          for (int j = 0; j < 4; ++j) out[j] = dst_bits + dst_stride * (y + j) + 3 * std::ptrdiff_t{x0};
          int x = x0;
          for (; x + 4 <= x1 && x + 6 <= dst_w; x += 4) {
            const std::uint8_t* rows[4] = {s, s + step, s + 2 * step, s + 3 * step};
            Block4x4(rows, out, column_from_right);
            s += 4 * step;
            for (std::uint8_t*& o : out) o += 12;
          }
          for (; x < x1; ++x, s += step) {
            for (int j = 0; j < 4; ++j) {
              CopyPixel(out[j], s + 3 * (column_from_right ? 3 - j : j));
              out[j] += 3;
            }
          }
        }
      }
#endif
      for (; y < y1; ++y) turn_row(y);
    }
  }
}

}  // namespace

Orientation ReadExifOrientation(std::span<const std::uint8_t> exif_block) noexcept {
  if (exif_block.size() < 6 || exif_block.size() > 0xFFFF) return Orientation::Upright;
  const std::unique_ptr<ExifData, ExifDataDeleter> data(exif_data_new());
  if (!data) return Orientation::Upright;
  // Read what is there; do not let libexif add the entries the standard asks for.
  exif_data_unset_option(data.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
  exif_data_load_data(data.get(), exif_block.data(), static_cast<unsigned int>(exif_block.size()));
  ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
  if (entry == nullptr || entry->format != EXIF_FORMAT_SHORT || entry->components < 1 || entry->size < 2 ||
      entry->data == nullptr)
    return Orientation::Upright;
  const ExifShort value = exif_get_short(entry->data, exif_data_get_byte_order(data.get()));
  if (value < 1 || value > 8) return Orientation::Upright;
  return static_cast<Orientation>(value);
}

void CheckUprightSize(long long width, long long height, Orientation orientation) {
  if (SwapsSides(orientation))
    Bitmap::CheckSize(height, width);
  else
    Bitmap::CheckSize(width, height);
}

Bitmap TurnUpright(const Bitmap& stored, Orientation orientation) {
  if (orientation == Orientation::Upright) return stored;
  const int w = stored.Width();
  const int h = stored.Height();
  if (stored.Empty()) return SwapsSides(orientation) ? Bitmap(h, w) : Bitmap(w, h);
  if (SwapsSides(orientation)) {
    CheckUprightSize(w, h, orientation);
    Bitmap upright(h, w, Bitmap::Uninitialized{});
    TurnQuarter(stored, upright, orientation);
    return upright;
  }
  Bitmap upright(w, h, Bitmap::Uninitialized{});
  std::uint8_t* dst = upright.MutableBits();
  const std::uint8_t* src = stored.Bits();
  const std::ptrdiff_t stride = stored.Stride();
  const std::size_t row_bytes = 3 * static_cast<std::size_t>(w);
  for (int y = 0; y < h; ++y) {
    const bool from_bottom = orientation != Orientation::MirrorLeftRight;
    const std::uint8_t* s = src + stride * (from_bottom ? h - 1 - y : y);
    if (orientation == Orientation::MirrorTopBottom)
      std::memcpy(dst + stride * y, s, row_bytes);
    else
      MirrorRow(dst + stride * y, s, w);
  }
  return upright;
}

}  // namespace zumo

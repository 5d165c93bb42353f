#include "imaging/Turn.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

#include "imaging/detail/RowBands.h"
#include "platform/Simd.h"
#include "platform/Threads.h"

#if ZUMO_SIMD
#include <immintrin.h>
#endif

namespace zumo {
namespace {

inline void CopyPixel(std::uint8_t* dst, const std::uint8_t* src) noexcept {
  dst[0] = src[0];
  dst[1] = src[1];
  dst[2] = src[2];
}

#if ZUMO_SIMD
// The SSSE3 and AVX2 kernels (chosen at run time): pixels moved four or five at a time with
// byte shuffles. They write a few bytes past the pixels they own, always onto pixels of the
// same target row (or of its staging row) that are written afterwards.

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

// 16 bytes of source row k in the low lane, of row k + 4 in the high one.
__attribute__((target("avx2"))) inline __m256i LoadTwoRows(const std::uint8_t* src, std::ptrdiff_t step, int k) {
  const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + k * step));
  const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + (k + 4) * step));
  return _mm256_inserti128_si256(_mm256_castsi128_si256(lo), hi, 1);
}

// Target rows j..j+3, pixels x..x+7, from eight source rows `step` apart (`src` at the
// leftmost of four neighbouring source columns in the first of them). 16 bytes are read from
// each source row, 32 written from each target position (24 of them pixels x..x+7). Each
// 128-bit lane does what Block4x4 does: the low one for source rows 0..3, the high one for
// rows 4..7.
__attribute__((target("avx2"))) inline void Block4x8(const std::uint8_t* src, std::ptrdiff_t step,
                                                     std::uint8_t* const out[4], bool reversed) {
  const __m256i expand =
      reversed ? _mm256_setr_epi8(9, 10, 11, -1, 6, 7, 8, -1, 3, 4, 5, -1, 0, 1, 2, -1, 9, 10, 11, -1, 6, 7, 8, -1, 3, 4,
                                  5, -1, 0, 1, 2, -1)
               : _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7,
                                  8, -1, 9, 10, 11, -1);
  const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6, 8, 9,
                                        10, 12, 13, 14, -1, -1, -1, -1);
  // The two lanes' twelve bytes side by side.
  const __m256i join = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);
  const __m256i r0 = _mm256_shuffle_epi8(LoadTwoRows(src, step, 0), expand);
  const __m256i r1 = _mm256_shuffle_epi8(LoadTwoRows(src, step, 1), expand);
  const __m256i r2 = _mm256_shuffle_epi8(LoadTwoRows(src, step, 2), expand);
  const __m256i r3 = _mm256_shuffle_epi8(LoadTwoRows(src, step, 3), expand);
  const __m256i t0 = _mm256_unpacklo_epi32(r0, r1);
  const __m256i t1 = _mm256_unpacklo_epi32(r2, r3);
  const __m256i t2 = _mm256_unpackhi_epi32(r0, r1);
  const __m256i t3 = _mm256_unpackhi_epi32(r2, r3);
  const __m256i c[4] = {_mm256_unpacklo_epi64(t0, t1), _mm256_unpackhi_epi64(t0, t1), _mm256_unpacklo_epi64(t2, t3),
                        _mm256_unpackhi_epi64(t2, t3)};
  for (int j = 0; j < 4; ++j)
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out[j]),
                        _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(c[j], pack), join));
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
//
// The target goes by in bands of kBandRows whole rows (as many neighbouring source columns),
// each band walked from left to right kChunkPixels target pixels (source rows) at a time.
// A chunk is turned into a staging buffer that stays in the first-level cache and then
// leaves for the target one whole 64-byte cache line at a time, with streaming stores where
// the vector unit has them: a target line is then written without being read first, and a
// line filled in one go never waits half-written in a write-combining buffer. The bytes of
// a row that do not fill a line (the lines it shares with its neighbour rows, and the end of
// a chunk) wait in the staging buffer for the next chunk or go out with ordinary stores.
// Walking the rows whole reads the source lines of a band in one sweep down the picture; the
// lines shared with the next band are still cached when it comes.
class QuarterTurn {
 public:
  QuarterTurn(const Bitmap& src, Bitmap& dst, Orientation orientation)
      : src_bits_(src.Bits()),
        src_stride_(src.Stride()),
        src_w_(src.Width()),
        src_h_(src.Height()),
        dst_bits_(dst.MutableBits()),
        dst_stride_(dst.Stride()),
        dst_w_(dst.Width()),
        dst_h_(dst.Height()),
        column_from_right_(orientation == Orientation::Transverse || orientation == Orientation::TurnAnticlockwise),
        rows_upwards_(orientation == Orientation::TurnClockwise || orientation == Orientation::Transverse) {}

  int Bands() const noexcept { return (dst_h_ + kBandRows - 1) / kBandRows; }

  // Band `band` of the target: its rows band * kBandRows ... (fewer at the bottom).
  void RunBand(int band) {
    const int y0 = band * kBandRows;
    StartBand(y0, std::min(kBandRows, dst_h_ - y0));
    for (int x0 = 0; x0 < dst_w_; x0 += kChunkPixels) {
      const int x1 = std::min(x0 + kChunkPixels, dst_w_);
      Fill(x0, x1);
      WriteOut(x0, x1);
    }
#if ZUMO_SIMD
    _mm_sfence();  // the streamed lines are seen by every core before the picture is handed on
#endif
  }

  static constexpr int kBandRows = 64;

 private:
  // 192 bytes: every chunk but a row's last ends each row 3 whole lines further on.
  static constexpr int kChunkPixels = 64;
  static constexpr int kAhead = 32;
  static constexpr std::ptrdiff_t kLine = 64;
  // One row of the staging buffer: the bytes left over from the last chunk (less than a
  // line), the chunk, and room for the vector kernels' stores past its end.
  static constexpr std::ptrdiff_t kStageStride = kLine + 3 * kChunkPixels + kLine;

  const std::uint8_t* SourceRow(int x) const noexcept {
    return src_bits_ + src_stride_ * (rows_upwards_ ? src_h_ - 1 - x : x);
  }
  int SourceColumn(int y) const noexcept { return column_from_right_ ? src_w_ - 1 - y : y; }

  void StartBand(int y0, int rows) {
    y0_ = y0;
    rows_ = rows;
    for (int j = 0; j < rows; ++j) {
      // Staging byte 0 of a row stands for the target byte at the cache-line boundary at or
      // before the row's first byte.
      const std::ptrdiff_t row = dst_stride_ * (y0 + j);
      const std::ptrdiff_t lead = static_cast<std::ptrdiff_t>((reinterpret_cast<std::uintptr_t>(dst_bits_) + row) % kLine);
      line_[j] = row - lead;
      due_[j] = lead;
      pos_[j] = lead;
    }
  }

  std::uint8_t* StageAt(int j, int x) noexcept { return stage_[j] + pos_[j] + 3 * (x - x0_); }

  // Target pixels x0..x1-1 of every row of the band into the staging buffer.
  void Fill(int x0, int x1) {
    x0_ = x0;
    int x = x0;
#if ZUMO_SIMD
    if (HaveAvx2()) x = FillAvx2(x, x1);
    if (HaveSsse3()) x = FillSsse3(x, x1);
#endif
    FillScalar(x, x1, 0, rows_);
  }

  // Pixels x0..x1-1 of band rows j0..j1-1, one at a time.
  void FillScalar(int x0, int x1, int j0, int j1) {
    for (int x = x0; x < x1; ++x) {
      const std::uint8_t* s = SourceRow(x);
      for (int j = j0; j < j1; ++j) CopyPixel(StageAt(j, x), s + 3 * SourceColumn(y0_ + j));
    }
  }

#if ZUMO_SIMD
  // As FillSsse3, eight source rows at a time.
  __attribute__((target("avx2"))) int FillAvx2(int x, int x1) {
    const std::ptrdiff_t step = rows_upwards_ ? -src_stride_ : src_stride_;
    const int first_col = column_from_right_ ? src_w_ - y0_ - rows_ : y0_;
    const int span = 3 * rows_;
    const int groups = rows_ / 4;
    std::uint8_t* out[kBandRows];
    for (int j = 0; j < rows_; ++j) out[j] = stage_[j] + pos_[j];
    for (; x + 8 <= x1; x += 8) {
      for (int k = 0; k < 8 && x + kAhead + k < dst_w_; ++k) {
        const std::uint8_t* p = SourceRow(x + kAhead + k) + 3 * first_col;
        for (int b = 0; b < span; b += kLine) _mm_prefetch(reinterpret_cast<const char*>(p + b), _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char*>(p + span - 1), _MM_HINT_T0);
      }
      const std::uint8_t* s = SourceRow(x);
      const std::ptrdiff_t o = 3 * (x - x0_);
      for (int g = 0; g < groups; ++g) {
        const int j = 4 * g;
        const int left = column_from_right_ ? src_w_ - 4 - (y0_ + j) : y0_ + j;
        if (left + 6 > src_w_) {
          FillScalar(x, x + 8, j, j + 4);
          continue;
        }
        std::uint8_t* const o4[4] = {out[j] + o, out[j + 1] + o, out[j + 2] + o, out[j + 3] + o};
        Block4x8(s + 3 * std::ptrdiff_t{left}, step, o4, column_from_right_);
      }
      FillScalar(x, x + 8, 4 * groups, rows_);
    }
    return x;
  }

  // Four source rows at a time, each read in blocks of four neighbouring source columns
  // (four target rows); returns the first pixel left undone.
  __attribute__((target("ssse3"))) int FillSsse3(int x, int x1) {
    const std::ptrdiff_t step = rows_upwards_ ? -src_stride_ : src_stride_;
    // The band's part of a source row, for fetching ahead: the rows one chunk on are far
    // apart and the hardware does not guess that pattern.
    const int first_col = column_from_right_ ? src_w_ - y0_ - rows_ : y0_;
    const int span = 3 * rows_;
    const int groups = rows_ / 4;
    for (; x + 4 <= x1; x += 4) {
      const std::uint8_t* s = SourceRow(x);
      for (int k = 0; k < 4 && x + kAhead + k < dst_w_; ++k) {
        const std::uint8_t* p = SourceRow(x + kAhead + k) + 3 * first_col;
        for (int b = 0; b < span; b += kLine) _mm_prefetch(reinterpret_cast<const char*>(p + b), _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char*>(p + span - 1), _MM_HINT_T0);
      }
      for (int g = 0; g < groups; ++g) {
        const int j = 4 * g;
        // The leftmost of the four source columns; the 16 bytes read from it must stay in
        // its row.
        const int left = column_from_right_ ? src_w_ - 4 - (y0_ + j) : y0_ + j;
        if (left + 6 > src_w_) {
          FillScalar(x, x + 4, j, j + 4);
          continue;
        }
        const std::uint8_t* c = s + 3 * std::ptrdiff_t{left};
        const std::uint8_t* rows[4] = {c, c + step, c + 2 * step, c + 3 * step};
        std::uint8_t* const out[4] = {StageAt(j, x), StageAt(j + 1, x), StageAt(j + 2, x), StageAt(j + 3, x)};
        Block4x4(rows, out, column_from_right_);
      }
      FillScalar(x, x + 4, 4 * groups, rows_);
    }
    return x;
  }
#endif

  // The filled chunk of every row out to the target: whole lines, and the ends of the row
  // once the row is done; what is left waits at the start of the staging row.
  void WriteOut(int x0, int x1) {
    const bool row_done = x1 == dst_w_;
    for (int j = 0; j < rows_; ++j) {
      const std::ptrdiff_t end = pos_[j] + 3 * (x1 - x0);
      const std::ptrdiff_t keep = row_done ? end : end / kLine * kLine;
      WriteRange(j, due_[j], keep);
      if (row_done) continue;
      // The leftover, and whatever follows it up to a line (the staging row has the room).
      std::memcpy(stage_[j], stage_[j] + keep, kLine);
      line_[j] += keep;
      due_[j] = 0;
      pos_[j] = end - keep;
    }
  }

  // Staging bytes [from, to) of band row j to the target.
  void WriteRange(int j, std::ptrdiff_t from, std::ptrdiff_t to) {
    std::uint8_t* target = dst_bits_ + line_[j];
    const std::uint8_t* stage = stage_[j];
    // Up to the first line boundary: a line shared with the row before.
    const std::ptrdiff_t head = std::min(to, (from + kLine - 1) / kLine * kLine);
    if (from < head) std::memcpy(target + from, stage + from, static_cast<std::size_t>(head - from));
    std::ptrdiff_t o = head;
    for (; o + kLine <= to; o += kLine) StoreLine(target + o, stage + o);
    // A row's last line, shared with the row after (or holding the row's padding).
    if (o < to) std::memcpy(target + o, stage + o, static_cast<std::size_t>(to - o));
  }

  static void StoreLine(std::uint8_t* target, const std::uint8_t* stage) noexcept {
#if ZUMO_SIMD
    for (int i = 0; i < kLine; i += 16)
      _mm_stream_si128(reinterpret_cast<__m128i*>(target + i), _mm_load_si128(reinterpret_cast<const __m128i*>(stage + i)));
#else
    std::memcpy(target, stage, kLine);
#endif
  }

  const std::uint8_t* const src_bits_;
  const std::ptrdiff_t src_stride_;
  const int src_w_, src_h_;
  std::uint8_t* const dst_bits_;
  const std::ptrdiff_t dst_stride_;
  const int dst_w_, dst_h_;
  const bool column_from_right_, rows_upwards_;

  int y0_ = 0, rows_ = 0;  // the band: target rows y0_..y0_+rows_-1
  int x0_ = 0;             // the chunk's first pixel
  // Per band row: the target byte (from dst_bits_, on a line boundary) that staging byte 0
  // stands for, the first staging byte not yet written out, and where pixel x0_ goes.
  std::ptrdiff_t line_[kBandRows] = {};
  std::ptrdiff_t due_[kBandRows] = {};
  std::ptrdiff_t pos_[kBandRows] = {};
  alignas(64) std::uint8_t stage_[kBandRows][kStageStride];
};

// The bands are independent: this thread and the helper take them in order as they are
// free (RunPieces). Working side by side, the two read neighbouring pieces of the same source
// rows, so the memory serves both from the rows it has open, and the lines the two bands
// share are fetched once. Each thread at work uses a turner (its staging buffers) of its own.
void TurnQuarter(const Bitmap& src, Bitmap& dst, Orientation orientation) {
  struct Turner {
    std::unique_ptr<QuarterTurn> turn;  // about 10 KB: on the heap rather than on a caller's stack
    std::atomic<bool> busy{false};
  };
  Turner turners[2];
  turners[0].turn = std::make_unique<QuarterTurn>(src, dst, orientation);
  const std::size_t bytes = static_cast<std::size_t>(dst.Stride()) * static_cast<std::size_t>(dst.Height());
  const bool two_threads = UseSecondThread(bytes, dst.Height() > QuarterTurn::kBandRows);
  if (two_threads) turners[1].turn = std::make_unique<QuarterTurn>(src, dst, orientation);
  RunPieces(static_cast<std::size_t>(turners[0].turn->Bands()), two_threads, [&turners](std::size_t band) {
    // At most two bands run at once, so one of the two turners is free.
    Turner* turner = &turners[0];
    for (int k = 0; turner->busy.exchange(true, std::memory_order_acquire); ++k) turner = &turners[(k + 1) % 2];
    turner->turn->RunBand(static_cast<int>(band));
    turner->busy.store(false, std::memory_order_release);
  });
}

}  // namespace

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
  // Rows are independent: two bands, one per thread, when the picture is large.
  detail::RunRowBands(h, static_cast<std::size_t>(stride) * h, [&](int first, int last) {
    for (int y = first; y < last; ++y) {
      const bool from_bottom = orientation != Orientation::MirrorLeftRight;
      const std::uint8_t* s = src + stride * (from_bottom ? h - 1 - y : y);
      if (orientation == Orientation::MirrorTopBottom)
        std::memcpy(dst + stride * y, s, row_bytes);
      else
        MirrorRow(dst + stride * y, s, w);
    }
  });
  return upright;
}

}  // namespace zumo

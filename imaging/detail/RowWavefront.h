#pragma once

// Runs an in-place raster-order filter on one or two threads. A pixel reads the new values
// of the rows above it and of the pixels to its left, so the picture is worked in bands of
// rows (one row, or the few rows a filter does together) from the top, each band behind
// the one above (a wavefront).
//
// On two threads every band is cut into a left and a right part (BandCuts): the calling
// thread works down the left parts, the helper down the right ones. A right part starts
// once its band's left part is done; a left part needs the band above's right part only
// for its last few columns. The two threads thus work side by side about half a row
// apart, and what one hands to the other is a few columns at the cut per band. Cutting
// the other way, whole bands in turn, hands every row over: each row would read the row
// above from the other processor's cache while it is still being written, and where the
// processors share no cache (measured here: 0.4 microseconds for a line to go there and
// back) that costs about what the second processor brings.
//
// A right part publishes how far its band's last row is final, a left part when it is
// done; the waiting side reads that with acquire ordering, so the pixels it then reads
// are the finished ones. A waiting thread spins briefly (the usual wait is for the other
// thread's next publication), then blocks and gives its processor back: the other thread
// may be waiting for it.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>
#include <type_traits>

#include "platform/Threads.h"

namespace zumo::detail {

class RowProgress {
 public:
  // Pixels between publications: large enough that the slot's cache line moves between
  // the processors a few times per row only, small enough that the row below starts soon.
  static constexpr int kGrain = 512;

  explicit RowProgress(int width) : width_(width), stride_(static_cast<std::uint32_t>(width) + 1) {
    for (auto& slot : slots_) slot.value.store(0, std::memory_order_relaxed);
    sleepers_.count.store(0, std::memory_order_relaxed);
  }

  // Row y has its first `done` pixels final.
  void Publish(int y, int done) noexcept {
    std::atomic<std::uint32_t>& slot = slots_[y & 1].value;
    // Sequentially consistent, paired with the sleeper's count-then-check: either the
    // sleeper sees this value or this side sees the sleeper and wakes it.
    slot.store(Encode(y, done), std::memory_order_seq_cst);
    if (sleepers_.count.load(std::memory_order_seq_cst) != 0) WakeAll(slot);
  }

  // How many pixels of row y are final now (without waiting).
  int Now(int y) const noexcept {
    if (y < 0) return width_;
    const std::uint32_t seen = slots_[y & 1].value.load(std::memory_order_acquire);
    return seen >= Encode(y, 0) ? Done(y, seen) : 0;
  }

  // Waits until row y has at least `needed` pixels final and returns how many it has.
  // Rows above the picture count as finished.
  int WaitFor(int y, int needed) const noexcept {
    if (y < 0) return width_;
    const std::uint32_t target = Encode(y, needed);
    const std::atomic<std::uint32_t>& slot = slots_[y & 1].value;
    std::uint32_t seen = slot.load(std::memory_order_acquire);
    if (seen >= target) return Done(y, seen);
    // Spin while the other thread is seen to move, or has stood still only for about as
    // long as a publication may take: it then runs on the other processor and publishes
    // again soon. Standing still longer, it has lost its processor (to another program, or
    // to an interrupt): block and give this processor up, so that it may run here.
    std::uint32_t last_change_value = seen;
    for (int still = 0; still < kStillSpins;) {
      SpinPause();
      seen = slot.load(std::memory_order_acquire);
      if (seen >= target) return Done(y, seen);
      if (seen != last_change_value) {
        last_change_value = seen;
        still = 0;
      } else {
        ++still;
      }
    }
    sleepers_.count.fetch_add(1, std::memory_order_seq_cst);
    while ((seen = slot.load(std::memory_order_seq_cst)) < target) BlockWhile(slot, seen);
    sleepers_.count.fetch_sub(1, std::memory_order_relaxed);
    return Done(y, seen);
  }

 private:
  // Pauses without a change before blocking: some tens of microseconds, against a
  // publication every microsecond or two while both threads run.
  static constexpr int kStillSpins = 1024;

  // 0 stands for nothing published; within the picture limits (32767 rows of at most
  // 10922 pixels) every code fits 32 bits, the width of a futex.
  std::uint32_t Encode(int y, int done) const noexcept {
    return static_cast<std::uint32_t>(y) * stride_ + static_cast<std::uint32_t>(done) + 1;
  }

  // The slot may already carry row y + 2, which implies row y is complete.
  int Done(int y, std::uint32_t seen) const noexcept {
    return seen >= Encode(y + 1, 0) ? width_ : static_cast<int>(seen - Encode(y, 0));
  }

  // Each slot on its own cache line: the two threads write different slots. The sleeper
  // count is written rarely and read at every publication: a line of its own too.
  struct alignas(64) Slot {
    std::atomic<std::uint32_t> value;
  };
  struct alignas(64) Counter {
    std::atomic<int> count;
  };
  Slot slots_[2];
  mutable Counter sleepers_;
  alignas(64) int width_;
  std::uint32_t stride_;
};

class BandPart;

// Where the bands of a two-thread job are cut, which parts have been taken, and how far
// the parts are. Row k of a band (0 at the top) is cut at column `split - k * stagger`,
// kept within the picture, where a row needs the row above final `stagger` columns past
// its own last pixel: a left part then never waits for its own band's right part.
//
// Each side's parts are taken in order. The calling thread takes the left parts and the
// helper the right ones, so that each side's columns stay in one processor's cache. A
// thread that needs a part nobody has taken yet waits while the other thread is seen to
// work (it takes that part next), and takes the part and runs it itself when the other
// thread stands still or is away (held up, or not on the job); it also goes on with the
// other side once its own is used up. A held-up helper thus delays nothing it has not
// started, and a slow one is not overtaken part by part, which would hand every row over.
class BandCuts {
 public:
  enum Side : int { kLeft = 0, kRight = 1, kNoSide = 2 };

  // The split for a caller's share (in thousandths, HelperPays::CallerShare) of bands
  // whose rows are cut `stagger` columns apart, one after the other: the left parts then
  // hold that share of the band's pixels.
  static int SplitFor(int width, int rows_per_band, int stagger, int caller_share) noexcept {
    return static_cast<int>(static_cast<std::int64_t>(width) * caller_share / 1000) +
           (rows_per_band - 1) * stagger / 2;
  }

  BandCuts(int width, int rows_per_band, int split, int stagger) noexcept
      : width_(width), split_(split), stagger_(stagger), last_row_cut_(Cut(rows_per_band - 1)),
        left_(width), right_(width) {}

  int Cut(int row_in_band) const noexcept { return std::clamp(split_ - row_in_band * stagger_, 0, width_); }

  // Runs run(part) for the next part of `preferred`'s side, or of the other side once
  // that is used up; false when every part is taken.
  template <typename Run>
  bool RunNext(Side preferred, Run& run) noexcept;

 private:
  friend class BandPart;
  template <typename BandFn>
  friend void RunBandParts(int, bool, BandCuts&, BandFn&&, HelperPays&, std::size_t);

  // Takes `side`'s part of `band` if it is the next one of its side nobody has taken.
  bool Claim(Side side, int band) noexcept {
    int expected = band;
    return next_[side].value.load(std::memory_order_relaxed) == band &&
           next_[side].value.compare_exchange_strong(expected, band + 1, std::memory_order_relaxed);
  }
  // Before waiting for `side`'s part of `band`: when nobody has taken it, waits while the
  // other thread works, and takes it over (runs it here) when that thread stands still or
  // is away. Whether it ran here.
  bool TakeOverIfHeldUp(Side side, int band) noexcept;
  // Another stretch of work done on `side` (seen by a thread waiting for the other).
  void Worked(Side side) noexcept {
    activity_[side].value.store(activity_[side].value.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
  }
  int Activity() const noexcept {
    return activity_[kLeft].value.load(std::memory_order_relaxed) +
           activity_[kRight].value.load(std::memory_order_relaxed);
  }
  // Adds the time from its making to its end to what `side`'s parts waited for the other
  // side's (kNoSide: to nothing).
  class WaitTimer {
   public:
    WaitTimer(BandCuts& cuts, Side side) noexcept
        : cuts_(cuts), side_(side), start_(side == kNoSide ? std::chrono::steady_clock::time_point{}
                                                           : std::chrono::steady_clock::now()) {}
    ~WaitTimer() {
      if (side_ == kNoSide) return;
      const auto waited = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start_);
      cuts_.waited_[side_].value.fetch_add(waited.count(), std::memory_order_relaxed);
    }
    WaitTimer(const WaitTimer&) = delete;
    WaitTimer& operator=(const WaitTimer&) = delete;

   private:
    BandCuts& cuts_;
    Side side_;
    std::chrono::steady_clock::time_point start_;
  };

  int width_, split_, stagger_;
  int last_row_cut_;     // the cut of a whole band's last row
  RowProgress left_;     // by band: its left part done (the width published)
  RowProgress right_;    // by band: its last row final up to a column
  int bands_ = 0;
  // By side: the first band whose part nobody has taken. Each on a line of its own.
  struct alignas(64) Counter {
    std::atomic<int> value{0};
  };
  Counter next_[2];
  // By side: stretches of work done, each part every RowProgress::kGrain pixels.
  Counter activity_[2];
  // By side: nanoseconds its parts waited for the other side's.
  struct alignas(64) Nanoseconds {
    std::atomic<std::int64_t> value{0};
  };
  Nanoseconds waited_[2];
  // The helper is away: it has not joined the job yet, or stood still while a part it
  // would take next was wanted. Parts are then taken over at once, until it takes one.
  alignas(64) std::atomic<bool> helper_away_{true};
  // The band function of the job under way, for parts taken over.
  void (*run_)(void* band_fn, BandPart& part) noexcept = nullptr;
  void* band_fn_ = nullptr;
};

// One piece of a wavefront job: a whole band (one thread), or the left or right part of
// one, and its dealings with the pieces before and after it.
class BandPart {
 public:
  enum class Side { kWhole, kLeft, kRight };

  BandPart(BandCuts& cuts, int band, Side side) noexcept : cuts_(cuts), band_(band), side_(side) {}

  int Band() const noexcept { return band_; }
  // The columns [First(k), End(k)) of row k of the band are this piece's.
  int First(int row_in_band) const noexcept { return side_ == Side::kRight ? cuts_.Cut(row_in_band) : 0; }
  int End(int row_in_band) const noexcept { return side_ == Side::kLeft ? cuts_.Cut(row_in_band) : cuts_.width_; }

  // Before the piece's first pixel: a right part needs its band's left part done.
  void Start() noexcept {
    if (side_ != Side::kRight || cuts_.left_.Now(band_) == cuts_.width_) return;
    const BandCuts::WaitTimer timer(cuts_, BandCuts::kRight);
    if (!cuts_.TakeOverIfHeldUp(BandCuts::kLeft, band_)) cuts_.left_.WaitFor(band_, cuts_.width_);
  }

  // Waits until the band above has its last row final for its first `pixels` columns:
  // up to its cut that is its left part's doing (taken before this part, perhaps by the
  // other thread), past it its right part's.
  void NeedAbove(int pixels) noexcept {
    if (side_ == Side::kWhole || pixels <= ready_above_) return;
    if (!left_above_done_) {
      cuts_.left_.WaitFor(band_ - 1, cuts_.width_);
      left_above_done_ = true;
      ready_above_ = cuts_.last_row_cut_;
      if (pixels <= ready_above_) return;
    }
    // The part's own progress first: looking at who has taken what costs the other
    // thread a cache line, and the part is usually there.
    if (const int now = cuts_.right_.Now(band_ - 1); now >= pixels) {
      ready_above_ = now;
      return;
    }
    // A left part waits here for the other side; a right part for its own side's band
    // above, which is no imbalance of the cut.
    const BandCuts::WaitTimer timer(cuts_, side_ == Side::kLeft ? BandCuts::kLeft : BandCuts::kNoSide);
    if (cuts_.TakeOverIfHeldUp(BandCuts::kRight, band_ - 1)) {
      ready_above_ = cuts_.width_;
    } else {
      ready_above_ = cuts_.right_.WaitFor(band_ - 1, pixels);
    }
  }

  // The band's last row is final for its first `pixels` columns: a right part tells the
  // band below every RowProgress::kGrain pixels and at the end of the row.
  void Finished(int pixels) noexcept {
    if (side_ == Side::kWhole) return;
    if (pixels >= next_publish_ || pixels >= cuts_.width_) {
      HelperHookPoint();
      if (side_ == Side::kRight) cuts_.right_.Publish(band_, pixels);
      cuts_.Worked(side_ == Side::kLeft ? BandCuts::kLeft : BandCuts::kRight);
      next_publish_ = pixels + RowProgress::kGrain;
    }
  }

  // After the piece's last pixel: a left part tells its band's right part.
  void Done() noexcept {
    if (side_ != Side::kLeft) return;
    HelperHookPoint();
    cuts_.left_.Publish(band_, cuts_.width_);
  }

 private:
  BandCuts& cuts_;
  int band_;
  Side side_;
  bool left_above_done_ = false;
  int ready_above_ = 0;  // columns of the band above's last row known final
  int next_publish_ = 0;
};

inline bool BandCuts::TakeOverIfHeldUp(Side side, int band) noexcept {
  if (band < 0) return false;
  // As long as the other thread was last seen working: about as long as RowProgress waits
  // before it blocks.
  constexpr int kStillSpins = 1024;
  int seen = Activity();
  for (int still = 0; next_[side].value.load(std::memory_order_relaxed) == band;) {
    const bool away = helper_away_.load(std::memory_order_relaxed);
    if (away || still >= kStillSpins) {
      if (!Claim(side, band)) continue;  // taken just now
      if (!away) helper_away_.store(true, std::memory_order_relaxed);
      BandPart part(*this, band, side == kLeft ? BandPart::Side::kLeft : BandPart::Side::kRight);
      run_(band_fn_, part);
      return true;
    }
    SpinPause();
    const int now = Activity();
    still = now == seen ? still + 1 : 0;
    seen = now;
  }
  return false;
}

template <typename Run>
bool BandCuts::RunNext(Side preferred, Run& run) noexcept {
  // The helper prefers the right side: taking a part, it is on the job.
  if (preferred == kRight && helper_away_.load(std::memory_order_relaxed)) {
    helper_away_.store(false, std::memory_order_relaxed);
  }
  for (const Side side : {preferred, preferred == kLeft ? kRight : kLeft}) {
    for (int band = next_[side].value.load(std::memory_order_relaxed); band < bands_;
         band = next_[side].value.load(std::memory_order_relaxed)) {
      if (!Claim(side, band)) continue;
      BandPart part(*this, band, side == kLeft ? BandPart::Side::kLeft : BandPart::Side::kRight);
      run(part);
      return true;
    }
  }
  return false;
}

// Whether a filter's job goes to two threads: rows long enough that each part is many
// runs long, and a machine on which that has paid lately (`pays`, the filter's record).
inline bool WorthTwoThreads(int width, int height, HelperPays& pays) noexcept {
  const std::size_t bytes = 3 * static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  return height >= 2 && UseSecondThread(bytes, width >= 4 * RowProgress::kGrain) && pays.Choose();
}

// Calls band_fn(part) for every band, top to bottom: on one thread with whole bands, on
// two with their left and right parts as pieces (RunPieces). band_fn must not throw and
// must do its waiting and telling through the part. The time the job took, for its
// `bytes` of pixels, goes into `pays`.
template <typename BandFn>
void RunBandParts(int bands, bool two_threads, BandCuts& cuts, BandFn&& band_fn, HelperPays& pays,
                  std::size_t bytes) {
  using Fn = std::remove_reference_t<BandFn>;
  const auto start = std::chrono::steady_clock::now();
  const auto count = static_cast<std::size_t>(std::max(bands, 0));
  bool helped = false;
  if (!two_threads) {
    helped = RunPieces(count, false, [&](std::size_t i) {
      BandPart part(cuts, static_cast<int>(i), BandPart::Side::kWhole);
      band_fn(part);
    });
  } else {
    cuts.bands_ = static_cast<int>(count);
    cuts.run_ = [](void* fn, BandPart& part) noexcept { (*static_cast<Fn*>(fn))(part); };
    cuts.band_fn_ = const_cast<void*>(static_cast<const void*>(std::addressof(band_fn)));
    const auto caller = std::this_thread::get_id();
    // Every piece runs a part while any is left, so 2 * count pieces run them all.
    helped = RunPieces(2 * count, true, [&](std::size_t) {
      cuts.RunNext(std::this_thread::get_id() == caller ? BandCuts::kLeft : BandCuts::kRight, band_fn);
    });
  }
  const std::int64_t elapsed =
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count();
  pays.Record(helped, bytes, elapsed);
  if (helped) {
    pays.RecordWaits(cuts.waited_[BandCuts::kLeft].value.load(std::memory_order_relaxed),
                     cuts.waited_[BandCuts::kRight].value.load(std::memory_order_relaxed), elapsed);
  }
}

}  // namespace zumo::detail

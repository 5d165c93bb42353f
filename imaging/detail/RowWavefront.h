#pragma once

// Runs an in-place raster-order filter on one or two threads. Row y may only read what
// row y - 1 has finished, so the rows are taken in order by whichever thread is free
// (RunPieces), and each row waits for the row above to be far enough ahead (a wavefront).
// Every row publishes how many of its pixels are final; the waiting side reads that with
// acquire ordering, so the pixels it then reads are the finished ones.
//
// The progress slots are the only memory both threads write at high rate, so a row
// publishes only every kGrain pixels (and at its end), and the reading side remembers
// what it saw, going back to the shared slot only when it needs more. A waiting thread
// spins briefly (the usual wait is for the other thread's next publication), then blocks
// and gives its processor back: the other thread may be waiting for it.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>

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

  int Width() const noexcept { return width_; }

  // Row y has its first `done` pixels final.
  void Publish(int y, int done) noexcept {
    std::atomic<std::uint32_t>& slot = slots_[y & 1].value;
    // Sequentially consistent, paired with the sleeper's count-then-check: either the
    // sleeper sees this value or this side sees the sleeper and wakes it.
    slot.store(Encode(y, done), std::memory_order_seq_cst);
    if (sleepers_.count.load(std::memory_order_seq_cst) != 0) WakeAll(slot);
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

// One row's dealings with its neighbours: what it knows of the row above (so that it goes
// to the shared slot only when it needs more than it last saw) and when it last told the
// row below.
class RowTurn {
 public:
  RowTurn(const RowProgress& progress, int y) noexcept : progress_(progress), y_(y) {}

  // Waits until the row above has its first `x` pixels final.
  void NeedAbove(int x) noexcept {
    if (x > ready_above_) ready_above_ = progress_.WaitFor(y_ - 1, x);
  }

  // This row has its first `x` pixels final: tells the row below every kGrain pixels and
  // at the end of the row.
  void Finished(RowProgress& progress, int x) noexcept {
    if (x >= next_publish_ || x >= progress.Width()) {
      HelperHookPoint();
      progress.Publish(y_, x);
      next_publish_ = x + RowProgress::kGrain;
    }
  }

 private:
  const RowProgress& progress_;
  int y_;
  int ready_above_ = 0;
  int next_publish_ = RowProgress::kGrain;
};

// The wavefront needs rows long enough that the two threads work side by side most of
// the time (a row waits for about R + 1 + kGrain pixels of the row above), and a machine
// on which that has paid lately (`pays`, the filter's record).
inline bool WorthTwoThreads(int width, int height, HelperPays& pays) noexcept {
  const std::size_t bytes = 3 * static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  return height >= 2 && UseSecondThread(bytes, width >= 4 * RowProgress::kGrain) && pays.Choose();
}

// Calls row_fn(y) for every row; the rows are taken top to bottom by whichever thread is
// free (RunPieces), so that at most two neighbouring rows are under way at once, and row
// y + 2 starts only once row y is complete. row_fn must not throw and must do its own
// waiting through a RowProgress. A "row" may stand for a band of picture rows that one
// call does together (the box blur's pairs). The time the job took, for its `bytes` of
// pixels, goes into `pays`.
template <typename RowFn>
void RunRows(int height, bool two_threads, RowFn&& row_fn, HelperPays& pays, std::size_t bytes) {
  const auto start = std::chrono::steady_clock::now();
  const bool helped = RunPieces(static_cast<std::size_t>(std::max(height, 0)), two_threads,
                                [&row_fn](std::size_t y) { row_fn(static_cast<int>(y)); });
  pays.Record(helped, bytes,
              std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count());
}

}  // namespace zumo::detail

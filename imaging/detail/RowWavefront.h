#pragma once

// Runs an in-place raster-order filter on one or two threads. Row y may only read what
// row y - 1 has finished, so the two threads take alternate rows and each one waits for
// the row above to be far enough ahead (a wavefront). Every row publishes how many of
// its pixels are final; the waiting side reads that with acquire ordering, so the
// pixels it then reads are the finished ones.

#include <atomic>
#include <cstdint>
#include <system_error>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zumo::detail {

class RowProgress {
 public:
  explicit RowProgress(int width) : stride_(static_cast<std::int64_t>(width) + 1) {
    for (auto& slot : slots_) slot.value.store(-1, std::memory_order_relaxed);
  }

  // Row y has its first `done` pixels final.
  void Publish(int y, int done) noexcept {
    std::atomic<std::int64_t>& slot = slots_[y & 1].value;
    slot.store(Encode(y, done), std::memory_order_release);
    slot.notify_all();  // cheap when nobody sleeps on it
  }

  // Waits until row y has at least `needed` pixels final and returns how many it has.
  // Rows above the picture count as finished.
  int WaitFor(int y, int needed) const noexcept {
    if (y < 0) return static_cast<int>(stride_ - 1);
    const std::int64_t target = Encode(y, needed);
    const std::atomic<std::int64_t>& slot = slots_[y & 1].value;
    std::int64_t seen = slot.load(std::memory_order_acquire);
    // A short spin covers the usual few-pixel lag; after that the other thread is
    // probably not running, so sleep rather than take the processor from it.
    for (int spins = 0; seen < target && spins < 500; ++spins) {
      Pause();
      seen = slot.load(std::memory_order_acquire);
    }
    while (seen < target) {
      slot.wait(seen, std::memory_order_acquire);
      seen = slot.load(std::memory_order_acquire);
    }
  // The slot may already carry row y + 2, which implies row y is complete.
    return seen >= Encode(y + 1, 0) ? static_cast<int>(stride_ - 1) : static_cast<int>(seen - Encode(y, 0));
  }

 private:
  std::int64_t Encode(int y, int done) const noexcept { return y * stride_ + done; }

  static void Pause() noexcept {
#if defined(__SSE2__)
    _mm_pause();
#endif
  }

  // Each slot on its own cache line: the two threads write different slots.
  struct alignas(64) Slot {
    std::atomic<std::int64_t> value;
  };
  Slot slots_[2];
  std::int64_t stride_;
};

// The wavefront moves every finished row, and the column sums built from it, from one
// core's cache to the other's. On the two-processor virtual machines we measured it on,
// that traffic cost more than the second core saved (a 4000 x 3000 blur took 2.5 times
// as long on two threads as on one), so the filters run on one thread unless this is
// turned on for hardware where the exchange is cheap.
inline constexpr bool kWavefrontEnabled = false;

// Whether a picture of this size is worth a second thread: thread start-up costs tens of
// microseconds, and every row hands over to the other thread, which only pays when the
// rows are long.
inline bool WorthTwoThreads(int width, int height) noexcept {
  return kWavefrontEnabled && height >= 2 && width >= 256 &&
         static_cast<std::int64_t>(width) * height >= (1 << 17) &&
         std::thread::hardware_concurrency() >= 2;
}

// Calls row_fn(y) for every row, top to bottom; with two threads the even rows run on a
// helper thread and the odd rows on the caller. row_fn must not throw and must do its
// own waiting through a RowProgress.
template <typename RowFn>
void RunRows(int height, bool two_threads, RowFn&& row_fn) {
  if (!two_threads || height < 2) {
    for (int y = 0; y < height; ++y) row_fn(y);
    return;
  }
  std::thread helper;
  try {
    helper = std::thread([&row_fn, height] {
      for (int y = 0; y < height; y += 2) row_fn(y);
    });
  } catch (const std::system_error&) {
    // No thread to be had: the same rows, in order, on this one.
    for (int y = 0; y < height; ++y) row_fn(y);
    return;
  }
  for (int y = 1; y < height; y += 2) row_fn(y);
  helper.join();
}

}  // namespace zumo::detail

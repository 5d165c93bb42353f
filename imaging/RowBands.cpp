#include "imaging/RowBands.h"

#include <atomic>
#include <system_error>
#include <thread>

namespace zumo::detail {
namespace {

// Below this a second thread costs more than it saves.
constexpr std::size_t kTwoThreadBytes = 1u << 20;

std::atomic<bool> second_thread_allowed{true};

}  // namespace

void AllowSecondThread(bool allowed) noexcept { second_thread_allowed.store(allowed, std::memory_order_relaxed); }

void RunRowBands(int height, std::size_t bytes, const std::function<void(int, int)>& band) {
  if (height < 2 || bytes < kTwoThreadBytes || !second_thread_allowed.load(std::memory_order_relaxed)) {
    band(0, height);
    return;
  }
  const int middle = height / 2;
  std::thread lower;
  try {
    lower = std::thread(band, middle, height);
  } catch (const std::system_error&) {
    band(0, height);  // no second thread to be had: one pass does the same work
    return;
  }
  band(0, middle);
  lower.join();
}

}  // namespace zumo::detail

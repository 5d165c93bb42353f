#include "platform/Threads.h"

#include <atomic>

namespace zumo {
namespace {

// Below this a second thread costs about what it saves: starting and joining one takes
// some 50 microseconds here, and the cheapest passes handle a megabyte in a few hundred.
constexpr std::size_t kSecondThreadBytes = std::size_t{1} << 20;

std::atomic<Threads> choice{Threads::Auto};

}  // namespace

void SetThreads(Threads value) noexcept { choice.store(value, std::memory_order_relaxed); }

Threads ThreadsChoice() noexcept { return choice.load(std::memory_order_relaxed); }

bool UseSecondThread(std::size_t bytes, bool shape_pays) noexcept {
  switch (ThreadsChoice()) {
    case Threads::One:
      return false;
    case Threads::Two:
      return true;
    case Threads::Auto:
      break;
  }
  static const bool two_processors = std::thread::hardware_concurrency() >= 2;
  return shape_pays && bytes >= kSecondThreadBytes && two_processors;
}

}  // namespace zumo

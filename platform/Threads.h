#pragma once

#include <cstddef>
#include <thread>
#include <utility>

namespace zumo {

// How many threads the parallel operations (point operations, the filters' wavefront, the
// resampler) use. Auto, the default, lets each job decide by its size; One and Two force
// the choice, for tests and benchmarks that check or measure both ways. Results are the
// same whatever the choice.
enum class Threads { Auto, One, Two };

void SetThreads(Threads choice) noexcept;
Threads ThreadsChoice() noexcept;

// Whether a job touching `bytes` bytes of pixels takes a second thread. Under Auto: when it
// is large enough to repay starting a thread (about a millisecond of work) on a machine
// with two processors, and `shape_pays` (a job's own condition, e.g. rows long enough for a
// wavefront); under One never, under Two always.
bool UseSecondThread(std::size_t bytes, bool shape_pays = true) noexcept;

// Runs `helper_part` on a second thread and `own_part` on this one, and returns when both
// are done. When no thread can be had, runs `alone` on this thread instead: the whole job
// as one thread does it. None of the three may throw.
template <class HelperPart, class OwnPart, class Alone>
void RunOnTwoThreads(HelperPart&& helper_part, OwnPart&& own_part, Alone&& alone) {
  std::thread helper;
  try {
    helper = std::thread(std::forward<HelperPart>(helper_part));
  } catch (...) {  // std::system_error, or no memory for the thread's state
    alone();
    return;
  }
  own_part();
  helper.join();
}

}  // namespace zumo

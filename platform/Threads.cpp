#include "platform/Threads.h"

#include <linux/futex.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace zumo {
namespace {

// Below this the helper costs about what it saves: waking it takes some tens of
// microseconds here, and the cheapest passes handle a megabyte in a few hundred.
constexpr std::size_t kSecondThreadBytes = std::size_t{1} << 20;
constexpr std::size_t kBandBytes = std::size_t{128} << 10;

// How long the helper stays awake after a job for the next one (operations often come in
// chains), and how long a caller spins for the helper's last piece before blocking.
constexpr auto kHelperLinger = std::chrono::microseconds(50);
constexpr int kLastPieceSpins = 2000;

std::atomic<Threads> choice{Threads::Auto};

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t) &&
                  std::atomic<std::uint32_t>::is_always_lock_free,
              "a futex waits on the atomic's own 32 bits");

long Futex(const std::atomic<std::uint32_t>& word, int op, std::uint32_t value) noexcept {
  return syscall(SYS_futex, reinterpret_cast<const std::uint32_t*>(&word), op, value, nullptr, nullptr, 0);
}

// The helper thread's state word: a generation (raised with every offer) above two bits of
// phase. Callers move it from idle to claiming (one caller at a time), store their job and
// move it to offered; the helper moves it from offered to taken and back to idle when the
// job is done; a caller that finishes every piece first moves it from offered back to idle
// (withdrawn), and the helper never sees the job.
enum Phase : std::uint32_t { kIdle = 0, kClaiming = 1, kOffered = 2, kTaken = 3 };
constexpr std::uint32_t kPhaseBits = 3;

struct Helper {
  std::atomic<std::uint32_t> state{kIdle};
  std::atomic<detail::PieceJob*> job{nullptr};
};

thread_local bool on_helper_thread = false;

void TakePieces(detail::PieceJob& job) noexcept {
  int processor = -1;
  for (std::size_t i; (i = job.next.fetch_add(1, std::memory_order_relaxed)) < job.count;) {
    const int now = sched_getcpu();
    if (now != processor) job.caller_processor.store(processor = now, std::memory_order_relaxed);
    job.run(job.piece, i);
  }
}

// Where the helper may run: every processor the process may use, or every one but the
// caller's while it helps with a job.
struct Placement {
  cpu_set_t allowed{};
  bool known = false, narrowed = false;

  Placement() noexcept { known = sched_getaffinity(0, sizeof allowed, &allowed) == 0; }

  // Moves this thread off `processor`; false when it may run nowhere else.
  bool LeaveProcessor(int processor) noexcept {
    if (!known || processor < 0 || processor >= CPU_SETSIZE || !CPU_ISSET(processor, &allowed)) return false;
    cpu_set_t others = allowed;
    CPU_CLR(processor, &others);
    if (CPU_COUNT(&others) == 0 || sched_setaffinity(0, sizeof others, &others) != 0) return false;
    narrowed = true;
    return true;
  }

  void Restore() noexcept {
    if (narrowed) sched_setaffinity(0, sizeof allowed, &allowed);
    narrowed = false;
  }
};

// The helper takes pieces only while it runs on another processor than the caller. The
// system may wake it on the caller's processor even when the other one is idle (it packs
// threads together), and two threads taking turns on one processor gain nothing: the
// helper then moves itself to another processor, or, if it can run nowhere else, leaves
// the job to the caller.
bool HelpWithPieces(detail::PieceJob& job, Placement& placement) noexcept {
  for (;;) {
    const int caller = job.caller_processor.load(std::memory_order_relaxed);
    if (sched_getcpu() == caller && !(placement.LeaveProcessor(caller) && sched_getcpu() != caller)) return false;
    const std::size_t i = job.next.fetch_add(1, std::memory_order_relaxed);
    if (i >= job.count) return true;
    detail::HelperHookPoint();
    job.run(job.piece, i);
  }
}

// Waits for the next offer: awake for a little while after a job it helped with, then
// blocked (at once after a job it left to the caller: this processor is the caller's).
std::uint32_t NextOffer(Helper& helper, std::uint32_t state, bool linger) noexcept {
  const auto until = linger ? std::chrono::steady_clock::now() + kHelperLinger : std::chrono::steady_clock::time_point{};
  for (int n = 0; (state & kPhaseBits) != kOffered; ++n) {
    if (n % 64 == 0 && std::chrono::steady_clock::now() > until) {
      state = WaitUntilChanged(helper.state, state, 0);
    } else {
      SpinPause();
      state = helper.state.load(std::memory_order_acquire);
    }
  }
  return state;
}

[[noreturn]] void HelperLoop(Helper& helper) noexcept {
  on_helper_thread = true;
  std::uint32_t state = helper.state.load(std::memory_order_acquire);
  Placement placement;
  bool helped = false;
  for (;;) {
    state = NextOffer(helper, state, helped);
    const std::uint32_t taken = (state & ~kPhaseBits) | kTaken;
    if (!helper.state.compare_exchange_strong(state, taken, std::memory_order_acquire)) continue;
    helped = HelpWithPieces(*helper.job.load(std::memory_order_relaxed), placement);
    state = taken & ~kPhaseBits;
    helper.state.store(state, std::memory_order_release);
    WakeAll(helper.state);
    placement.Restore();
  }
}

// The helper, started at the first job that wants it; null when no thread could be had.
// Never destroyed: it lives as long as the process, past static destruction.
Helper* TheHelper() noexcept {
  static Helper* const helper = []() noexcept -> Helper* {
    try {
      auto* made = new Helper;
      try {
        std::thread([made] { HelperLoop(*made); }).detach();
      } catch (...) {  // std::system_error
        delete made;
        return nullptr;
      }
      return made;
    } catch (...) {  // no memory
      return nullptr;
    }
  }();
  return helper;
}

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

int ItemsPerBand(std::size_t item_bytes) noexcept {
  return static_cast<int>(std::max<std::size_t>(1, kBandBytes / std::max<std::size_t>(1, item_bytes)));
}

std::uint32_t WaitUntilChanged(const std::atomic<std::uint32_t>& word, std::uint32_t old, int spins) noexcept {
  for (int i = 0; i < spins; ++i) {
    const std::uint32_t now = word.load(std::memory_order_acquire);
    if (now != old) return now;
    SpinPause();
  }
  for (;;) {
    const std::uint32_t now = word.load(std::memory_order_acquire);
    if (now != old) return now;
    BlockWhile(word, old);
  }
}

void BlockWhile(const std::atomic<std::uint32_t>& word, std::uint32_t value) noexcept {
  Futex(word, FUTEX_WAIT_PRIVATE, value);
}

void WakeAll(const std::atomic<std::uint32_t>& word) noexcept {
  Futex(word, FUTEX_WAKE_PRIVATE, static_cast<std::uint32_t>(INT32_MAX));
}

namespace detail {

std::atomic<HelperHook> helper_hook{nullptr};

void SetHelperHook(HelperHook hook) noexcept { helper_hook.store(hook, std::memory_order_relaxed); }

void CallHelperHook() noexcept {
  const HelperHook hook = helper_hook.load(std::memory_order_relaxed);
  if (hook != nullptr && on_helper_thread) hook();
}

void RunPieceJob(PieceJob& job, bool two_threads) noexcept {
  Helper* const helper = two_threads ? TheHelper() : nullptr;
  std::uint32_t offered = kIdle;
  if (helper != nullptr && !on_helper_thread) {
    std::uint32_t state = helper->state.load(std::memory_order_relaxed);
    const std::uint32_t claiming = ((state & ~kPhaseBits) + kPhaseBits + 1) | kClaiming;
    if ((state & kPhaseBits) == kIdle &&
        helper->state.compare_exchange_strong(state, claiming, std::memory_order_acquire)) {
      job.caller_processor.store(sched_getcpu(), std::memory_order_relaxed);
      helper->job.store(&job, std::memory_order_relaxed);
      offered = (claiming & ~kPhaseBits) | kOffered;
      helper->state.store(offered, std::memory_order_release);
      WakeAll(helper->state);
    }
  }
  TakePieces(job);
  if (offered == kIdle) return;
  std::uint32_t state = offered;
  if (helper->state.compare_exchange_strong(state, offered & ~kPhaseBits, std::memory_order_acquire)) return;
  // The helper took the job: its last piece may still be running.
  const std::uint32_t taken = (offered & ~kPhaseBits) | kTaken;
  while (state == taken) state = WaitUntilChanged(helper->state, taken, kLastPieceSpins);
}

}  // namespace detail
}  // namespace zumo

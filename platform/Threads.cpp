#include "platform/Threads.h"

#include <fcntl.h>
#include <linux/futex.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
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
// How long the helper stands down after finding no processor of its own.
// Long against a job (milliseconds), so that a job that finds the helper sharing its
// processor with another program comes seldom; short against a user's wait for the
// machine to be free again.
constexpr std::chrono::nanoseconds kStandDown = std::chrono::milliseconds(500);
// One job in this many goes the way that was slower (HelperPays).
constexpr std::uint32_t kExploreEvery = 16;

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
  // Until when callers keep their jobs to themselves (steady clock, nanoseconds): the
  // helper found no processor of its own.
  std::atomic<std::int64_t> stand_down_until{0};
};

thread_local bool on_helper_thread = false;

std::int64_t Now() noexcept {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void TakePieces(detail::PieceJob& job) noexcept {
  int processor = -1;
  for (std::size_t i; (i = job.next.fetch_add(1, std::memory_order_relaxed)) < job.count;) {
    const int now = sched_getcpu();
    if (now != processor) job.caller_processor.store(processor = now, std::memory_order_relaxed);
    job.run(job.piece, i);
  }
}

// How long this thread has waited, runnable, for a processor (nanoseconds; -1 unknown).
class RunDelay {
 public:
  RunDelay() noexcept : file_(open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC)) {}

  std::int64_t Now() const noexcept {
    char text[96];
    if (file_ < 0) return -1;
    const ssize_t length = pread(file_, text, sizeof text - 1, 0);
    if (length <= 0) return -1;
    text[length] = '\0';
    long long running = 0, waiting = 0;
    return std::sscanf(text, "%lld %lld", &running, &waiting) == 2 ? waiting : -1;
  }

 private:
  int file_;
};

// Where the helper runs. It helps only on a processor of its own: two threads taking turns
// on one processor gain nothing, and when the helper shares one with another program, every
// time that program has the processor the caller may wait for the helper's piece (or, in a
// wavefront, for its row). The system may wake the helper on the caller's processor even
// when the other one is idle (it packs threads together): the helper then moves itself to
// another processor, and gives up when it has to wait there, or is put back beside the caller.
class Placement {
 public:
  Placement() noexcept { known_ = sched_getaffinity(0, sizeof allowed_, &allowed_) == 0; }

  // Whether this thread, about to help, has a processor of its own.
  bool HaveOwnProcessor(int caller, const RunDelay& delay) noexcept {
    if (sched_getcpu() != caller) return true;
    if (!known_ || caller < 0 || caller >= CPU_SETSIZE || !CPU_ISSET(caller, &allowed_)) return false;
    cpu_set_t others = allowed_;
    CPU_CLR(caller, &others);
    if (CPU_COUNT(&others) == 0) return false;
    const std::int64_t before = delay.Now();
    // Moved off at once; then allowed everywhere again, so that the system may balance.
    if (sched_setaffinity(0, sizeof others, &others) != 0) return false;
    sched_setaffinity(0, sizeof allowed_, &allowed_);
    return sched_getcpu() != caller && !Waited(before, delay);
  }

  // Whether the thread waited for a processor since `before` (a RunDelay reading): more
  // than a wake-up takes, and, over `elapsed` nanoseconds of work, more than an eighth of
  // them. Another program sharing the processor takes about half; the system's own
  // threads, which come and go on any processor, take a few hundredths.
  static bool Waited(std::int64_t before, const RunDelay& delay, std::int64_t elapsed = 0) noexcept {
    const std::int64_t now = delay.Now();
    return before >= 0 && now >= 0 && now - before > std::max(kWaitedNanoseconds, elapsed / 8);
  }

 private:
  static constexpr std::int64_t kWaitedNanoseconds = 200'000;

  cpu_set_t allowed_{};
  bool known_ = false;
};

// Takes pieces while the helper has a processor of its own; whether it had one throughout.
bool HelpWithPieces(detail::PieceJob& job, Placement& placement, const RunDelay& delay) noexcept {
  // Whether the helper took a piece is written once, at the end: the caller reads the
  // job's other fields for every piece it takes.
  bool took = false;
  if (job.forced) {
    for (std::size_t i; (i = job.next.fetch_add(1, std::memory_order_relaxed)) < job.count;) {
      took = true;
      detail::HelperHookPoint();
      job.run(job.piece, i);
    }
    job.helped = took;
    return true;
  }
  if (!placement.HaveOwnProcessor(job.caller_processor.load(std::memory_order_relaxed), delay)) return false;
  const std::int64_t before = delay.Now();
  const std::int64_t started = Now();
  bool own_processor = true;
  for (;;) {
    if (sched_getcpu() == job.caller_processor.load(std::memory_order_relaxed)) {
      own_processor = false;
      break;
    }
    const std::size_t i = job.next.fetch_add(1, std::memory_order_relaxed);
    if (i >= job.count) break;
    took = true;
    detail::HelperHookPoint();
    job.run(job.piece, i);
  }
  job.helped = took;
  return own_processor && !Placement::Waited(before, delay, Now() - started);
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
  const RunDelay delay;
  bool helped = false;
  for (;;) {
    state = NextOffer(helper, state, helped);
    const std::uint32_t taken = (state & ~kPhaseBits) | kTaken;
    if (!helper.state.compare_exchange_strong(state, taken, std::memory_order_acquire)) continue;
    helped = HelpWithPieces(*helper.job.load(std::memory_order_relaxed), placement, delay);
    // Without a processor of its own, the helper stands down for a while: jobs meanwhile
    // run on their callers alone, without waking it.
    if (!helped) helper.stand_down_until.store(Now() + kStandDown.count(), std::memory_order_relaxed);
    state = taken & ~kPhaseBits;
    helper.state.store(state, std::memory_order_release);
    WakeAll(helper.state);
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
  if (!shape_pays || bytes < kSecondThreadBytes || !two_processors) return false;
  // While the helper stands down, jobs take their one-thread form, which costs nothing to
  // set up and nothing to share.
  const Helper* const helper = TheHelper();
  return helper != nullptr && Now() >= helper->stand_down_until.load(std::memory_order_relaxed);
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

bool HelperPays::Choose() noexcept {
  if (ThreadsChoice() == Threads::Two) return true;
  const std::uint32_t alone = alone_.load(std::memory_order_relaxed);
  const std::uint32_t together = together_.load(std::memory_order_relaxed);
  if (together == 0) return true;
  if (alone == 0) return false;
  const bool faster_together = together < alone;
  const bool explore = jobs_.fetch_add(1, std::memory_order_relaxed) % kExploreEvery == 0;
  return faster_together != explore;
}

void HelperPays::Record(bool helped, std::size_t bytes, std::int64_t nanoseconds) noexcept {
  if (bytes == 0 || nanoseconds <= 0) return;
  const double sample = 1000.0 * static_cast<double>(nanoseconds) / static_cast<double>(bytes);
  const auto clamped = static_cast<std::uint32_t>(std::min(sample, 1e9) + 1);
  std::atomic<std::uint32_t>& rate = helped ? together_ : alone_;
  const std::uint32_t old = rate.load(std::memory_order_relaxed);
  // A moving average over the last few jobs: one job held up by something else weighs little.
  rate.store(old == 0 ? clamped : static_cast<std::uint32_t>((3 * std::uint64_t{old} + clamped) / 4),
             std::memory_order_relaxed);
}

void HelperPays::RecordWaits(std::int64_t caller_waited, std::int64_t helper_waited,
                             std::int64_t nanoseconds) noexcept {
  // A step of a hundredth towards the side that waited more than a fiftieth of the job
  // longer than the other, within 30..70 hundredths: a few jobs find the balance, and one
  // job held up by something else moves it little.
  constexpr int kStep = 10, kLeast = 300, kMost = 700;
  const std::int64_t margin = nanoseconds / 50;
  int share = caller_share_.load(std::memory_order_relaxed);
  if (caller_waited > helper_waited + margin) share = std::min(kMost, share + kStep);
  if (helper_waited > caller_waited + margin) share = std::max(kLeast, share - kStep);
  caller_share_.store(share, std::memory_order_relaxed);
}

namespace detail {

std::atomic<HelperHook> helper_hook{nullptr};

void SetHelperHook(HelperHook hook) noexcept { helper_hook.store(hook, std::memory_order_relaxed); }

void CallHelperHook() noexcept {
  const HelperHook hook = helper_hook.load(std::memory_order_relaxed);
  if (hook != nullptr && on_helper_thread) hook();
}

bool RunPieceJob(PieceJob& job, bool two_threads) noexcept {
  Helper* const helper = two_threads ? TheHelper() : nullptr;
  job.forced = ThreadsChoice() == Threads::Two;
  std::uint32_t offered = kIdle;
  if (helper != nullptr && !on_helper_thread &&
      (job.forced || Now() >= helper->stand_down_until.load(std::memory_order_relaxed))) {
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
  if (offered == kIdle) return false;
  std::uint32_t state = offered;
  if (helper->state.compare_exchange_strong(state, offered & ~kPhaseBits, std::memory_order_acquire)) return false;
  // The helper took the job: its last piece may still be running.
  const std::uint32_t taken = (offered & ~kPhaseBits) | kTaken;
  while (state == taken) state = WaitUntilChanged(helper->state, taken, kLastPieceSpins);
  return job.helped;
}

}  // namespace detail
}  // namespace zumo

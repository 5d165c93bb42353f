#pragma once

// How the parallel operations share their work between this thread and one helper thread.
//
// Independent work is cut into many small pieces that whichever thread is free takes next
// (RunPieces, RunBands): the calling thread never waits for the helper to start, and a
// helper that is held up (by another program on a busy machine, or by another job) holds up
// only the one piece it is working on. Dependent work (the filters' wavefronts) takes its
// rows as pieces in the same way and waits for the row above with WaitUntilChanged and
// WakeAll: a short spin, then the processor is given back; whether it takes the helper at
// all follows what that has paid lately (HelperPays).
//
// The helper helps only on a processor of its own. Woken beside the caller (the system
// packs threads together), it moves itself to another processor; when it has to wait for
// a processor there (another program keeps it busy), it stands down for a while and the
// callers work alone, in their one-thread form. Tests hold the helper up at chosen points through detail::SetHelperHook.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>

namespace zumo {

// How many threads the parallel operations (point operations, the filters' wavefront, the
// resampler, the turns) use. Auto, the default, lets each job decide by its size; One and
// Two force the choice, for tests and benchmarks that check or measure both ways. Results
// are the same whatever the choice.
enum class Threads { Auto, One, Two };

void SetThreads(Threads choice) noexcept;
Threads ThreadsChoice() noexcept;

// Whether a job touching `bytes` bytes of pixels offers work to the helper thread. Under
// Auto: when it is large enough to repay waking the helper on a machine with two
// processors, `shape_pays` (a job's own condition, e.g. rows long enough for a
// wavefront), and the helper is not standing down; under One never, under Two always.
bool UseSecondThread(std::size_t bytes, bool shape_pays = true) noexcept;

// Runs piece(i) once for every i in [0, count). The pieces are taken in rising order, one
// at a time, by this thread and, when `two_threads` and the helper thread is free, by the
// helper too; returns when every piece is done, and whether the helper took any. piece
// must not throw, and two pieces may run at the same time.
template <class Piece>
bool RunPieces(std::size_t count, bool two_threads, Piece&& piece);

// Runs band(first, last) over [0, count), cut into consecutive bands of `per_band` items
// (the last may be shorter) that are run as RunPieces runs its pieces.
template <class Band>
void RunBands(int count, int per_band, bool two_threads, Band&& band);

// Items per band when an item is `item_bytes` long: bands of about 128 KiB, small enough
// that the last band a held-up helper finishes is a short wait, large enough that taking
// one costs nothing.
int ItemsPerBand(std::size_t item_bytes) noexcept;

// What the helper has paid on one kind of job lately, for work whose threads wait for each
// other (the wavefronts): how fast it ran alone and how fast with the helper taking part,
// in picoseconds per byte. Two threads wait for each other at every row, and on some
// machines, or beside some other work, that costs more than the second processor brings;
// each job then goes the way that was faster, and now and then the other way, to follow
// the machine as it changes. The result is the same either way.
class HelperPays {
 public:
  // Whether the next job of this kind offers work to the helper, once UseSecondThread has
  // said yes. Under Threads::Two always.
  bool Choose() noexcept;
  // A job of `bytes` took `nanoseconds`, with the helper taking part or not.
  void Record(bool helped, std::size_t bytes, std::int64_t nanoseconds) noexcept;

  // For work cut in two between the caller and the helper (the wavefronts): the caller's
  // share of it, in thousandths. The two processors need not be equally fast at it (one
  // may hold the picture in its cache, or share its core's time), so the cut follows
  // what each side waited for the other in the jobs before.
  int CallerShare() const noexcept { return caller_share_.load(std::memory_order_relaxed); }
  // In a job of `nanoseconds` the caller's side waited `caller_waited` for the helper's,
  // the helper's side `helper_waited` for the caller's.
  void RecordWaits(std::int64_t caller_waited, std::int64_t helper_waited, std::int64_t nanoseconds) noexcept;

 private:
  std::atomic<std::uint32_t> alone_{0}, together_{0};  // 0: not measured yet
  std::atomic<std::uint32_t> jobs_{0};
  std::atomic<int> caller_share_{500};
};

// Waiting on a 32-bit word that another thread changes.

// Spins up to `spins` pauses while `word` holds `old`, then blocks (the processor goes to
// whatever else wants it) until it holds something else; returns that (acquire).
std::uint32_t WaitUntilChanged(const std::atomic<std::uint32_t>& word, std::uint32_t old, int spins) noexcept;

// Blocks while `word` holds `value`; may return early. The thread gives its processor up.
void BlockWhile(const std::atomic<std::uint32_t>& word, std::uint32_t value) noexcept;

// Wakes every thread blocked on `word`.
void WakeAll(const std::atomic<std::uint32_t>& word) noexcept;

// One spin-wait step: tells the processor this thread is waiting.
inline void SpinPause() noexcept {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

namespace detail {

// One job of pieces as both threads see it. The counter has a cache line of its own: both
// threads take from it, and nothing else of theirs should move with it.
struct alignas(64) PieceJob {
  void (*run)(void* piece, std::size_t index) noexcept = nullptr;
  void* piece = nullptr;
  std::size_t count = 0;
  // The processor the calling thread last ran a piece on, -1 when not known.
  std::atomic<int> caller_processor{-1};
  // Threads::Two: the helper takes pieces wherever it runs (tests of the interleavings).
  bool forced = false;
  bool helped = false;  // written by the helper, read by the caller once the helper is done
  alignas(64) std::atomic<std::size_t> next{0};
};

// Offers `job` to the helper thread when `two_threads` and the helper is free, takes pieces
// here until none are left, and returns once the helper (if it took the job) has finished
// its last piece; whether it took any.
bool RunPieceJob(PieceJob& job, bool two_threads) noexcept;

// For tests: a function the helper thread calls before every piece it takes and wherever
// dependent work publishes its progress (HelperHookPoint), so that a test can hold the
// helper up at those points. Null (the default) calls nothing.
using HelperHook = void (*)() noexcept;
void SetHelperHook(HelperHook hook) noexcept;
void CallHelperHook() noexcept;
extern std::atomic<HelperHook> helper_hook;

inline void HelperHookPoint() noexcept {
  if (helper_hook.load(std::memory_order_relaxed) != nullptr) CallHelperHook();
}

}  // namespace detail

template <class Piece>
bool RunPieces(std::size_t count, bool two_threads, Piece&& piece) {
  using PieceFn = std::remove_reference_t<Piece>;
  detail::PieceJob job;
  job.run = [](void* fn, std::size_t index) noexcept { (*static_cast<PieceFn*>(fn))(index); };
  job.piece = const_cast<void*>(static_cast<const void*>(std::addressof(piece)));
  job.count = count;
  return detail::RunPieceJob(job, two_threads && count > 1);
}

template <class Band>
void RunBands(int count, int per_band, bool two_threads, Band&& band) {
  if (count <= 0) return;
  per_band = std::max(1, per_band);
  const auto bands = static_cast<std::size_t>((count + per_band - 1) / per_band);
  RunPieces(bands, two_threads, [&](std::size_t i) {
    const int first = static_cast<int>(i) * per_band;
    band(first, std::min(count, first + per_band));
  });
}

}  // namespace zumo

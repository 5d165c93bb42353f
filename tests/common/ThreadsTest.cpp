// The one thread switch reaches every parallel operation, and forcing two threads gives
// the bytes of one, also on pictures too small or too narrow for Auto to split, while
// another thread keeps a processor busy, and with the helper held up at random points.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include "Lib/common/BitmapUtils.h"
#include "imaging/ABitmap.h"
#include "imaging/Framing.h"
#include "imaging/Turn.h"
#include "platform/Threads.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

class ThreadsChoice : public ::testing::Test {
 protected:
  ~ThreadsChoice() override {
    SetThreads(Threads::Auto);
    detail::SetHelperHook(nullptr);
  }
};

// Every operation with a two-thread path, on pictures of awkward shapes (rows longer than
// the wavefront's publication grain among them), under One and then Two; whether the
// helper took part in any of the two-thread runs.
bool ExpectTwoThreadsGiveTheBytesOfOne(const char* condition) {
  const struct {
    const char* name;
    std::function<Bitmap(const Bitmap&)> run;
  } operations[] = {
      {"Brightness", [](const Bitmap& in) { Bitmap b = in; TABitmap().Brightness(b, 37); return b; }},
      {"Contrast", [](const Bitmap& in) { Bitmap b = in; TABitmap().Contrast(-45, b); return b; }},
      {"BoxBlur", [](const Bitmap& in) { Bitmap b = in; TABitmap().BoxBlur(3, b); return b; }},
      {"Sharpen", [](const Bitmap& in) { Bitmap b = in; TABitmap().Sharpen(60, b); return b; }},
      {"BoxBlurInto", [](const Bitmap& in) { Bitmap b; TABitmap().BoxBlur(2, in, b); return b; }},
      {"SharpenInto", [](const Bitmap& in) { Bitmap b; TABitmap().Sharpen(90, in, b); return b; }},
      {"Resample", [](const Bitmap& in) { return *ResampleBitmap(in, 29, 17); }},
      {"TurnClockwise", [](const Bitmap& in) { return TurnUpright(in, Orientation::TurnClockwise); }},
      {"Transverse", [](const Bitmap& in) { return TurnUpright(in, Orientation::Transverse); }},
      {"Straighten", [](const Bitmap& in) { Framing framing; framing.straighten_tenths = 37; return Frame(in, framing); }},
  };
  std::atomic<int> helped{0};
  for (const auto& [width, height] : {std::pair{97, 61}, std::pair{3, 40}, std::pair{1200, 5}, std::pair{1100, 23}}) {
    const Bitmap photo = test::PhotoLikeBitmap(width, height, 7);
    for (const auto& operation : operations) {
      SetThreads(Threads::One);
      const Bitmap one = operation.run(photo);
      SetThreads(Threads::Two);
      const Bitmap two = operation.run(photo);
      EXPECT_TRUE(SamePixels(one, two)) << operation.name << " on " << width << "x" << height << ", " << condition;
    }
  }
  // Whether the helper took part: a job of many pieces under Two, while it is free.
  const bool took_part = RunPieces(64, true, [&](std::size_t) {
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    helped.fetch_add(1, std::memory_order_relaxed);
  });
  EXPECT_EQ(helped.load(), 64) << "every piece once, " << condition;
  SetThreads(Threads::Auto);
  return took_part;
}

TEST_F(ThreadsChoice, TwoThreadsGiveTheBytesOfOne) { EXPECT_TRUE(ExpectTwoThreadsGiveTheBytesOfOne("idle")); }

TEST_F(ThreadsChoice, TwoThreadsGiveTheBytesOfOneBesideABusyProcessor) {
  std::atomic<bool> stop{false};
  std::thread busy([&] {
    while (!stop.load(std::memory_order_relaxed)) {
    }
  });
  const bool took_part = ExpectTwoThreadsGiveTheBytesOfOne("one processor kept busy");
  stop = true;
  busy.join();
  EXPECT_TRUE(took_part) << "under Two the helper takes part wherever it runs";
}

// The helper held up for a random while (up to half a millisecond) at a random third of
// the points where it takes a piece or publishes a wavefront row's progress: the caller
// then waits for it, or goes on with the pieces it has not taken.
thread_local std::minstd_rand delays(20260);
void HoldUpAtRandom() noexcept {
  if (delays() % 3 == 0) std::this_thread::sleep_for(std::chrono::microseconds(delays() % 500));
}

TEST_F(ThreadsChoice, TwoThreadsGiveTheBytesOfOneWithTheHelperHeldUpAtRandom) {
  detail::SetHelperHook(&HoldUpAtRandom);
  const bool took_part = ExpectTwoThreadsGiveTheBytesOfOne("helper held up at random");
  detail::SetHelperHook(nullptr);
  EXPECT_TRUE(took_part);
}

// The cut of work between the caller and the helper moves a hundredth per job towards the
// side that waited longer for the other, past a fiftieth of the job, and within 30..70 %.
TEST(HelperPaysTest, CallerShareFollowsWhichSideWaited) {
  HelperPays pays;
  EXPECT_EQ(pays.CallerShare(), 500);
  const std::int64_t job = 20'000'000;  // nanoseconds; the margin is 400 000
  const struct {
    std::int64_t caller_waited, helper_waited;
    int share;
  } steps[] = {{5'000'000, 0, 510}, {0, 5'000'000, 500}, {300'000, 0, 500}, {0, 300'000, 500}, {0, 900'000, 490}};
  for (const auto& step : steps) {
    pays.RecordWaits(step.caller_waited, step.helper_waited, job);
    EXPECT_EQ(pays.CallerShare(), step.share) << step.caller_waited << " / " << step.helper_waited;
  }
  for (int i = 0; i < 50; ++i) pays.RecordWaits(job, 0, job);
  EXPECT_EQ(pays.CallerShare(), 700);
  for (int i = 0; i < 50; ++i) pays.RecordWaits(0, job, job);
  EXPECT_EQ(pays.CallerShare(), 300);
}

TEST_F(ThreadsChoice, ForcedChoicesOverrideThePolicy) {
  SetThreads(Threads::One);
  EXPECT_FALSE(UseSecondThread(std::size_t{1} << 30));
  SetThreads(Threads::Two);
  EXPECT_TRUE(UseSecondThread(1, false));
  SetThreads(Threads::Auto);
  EXPECT_FALSE(UseSecondThread(1000)) << "a kilobyte never repays a thread";
  EXPECT_FALSE(UseSecondThread(std::size_t{1} << 30, false)) << "the job's own condition counts under Auto";
}

}  // namespace
}  // namespace zumo

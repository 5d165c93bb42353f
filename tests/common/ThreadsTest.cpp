// The one thread switch reaches every parallel operation, and forcing two threads gives
// the bytes of one, also on pictures too small or too narrow for Auto to split.
#include <gtest/gtest.h>

#include <functional>

#include "Lib/common/BitmapUtils.h"
#include "imaging/ABitmap.h"
#include "platform/Threads.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

class ThreadsChoice : public ::testing::Test {
 protected:
  ~ThreadsChoice() override { SetThreads(Threads::Auto); }
};

TEST_F(ThreadsChoice, TwoThreadsGiveTheBytesOfOne) {
  const struct {
    const char* name;
    std::function<Bitmap(const Bitmap&)> run;
  } operations[] = {
      {"Brightness", [](const Bitmap& in) { Bitmap b = in; TABitmap().Brightness(b, 37); return b; }},
      {"Contrast", [](const Bitmap& in) { Bitmap b = in; TABitmap().Contrast(-45, b); return b; }},
      {"BoxBlur", [](const Bitmap& in) { Bitmap b = in; TABitmap().BoxBlur(3, b); return b; }},
      {"Sharpen", [](const Bitmap& in) { Bitmap b = in; TABitmap().Sharpen(60, b); return b; }},
      {"BoxBlurInto", [](const Bitmap& in) { Bitmap b; TABitmap().BoxBlur(2, in, b); return b; }},
      {"Resample", [](const Bitmap& in) { return *ResampleBitmap(in, 29, 17); }},
  };
  for (const auto& [width, height] : {std::pair{97, 61}, std::pair{3, 40}, std::pair{1200, 5}}) {
    const Bitmap photo = test::PhotoLikeBitmap(width, height, 7);
    for (const auto& operation : operations) {
      SetThreads(Threads::One);
      const Bitmap one = operation.run(photo);
      SetThreads(Threads::Two);
      const Bitmap two = operation.run(photo);
      EXPECT_TRUE(SamePixels(one, two)) << operation.name << " on " << width << "x" << height;
    }
  }
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

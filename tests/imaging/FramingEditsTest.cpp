#include "imaging/FramingEdits.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <variant>

#include "support/TestPictures.h"

namespace zumo {
namespace {

// A command on the framing frames what the user's turn or mirror of the framed picture
// shows, pixel for pixel (without a straighten, whose truncations may differ by a pixel). A
// ratio crop stays a ratio, centred with its offset rounded down, so its mirror image may lie
// a pixel over: there the sizes agree.
TEST(FramingEdits, EachCommandFramesWhatTurningOrMirroringTheFramedPictureShows) {
  const Bitmap photo = test::RandomBitmap(13, 8, 3);
  const FrameSize size{photo.Width(), photo.Height()};
  const Framing framings[] = {
      {},
      {1, false, false, 0, {}},
      {3, true, false, 0, {}},
      {2, false, true, 0, CropRatio{4, 3}},
      {0, false, false, 0, CropRect{2, 1, 7, 4, 13, 8}},
      {1, true, false, 0, CropRect{1, 3, 5, 6, 8, 13}},
      {3, true, true, 0, CropRect{0, 0, 4, 9, 0, 0}},
  };
  struct Command {
    const char* name;
    Framing (*edit)(const Framing&, FrameSize);
    int quarter_turns;
    bool flip_horizontal, flip_vertical;
  };
  const Command commands[] = {{"clockwise", TurnedClockwise, 1, false, false},
                              {"anticlockwise", TurnedAnticlockwise, 3, false, false},
                              {"horizontal", FlippedHorizontally, 0, true, false},
                              {"vertical", FlippedVertically, 0, false, true}};
  for (const Framing& framing : framings)
    for (const Command& command : commands) {
      SCOPED_TRACE(std::string(command.name) + " after " + std::to_string(&framing - framings));
      const Bitmap expected =
          TurnAndFlip(Frame(photo, framing), command.quarter_turns, command.flip_horizontal, command.flip_vertical);
      const Bitmap got = Frame(photo, command.edit(framing, size));
      if (std::holds_alternative<CropRatio>(framing.crop))
        EXPECT_EQ(std::make_pair(got.Width(), got.Height()), std::make_pair(expected.Width(), expected.Height()));
      else
        EXPECT_TRUE(SamePixels(got, expected));
    }
}

TEST(FramingEdits, AMirrorTurnsTheStraighteningTheOtherWay) {
  const Framing tilted{0, false, false, 25, {}};
  EXPECT_EQ(FlippedHorizontally(tilted, {40, 30}).straighten_tenths, -25);
  EXPECT_EQ(TurnedClockwise(tilted, {40, 30}).straighten_tenths, 25);
  EXPECT_EQ(std::get<CropRatio>(TurnedClockwise(Framing{0, false, false, 0, CropRatio{16, 9}}, {40, 30}).crop),
            (CropRatio{9, 16}));
}

}  // namespace
}  // namespace zumo

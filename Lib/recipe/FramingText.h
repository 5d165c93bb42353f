#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "imaging/Framing.h"

namespace zumo {

// The framing as recipes and zumo-batch's options write it. The readers raise
// StepValueError (Steps.h) with a message that starts with `label`.

// "90", "180", "270" (clockwise) as quarter turns.
int ReadTurn(std::string_view text, const std::string& label);
std::string TurnText(int quarter_turns);
// "horizontal" or "vertical": true for horizontal.
bool ReadFlipIsHorizontal(std::string_view text, const std::string& label);
// Degrees with at most one decimal ("-2", "3.5") as tenths, within -45..45.
int ReadDegrees(std::string_view text, const std::string& label);
// "W:H", both whole numbers from 1.
CropRatio ReadRatio(std::string_view text, const std::string& label);
std::string RatioText(CropRatio ratio);
// "X,Y,W,H" as the command line writes a crop.
CropRect ReadCropNumbers(std::string_view text, const std::string& label);

// The recipe's framing lines, in the order framing runs:
//   turn 90
//   flip horizontal            (and/or flip vertical)
//   straighten -2.5
//   crop x=10 y=20 width=1600 height=1200 on=4000x3000   (on=: the picture it was made on)
//   crop-ratio 4:3
// None for a framing that changes nothing.
std::vector<std::string> FramingLines(const Framing& framing);

// Reads one recipe line into `framing` when its first word is a framing word; false when it
// is not one. `where` starts every message; a repeated line raises too.
bool ReadFramingLine(const std::vector<std::string_view>& words, Framing& framing, const std::string& where);

}  // namespace zumo

#include "Lib/recipe/FramingText.h"

#include <charconv>
#include <variant>

#include "Lib/recipe/Steps.h"
#include "platform/Error.h"

namespace zumo {
namespace {

[[noreturn]] void Refuse(const std::string& message) { throw StepValueError(message); }

// A whole number from 0 written as digits alone.
bool ReadDigits(std::string_view text, int& value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

// A whole number, optionally negative.
bool ReadWhole(std::string_view text, int& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const std::size_t at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

constexpr std::string_view kTurnWord = "turn", kFlipWord = "flip", kStraightenWord = "straighten",
                           kCropWord = "crop", kRatioWord = "crop-ratio";

}  // namespace

int ReadTurn(std::string_view text, const std::string& label) {
  if (text == "90") return 1;
  if (text == "180") return 2;
  if (text == "270") return 3;
  Refuse(label + " の値 \"" + Quoted(text) + "\" は使えません (90, 180, 270: 時計回り)");
}

std::string TurnText(int quarter_turns) { return std::to_string(90 * quarter_turns); }

bool ReadFlipIsHorizontal(std::string_view text, const std::string& label) {
  if (text == "horizontal") return true;
  if (text == "vertical") return false;
  Refuse(label + " の値 \"" + Quoted(text) + "\" は使えません (horizontal, vertical)");
}

int ReadDegrees(std::string_view text, const std::string& label) {
  const std::string shown = Quoted(text);
  std::string_view digits = text;
  const bool negative = digits.starts_with('-');
  if (negative || digits.starts_with('+')) digits.remove_prefix(1);
  int tenth = 0;
  if (const std::size_t dot = digits.find('.'); dot != std::string_view::npos) {
    const std::string_view fraction = digits.substr(dot + 1);
    if (fraction.size() != 1 || fraction[0] < '0' || fraction[0] > '9')
      Refuse(label + " の値 \"" + shown + "\" は小数一桁までの度数で指定してください (例 -2.5)");
    tenth = fraction[0] - '0';
    digits = digits.substr(0, dot);
  }
  int whole = 0;
  if (digits.size() > 3 || !ReadDigits(digits, whole))
    Refuse(label + " の値 \"" + shown + "\" は小数一桁までの度数で指定してください (例 -2.5)");
  const int tenths = (whole * 10 + tenth) * (negative ? -1 : 1);
  if (tenths < -Framing::kMaxStraightenTenths || tenths > Framing::kMaxStraightenTenths)
    Refuse(label + " の値 " + shown + " は範囲外です (-45〜45)");
  return tenths;
}

CropRatio ReadRatio(std::string_view text, const std::string& label) {
  const std::vector<std::string_view> parts = Split(text, ':');
  CropRatio ratio;
  if (parts.size() != 2 || !ReadDigits(parts[0], ratio.width) || !ReadDigits(parts[1], ratio.height) ||
      ratio.width < 1 || ratio.height < 1)
    Refuse(label + " の値 \"" + Quoted(text) + "\" は 幅:高さ の形で、どちらも 1 以上の整数で指定してください (例 4:3)");
  return ratio;
}

std::string RatioText(CropRatio ratio) { return std::to_string(ratio.width) + ":" + std::to_string(ratio.height); }

CropRect ReadCropNumbers(std::string_view text, const std::string& label) {
  const std::vector<std::string_view> parts = Split(text, ',');
  CropRect crop;
  if (parts.size() != 4 || !ReadWhole(parts[0], crop.x) || !ReadWhole(parts[1], crop.y) ||
      !ReadWhole(parts[2], crop.width) || !ReadWhole(parts[3], crop.height))
    Refuse(label + " の値 \"" + Quoted(text) + "\" は X,Y,幅,高さ の形で指定してください (例 0,0,1600,1200)");
  return crop;
}

std::vector<std::string> FramingLines(const Framing& framing) {
  std::vector<std::string> lines;
  if (framing.quarter_turns != 0) lines.push_back(std::string(kTurnWord) + " " + TurnText(framing.quarter_turns));
  if (framing.flip_horizontal) lines.push_back(std::string(kFlipWord) + " horizontal");
  if (framing.flip_vertical) lines.push_back(std::string(kFlipWord) + " vertical");
  if (framing.straighten_tenths != 0)
    lines.push_back(std::string(kStraightenWord) + " " + DegreesText(framing.straighten_tenths));
  if (const auto* rect = std::get_if<CropRect>(&framing.crop)) {
    std::string line = std::string(kCropWord) + " x=" + std::to_string(rect->x) + " y=" + std::to_string(rect->y) +
                       " width=" + std::to_string(rect->width) + " height=" + std::to_string(rect->height);
    if (rect->picture_width != 0 || rect->picture_height != 0)
      line += " on=" + std::to_string(rect->picture_width) + "x" + std::to_string(rect->picture_height);
    lines.push_back(std::move(line));
  } else if (const auto* ratio = std::get_if<CropRatio>(&framing.crop)) {
    lines.push_back(std::string(kRatioWord) + " " + RatioText(*ratio));
  }
  return lines;
}

bool ReadFramingLine(const std::vector<std::string_view>& words, Framing& framing, const std::string& where) {
  const std::string_view word = words.at(0);
  const std::string name(word);
  auto value = [&]() -> std::string_view {
    if (words.size() != 2) throw Error(where + name + " には値を一つ書いてください");
    return words[1];
  };
  try {
    if (word == kTurnWord) {
      if (framing.quarter_turns != 0) throw Error(where + name + " が二度あります");
      framing.quarter_turns = ReadTurn(value(), where + name);
    } else if (word == kFlipWord) {
      bool& flip = ReadFlipIsHorizontal(value(), where + name) ? framing.flip_horizontal : framing.flip_vertical;
      if (flip) throw Error(where + name + " " + std::string(words[1]) + " が二度あります");
      flip = true;
    } else if (word == kStraightenWord) {
      if (framing.straighten_tenths != 0) throw Error(where + name + " が二度あります");
      framing.straighten_tenths = ReadDegrees(value(), where + name);
    } else if (word == kCropWord || word == kRatioWord) {
      if (!std::holds_alternative<std::monostate>(framing.crop))
        throw Error(where + "切り抜き (crop か crop-ratio) が二度あります");
      if (word == kRatioWord) {
        framing.crop = ReadRatio(value(), where + name);
      } else {
        CropRect rect;
        int* const fields[] = {&rect.x, &rect.y, &rect.width, &rect.height};
        constexpr std::string_view kKeys[] = {"x", "y", "width", "height"};
        bool seen[5] = {};
        for (std::size_t w = 1; w < words.size(); ++w) {
          const std::size_t equals = words[w].find('=');
          const std::string_view key = words[w].substr(0, equals);
          const std::string_view text = equals == std::string_view::npos ? std::string_view() : words[w].substr(equals + 1);
          std::size_t k = 0;
          while (k < 5 && (k < 4 ? kKeys[k] : std::string_view("on")) != key) ++k;
          if (k == 5 || equals == std::string_view::npos)
            throw Error(where + name + " に " + Quoted(words[w]) + " という値はありません");
          if (seen[k]) throw Error(where + name + " の " + std::string(key) + " が二度あります");
          seen[k] = true;
          if (k == 4) {
            const std::vector<std::string_view> size = Split(text, 'x');
            if (size.size() != 2 || !ReadDigits(size[0], rect.picture_width) || !ReadDigits(size[1], rect.picture_height))
              throw Error(where + name + " の on の値 \"" + Quoted(text) + "\" は 幅x高さ の形で指定してください");
          } else if (!ReadWhole(text, *fields[k])) {
            throw Error(where + name + " の " + std::string(key) + " の値 \"" + Quoted(text) + "\" は整数ではありません");
          }
        }
        for (std::size_t k = 0; k < 4; ++k)
          if (!seen[k]) throw Error(where + name + " には " + std::string(kKeys[k]) + "=… が必要です");
        framing.crop = rect;
      }
    } else {
      return false;
    }
  } catch (const StepValueError& error) {
    throw Error(error.what());
  }
  if (const std::string problem = FramingProblem(framing); !problem.empty()) throw Error(where + problem);
  return true;
}

}  // namespace zumo

#include "imaging/Framing.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/ExtendedPrecision.h"
#include "imaging/Turn.h"

namespace zumo {
namespace {

std::string SizeText(int width, int height) { return std::to_string(width) + "x" + std::to_string(height); }

std::string RectText(const CropRect& r) {
  return std::to_string(r.x) + "," + std::to_string(r.y) + "," + std::to_string(r.width) + "," + std::to_string(r.height);
}

// The eight pixel moves as 2 x 2 matrices taking a position of the result (about its centre)
// to the position of the source it comes from, indexed by the EXIF orientation that
// TurnUpright performs.
struct Move {
  int a, b, c, d;  // source x = a x + b y, source y = c x + d y
  bool operator==(const Move&) const = default;
};
constexpr Move kMoves[9] = {{},           {1, 0, 0, 1},  {-1, 0, 0, 1}, {-1, 0, 0, -1}, {1, 0, 0, -1},
                            {0, 1, 1, 0}, {0, 1, -1, 0}, {0, -1, -1, 0}, {0, -1, 1, 0}};

constexpr Move Then(const Move& first, const Move& second) {
  // The result of `first` is the source of `second`.
  return {first.a * second.a + first.b * second.c, first.a * second.b + first.b * second.d,
          first.c * second.a + first.d * second.c, first.c * second.b + first.d * second.d};
}

Orientation MoveOf(int quarter_turns, bool flip_horizontal, bool flip_vertical) {
  Move move = kMoves[1];
  for (int i = 0; i < quarter_turns; ++i) move = Then(move, kMoves[static_cast<int>(Orientation::TurnClockwise)]);
  if (flip_horizontal) move = Then(move, kMoves[static_cast<int>(Orientation::MirrorLeftRight)]);
  if (flip_vertical) move = Then(move, kMoves[static_cast<int>(Orientation::MirrorTopBottom)]);
  int tag = 1;
  while (!(kMoves[tag] == move)) ++tag;
  return static_cast<Orientation>(tag);
}

// sin and cos of x (0 <= x <= pi / 4) by their series, summed from the smallest term.
void SinCos(long double x, long double& sin, long double& cos) {
  constexpr int kTerms = 12;  // x^25 / 25! is far below the last bit of the result
  const long double xx = x * x;
  long double s = 1.0L, c = 1.0L;
  for (int n = kTerms; n >= 1; --n) {
    s = 1.0L - xx / static_cast<long double>((2 * n) * (2 * n + 1)) * s;
    c = 1.0L - xx / static_cast<long double>((2 * n - 1) * (2 * n)) * c;
  }
  sin = x * s;
  cos = c;
}

}  // namespace

std::string DegreesText(int tenths) {
  const int magnitude = std::abs(tenths);
  std::string text(tenths < 0 ? "-" : "");
  text += std::to_string(magnitude / 10);
  text += '.';
  text += std::to_string(magnitude % 10);
  return text;
}

std::string FramingProblem(const Framing& framing) {
  if (framing.quarter_turns < 0 || framing.quarter_turns > 3) return "回転は 90 度単位で 0 から 3 回までです";
  if (std::abs(framing.straighten_tenths) > Framing::kMaxStraightenTenths)
    return "傾きの補正は -45 度から 45 度までです (指定 " + DegreesText(framing.straighten_tenths) + " 度)";
  if (const auto* ratio = std::get_if<CropRatio>(&framing.crop)) {
    if (ratio->width < 1 || ratio->height < 1)
      return "切り抜きの比率 " + std::to_string(ratio->width) + ":" + std::to_string(ratio->height) +
             " は使えません (どちらも 1 以上)";
  }
  if (const auto* rect = std::get_if<CropRect>(&framing.crop)) {
    if (rect->width < 1 || rect->height < 1) return "切り抜きの幅と高さは 1 以上にしてください (" + RectText(*rect) + ")";
    if (rect->x < 0 || rect->y < 0) return "切り抜きの位置は 0 以上にしてください (" + RectText(*rect) + ")";
    if ((rect->picture_width < 1) != (rect->picture_height < 1))
      return "切り抜きの元の画像の大きさ " + SizeText(rect->picture_width, rect->picture_height) + " は使えません";
  }
  return "";
}

std::string CropProblem(const CropRect& crop, FrameSize size) {
  if (crop.width < 1 || crop.height < 1) return "切り抜きの幅と高さは 1 以上にしてください (" + RectText(crop) + ")";
  const bool inside = crop.x >= 0 && crop.y >= 0 && crop.width <= size.width - crop.x &&
                      crop.height <= size.height - crop.y;
  if (!inside)
    return "切り抜き " + RectText(crop) + " が画像 " + SizeText(size.width, size.height) + " からはみ出しています";
  return "";
}

FrameSize TurnedSize(FrameSize photo, int quarter_turns) {
  return quarter_turns % 2 ? FrameSize{photo.height, photo.width} : photo;
}

StraightenRotation StraightenRotationOf(int tenths) {
  constexpr long double kPi = 3.141592653589793238462643383279502884L;
  const long double radians = static_cast<long double>(std::abs(tenths)) * kPi / 1800.0L;
  long double sin = 0, cos = 0;
  SinCos(radians, sin, cos);
  const auto s = static_cast<std::int32_t>(std::rint(sin * 65536.0L));
  const auto c = static_cast<std::int32_t>(std::rint(cos * 65536.0L));
  return {tenths < 0 ? -s : s, c};
}

CropRect StraightenedRect(FrameSize turned, int tenths) {
  const int w = turned.width, h = turned.height;
  if (tenths == 0 || w < 1 || h < 1) return {0, 0, w, h};
  const StraightenRotation rotation = StraightenRotationOf(tenths);
  const long double s = std::abs(rotation.sin_q16) / 65536.0L;
  const long double c = rotation.cos_q16 / 65536.0L;
  const long double lw = w, lh = h;
  const long double k = std::min(lw / (lw * c + lh * s), lh / (lw * s + lh * c));
  const int kept_w = std::clamp(static_cast<int>(k * lw), 1, w);
  const int kept_h = std::clamp(static_cast<int>(k * lh), 1, h);
  return {(w - kept_w) / 2, (h - kept_h) / 2, kept_w, kept_h};
}

FrameSize UncroppedSize(const Framing& framing, FrameSize photo) {
  const CropRect kept = StraightenedRect(TurnedSize(photo, framing.quarter_turns), framing.straighten_tenths);
  return {kept.width, kept.height};
}

CropRect LargestCentred(CropRatio ratio, FrameSize size) {
  const long long w = size.width, h = size.height;
  long long cw = w, ch = h;
  if (w * ratio.height >= h * ratio.width)
    cw = std::max(1LL, h * ratio.width / ratio.height);
  else
    ch = std::max(1LL, w * ratio.height / ratio.width);
  return {static_cast<int>((w - cw) / 2), static_cast<int>((h - ch) / 2), static_cast<int>(cw), static_cast<int>(ch)};
}

CropRect ScaleCrop(const CropRect& crop, FrameSize size) {
  if (crop.picture_width < 1 || crop.picture_height < 1 ||
      (crop.picture_width == size.width && crop.picture_height == size.height))
    return crop;
  // Both edges of a side scaled and truncated, so that neighbouring crops stay neighbours.
  auto scale = [](int from, int length, int old_side, int new_side, int& out_from, int& out_length) {
    const long long first = static_cast<long long>(from) * new_side / old_side;
    const long long last = static_cast<long long>(from + length) * new_side / old_side;
    out_length = static_cast<int>(std::max(1LL, last - first));
    out_from = static_cast<int>(std::min(first, static_cast<long long>(new_side) - out_length));
    out_from = std::max(out_from, 0);
  };
  CropRect scaled;
  scale(crop.x, crop.width, crop.picture_width, size.width, scaled.x, scaled.width);
  scale(crop.y, crop.height, crop.picture_height, size.height, scaled.y, scaled.height);
  scaled.picture_width = size.width;
  scaled.picture_height = size.height;
  return scaled;
}

CropRect ClampCrop(CropRect crop, FrameSize size) {
  crop.width = std::clamp(crop.width, 1, std::max(1, size.width));
  crop.height = std::clamp(crop.height, 1, std::max(1, size.height));
  crop.x = std::clamp(crop.x, 0, std::max(0, size.width - crop.width));
  crop.y = std::clamp(crop.y, 0, std::max(0, size.height - crop.height));
  return crop;
}

CropRect ResolveCrop(const Crop& crop, FrameSize size) {
  if (const auto* rect = std::get_if<CropRect>(&crop)) return ScaleCrop(*rect, size);
  if (const auto* ratio = std::get_if<CropRatio>(&crop)) return LargestCentred(*ratio, size);
  return {0, 0, size.width, size.height};
}

Bitmap TurnAndFlip(const Bitmap& picture, int quarter_turns, bool flip_horizontal, bool flip_vertical) {
  return TurnUpright(picture, MoveOf(quarter_turns & 3, flip_horizontal, flip_vertical));
}

Bitmap CropBitmap(const Bitmap& picture, const CropRect& crop) {
  const std::string problem = CropProblem(crop, {picture.Width(), picture.Height()});
  if (!problem.empty()) throw Error(problem);
  if (crop.width == picture.Width() && crop.height == picture.Height()) return picture;
  Bitmap cropped(crop.width, crop.height, Bitmap::Uninitialized{});
  const std::uint8_t* src = picture.Bits() + picture.Stride() * crop.y + 3 * std::ptrdiff_t{crop.x};
  std::uint8_t* dst = cropped.MutableBits();
  const std::size_t row_bytes = 3 * static_cast<std::size_t>(crop.width);
  for (int y = 0; y < crop.height; ++y) std::memcpy(dst + cropped.Stride() * y, src + picture.Stride() * y, row_bytes);
  return cropped;
}

Bitmap Straighten(const Bitmap& turned, int tenths) {
  const CropRect kept = StraightenedRect({turned.Width(), turned.Height()}, tenths);
  return StraightenPart(turned, tenths, {0, 0, kept.width, kept.height});
}

Bitmap Frame(const Bitmap& upright_photo, const Framing& framing) {
  if (const std::string problem = FramingProblem(framing); !problem.empty()) throw Error(problem);
  const Bitmap turned =
      TurnAndFlip(upright_photo, framing.quarter_turns, framing.flip_horizontal, framing.flip_vertical);
  const CropRect kept = StraightenedRect({turned.Width(), turned.Height()}, framing.straighten_tenths);
  const CropRect crop = ResolveCrop(framing.crop, {kept.width, kept.height});
  if (const std::string problem = CropProblem(crop, {kept.width, kept.height}); !problem.empty()) throw Error(problem);
  if (framing.straighten_tenths == 0) return CropBitmap(turned, crop);
  return StraightenPart(turned, framing.straighten_tenths, crop);
}

}  // namespace zumo

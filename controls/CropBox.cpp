#include "controls/CropBox.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zumo {
namespace {

int Rounded(double value) { return static_cast<int>(std::lrint(value)); }

CropRect Box(int x, int y, int width, int height, FrameSize picture) {
  return {x, y, width, height, picture.width, picture.height};
}

bool HasLeft(CropHandle h) { return h == CropHandle::Left || h == CropHandle::TopLeft || h == CropHandle::BottomLeft; }
bool HasRight(CropHandle h) {
  return h == CropHandle::Right || h == CropHandle::TopRight || h == CropHandle::BottomRight;
}
bool HasTop(CropHandle h) { return h == CropHandle::Top || h == CropHandle::TopLeft || h == CropHandle::TopRight; }
bool HasBottom(CropHandle h) {
  return h == CropHandle::Bottom || h == CropHandle::BottomLeft || h == CropHandle::BottomRight;
}

// The start of a side of `length` centred on `twice_centre` / 2 (rounded down), kept
// inside [0, side).
int CentredStart(long long twice_centre, int length, int side) {
  const long long offset = twice_centre - length;
  const long long start = offset >= 0 ? offset / 2 : -((1 - offset) / 2);
  return static_cast<int>(std::clamp<long long>(start, 0, std::max(0, side - length)));
}

}  // namespace

CropRect MoveCropBy(const CropRect& start, double dx, double dy, FrameSize picture) {
  return ClampCrop(Box(start.x + Rounded(dx), start.y + Rounded(dy), start.width, start.height, picture), picture);
}

CropRect DragCropHandle(const CropRect& start, CropHandle handle, double dx, double dy,
                        const std::optional<CropRatio>& ratio, FrameSize picture) {
  if (handle == CropHandle::None) return start;
  if (handle == CropHandle::Move) return MoveCropBy(start, dx, dy, picture);
  const int w = picture.width, h = picture.height;
  const int left = start.x, right = start.x + start.width, top = start.y, bottom = start.y + start.height;
  const bool moves_left = HasLeft(handle), moves_right = HasRight(handle);
  const bool moves_top = HasTop(handle), moves_bottom = HasBottom(handle);

  if (!ratio || ratio->width < 1 || ratio->height < 1) {
    const int new_left = moves_left ? std::clamp(Rounded(left + dx), 0, right - 1) : left;
    const int new_right = moves_right ? std::clamp(Rounded(right + dx), left + 1, w) : right;
    const int new_top = moves_top ? std::clamp(Rounded(top + dy), 0, bottom - 1) : top;
    const int new_bottom = moves_bottom ? std::clamp(Rounded(bottom + dy), top + 1, h) : bottom;
    return Box(new_left, new_top, new_right - new_left, new_bottom - new_top, picture);
  }

  const double wide = static_cast<double>(ratio->width) / ratio->height;  // width per height
  const bool horizontal = moves_left || moves_right, vertical = moves_top || moves_bottom;
  // The fixed edges, the size the pointer asks for and the room beyond the fixed edges.
  const int anchor_x = moves_left ? right : left, anchor_y = moves_top ? bottom : top;
  const double asked_width = moves_left ? right - (left + dx) : moves_right ? right + dx - left : start.width;
  const double asked_height = moves_top ? bottom - (top + dy) : moves_bottom ? bottom + dy - top : start.height;
  const int room_width = !horizontal ? w : moves_left ? anchor_x : w - anchor_x;
  const int room_height = !vertical ? h : moves_top ? anchor_y : h - anchor_y;

  // The width that keeps the ratio, within the room; the height follows from it.
  double width = horizontal && vertical ? std::max(asked_width, asked_height * wide)
                 : horizontal          ? asked_width
                                       : asked_height * wide;
  width = std::max(1.0, std::min({width, static_cast<double>(room_width), room_height * wide}));
  const int new_width = std::clamp(Rounded(width), 1, room_width);
  int new_height = std::clamp(Rounded(new_width / wide), 1, room_height);
  int new_x = 0, new_y = 0;
  if (horizontal) {
    new_x = moves_left ? anchor_x - new_width : anchor_x;
  } else {
    new_x = CentredStart(2LL * left + start.width, new_width, w);
  }
  if (vertical) {
    new_y = moves_top ? anchor_y - new_height : anchor_y;
  } else {
    new_height = std::min(new_height, h);
    new_y = CentredStart(2LL * top + start.height, new_height, h);
  }
  return Box(new_x, new_y, new_width, new_height, picture);
}

CropRect CropAtRatio(const CropRect& box, CropRatio ratio, FrameSize picture) {
  const CropRect largest = LargestCentred(ratio, picture);
  const long long twice_x = 2LL * box.x + box.width, twice_y = 2LL * box.y + box.height;
  // A box centred as well as whole pixels allow gets exactly the engine's centred crop.
  const int x = std::abs(twice_x - picture.width) <= 1 ? largest.x : CentredStart(twice_x, largest.width, picture.width);
  const int y =
      std::abs(twice_y - picture.height) <= 1 ? largest.y : CentredStart(twice_y, largest.height, picture.height);
  return Box(x, y, largest.width, largest.height, picture);
}

CropRect KeepRatio(const CropRect& box, CropRatio ratio, FrameSize picture) {
  const double wide = static_cast<double>(ratio.width) / ratio.height;
  int width = std::clamp(box.width, 1, std::max(1, picture.width));
  int height = std::max(1, Rounded(width / wide));
  if (height > picture.height) {
    height = std::max(1, picture.height);
    width = std::clamp(Rounded(height * wide), 1, std::max(1, picture.width));
  }
  return Box(CentredStart(2LL * box.x + box.width, width, picture.width),
             CentredStart(2LL * box.y + box.height, height, picture.height), width, height, picture);
}

}  // namespace zumo

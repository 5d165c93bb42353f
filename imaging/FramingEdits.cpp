#include "imaging/FramingEdits.h"

#include <optional>
#include <utility>
#include <variant>

namespace zumo {
namespace {

// The crop as a rectangle of the picture it is cut from now, or none for no crop or a ratio.
std::optional<CropRect> CurrentRect(const Framing& framing, FrameSize photo) {
  const auto* rect = std::get_if<CropRect>(&framing.crop);
  if (rect == nullptr) return std::nullopt;
  return ScaleCrop(*rect, UncroppedSize(framing, photo));
}

// `rect` (of a picture `before` in size) moved by `move`, then fitted to the new framing's
// picture and recorded on it.
template <class Move>
Framing WithMovedCrop(Framing edited, const std::optional<CropRect>& rect, FrameSize before, FrameSize photo,
                      Move&& move) {
  if (!rect) return edited;
  const FrameSize after = UncroppedSize(edited, photo);
  CropRect moved = ClampCrop(move(*rect, before), after);
  moved.picture_width = after.width;
  moved.picture_height = after.height;
  edited.crop = moved;
  return edited;
}

Framing Turned(const Framing& framing, FrameSize photo, bool clockwise) {
  const bool mirrored = framing.flip_horizontal != framing.flip_vertical;
  Framing edited = framing;
  // Seen through one mirror, a turn goes the other way.
  edited.quarter_turns = (framing.quarter_turns + (clockwise != mirrored ? 1 : 3)) % 4;
  if (auto* ratio = std::get_if<CropRatio>(&edited.crop)) std::swap(ratio->width, ratio->height);
  return WithMovedCrop(edited, CurrentRect(framing, photo), UncroppedSize(framing, photo), photo,
                       [clockwise](const CropRect& r, FrameSize size) {
                         CropRect turned = r;
                         std::swap(turned.width, turned.height);
                         turned.x = clockwise ? size.height - r.y - r.height : r.y;
                         turned.y = clockwise ? r.x : size.width - r.x - r.width;
                         return turned;
                       });
}

Framing Flipped(const Framing& framing, FrameSize photo, bool horizontal) {
  Framing edited = framing;
  (horizontal ? edited.flip_horizontal : edited.flip_vertical) ^= true;
  edited.straighten_tenths = -framing.straighten_tenths;  // the mirror image of a turn is the opposite turn
  return WithMovedCrop(edited, CurrentRect(framing, photo), UncroppedSize(framing, photo), photo,
                       [horizontal](const CropRect& r, FrameSize size) {
                         CropRect mirrored = r;
                         if (horizontal)
                           mirrored.x = size.width - r.x - r.width;
                         else
                           mirrored.y = size.height - r.y - r.height;
                         return mirrored;
                       });
}

}  // namespace

Framing TurnedClockwise(const Framing& framing, FrameSize photo) { return Turned(framing, photo, true); }
Framing TurnedAnticlockwise(const Framing& framing, FrameSize photo) { return Turned(framing, photo, false); }
Framing FlippedHorizontally(const Framing& framing, FrameSize photo) { return Flipped(framing, photo, true); }
Framing FlippedVertically(const Framing& framing, FrameSize photo) { return Flipped(framing, photo, false); }

}  // namespace zumo

#pragma once

#include <optional>

#include "imaging/Framing.h"

namespace zumo {

// The crop editor's box arithmetic, in pixels of the straightened picture (no Qt). Pointer
// offsets arrive as fractions of a pixel and are rounded half to even; every result lies
// inside the picture and is at least one pixel wide and high.

// What a press on the box grabs: an edge, a corner, the inside (Move) or nothing.
enum class CropHandle { None, Move, Left, Right, Top, Bottom, TopLeft, TopRight, BottomLeft, BottomRight };

// `start` moved by (dx, dy), stopped at the picture's edges.
CropRect MoveCropBy(const CropRect& start, double dx, double dy, FrameSize picture);

// `start` with the edges of `handle` moved by (dx, dy); the opposite edges stay. With a
// ratio, a corner keeps it by following whichever side the pointer stretches more, an edge
// by sizing the other side about its centre line; the box shrinks rather than leave the
// picture, and never turns inside out.
CropRect DragCropHandle(const CropRect& start, CropHandle handle, double dx, double dy,
                        const std::optional<CropRatio>& ratio, FrameSize picture);

// The box a new ratio gives: the largest of that ratio inside the picture, centred on
// `box`'s centre as far as the picture allows (LargestCentred for a centred box).
CropRect CropAtRatio(const CropRect& box, CropRatio ratio, FrameSize picture);

// `box` brought back to `ratio` after it was scaled: its width and centre kept, its height
// from the ratio (both reduced when the picture is too low), then moved inside the picture.
CropRect KeepRatio(const CropRect& box, CropRatio ratio, FrameSize picture);

}  // namespace zumo

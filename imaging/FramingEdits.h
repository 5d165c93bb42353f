#pragma once

#include "imaging/Framing.h"

namespace zumo {

// What the window's turn and flip commands do to a framing. The user turns or mirrors the
// picture as it shows (the framed photo); the framing keeps its own order (turns, flips,
// straighten, crop), so each command is rewritten into that order: a turn after one mirror
// is the opposite turn before it, a mirror after a straighten is a mirror before the
// opposite straighten. A crop turns or mirrors with the picture (a ratio turns to its
// portrait or landscape form), so the same part of the photo stays framed. `photo` is the
// size of the upright photo the framing is applied to.
Framing TurnedClockwise(const Framing& framing, FrameSize photo);
Framing TurnedAnticlockwise(const Framing& framing, FrameSize photo);
Framing FlippedHorizontally(const Framing& framing, FrameSize photo);
Framing FlippedVertically(const Framing& framing, FrameSize photo);

}  // namespace zumo

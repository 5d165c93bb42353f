#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace zumo {

// Pixel buffers for bitmaps. Contents are unspecified. Raises Error(messages::kOutOfMemory)
// when memory runs out; returns nullptr for 0 bytes.
//
// Retouching makes and drops photo-sized pictures all the time (a slider change copies the
// base, a filter chain copies its intermediates). A fresh 36 MB buffer costs page faults worth
// several copies of the picture, so the few most recently released large buffers are kept and
// handed out again to the next request of the same size.
std::shared_ptr<std::uint8_t[]> AllocatePixels(std::size_t bytes);

// Drops every kept buffer (for tests and for callers about to need a lot of memory).
void ReleaseKeptPixelBuffers();

// How many released buffers are kept right now.
std::size_t KeptPixelBufferCount();

}  // namespace zumo

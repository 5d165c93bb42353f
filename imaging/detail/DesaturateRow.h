#pragma once

#include <cstdint>

namespace zumo::detail {

// For the first `width` pixels of a row: m = (blue + green + red) div 3, and each channel
// ch becomes ((ch * (255 - A)) >> 8) + ((m * A) >> 8).
void DesaturateRow(std::uint8_t* row, int width, std::uint8_t A) noexcept;

}  // namespace zumo::detail

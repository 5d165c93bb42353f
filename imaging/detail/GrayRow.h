#pragma once

#include <cstdint>

namespace zumo::detail {

// Writes the grey level of every pixel (GrayLevel) to its three bytes, for the first
// `width` pixels of a row.
void GrayRow(std::uint8_t* row, int width) noexcept;

}  // namespace zumo::detail

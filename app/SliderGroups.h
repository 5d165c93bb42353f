#pragma once

#include <cstdint>

// The values of ActiveGroup: which slider group's operation the shown picture carries on
// top of the base, or that the one-button filter ran last.
namespace slider_groups {

inline constexpr std::int32_t kNone = 0;  // after a load, a size choice or a restart
inline constexpr std::int32_t kColour = 1;
inline constexpr std::int32_t kContrast = 2;
inline constexpr std::int32_t kSharpness = 3;
inline constexpr std::int32_t kBrightness = 4;
inline constexpr std::int32_t kMonochrome = 5;
inline constexpr std::int32_t kFilter = 100;

}  // namespace slider_groups

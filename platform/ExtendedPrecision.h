#pragma once

#include <limits>

// Results defined in extended precision are computed in `long double`, which must be the
// x87 80-bit format (a 64-bit significand) for them to come out byte for byte: a 64-bit
// double would round differently and a 128-bit quad would be exact where they are not.
static_assert(std::numeric_limits<long double>::digits == 64,
              "long double must be the x87 80-bit extended format (64-bit significand)");

#pragma once

#include <string_view>

namespace zumo {

// Whether the bytes are whole UTF-8 sequences only: no overlong forms, no UTF-16
// surrogates, nothing past U+10FFFF, no sequence cut off at the end.
bool IsValidUtf8(std::string_view text) noexcept;

}  // namespace zumo

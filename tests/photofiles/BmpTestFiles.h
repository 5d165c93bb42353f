#pragma once

// Hand-made BMP files for the reader and writer tests.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/Bitmap.h"

namespace zumo::test {

using Bytes = std::vector<std::uint8_t>;

inline void Append16(Bytes& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void Append32(Bytes& out, std::uint32_t v) {
  Append16(out, v);
  Append16(out, v >> 16);
}
inline void Overwrite32(Bytes& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Describes one file: the header fields that matter, the extra bytes after the header
// (masks, palette) and the pixel bytes exactly as stored.
struct BmpLayout {
  std::uint32_t header_size = 40;
  std::int32_t width = 1;
  std::int32_t height = 1;
  std::uint16_t bits = 24;
  std::uint32_t compression = 0;
  std::uint32_t colours_used = 0;
  std::vector<std::uint32_t> masks_in_header{};  // for 52-byte and longer headers
  Bytes after_header{};                        // masks of a 40-byte header, then the palette
  Bytes pixels{};
  bool zero_offset = false;                    // leave bfOffBits at 0
};

inline Bytes MakeBmp(const BmpLayout& layout) {
  Bytes info;
  Append32(info, layout.header_size);
  if (layout.header_size == 12) {
    Append16(info, static_cast<std::uint32_t>(layout.width));
    Append16(info, static_cast<std::uint32_t>(layout.height));
    Append16(info, 1);
    Append16(info, layout.bits);
  } else {
    Append32(info, static_cast<std::uint32_t>(layout.width));
    Append32(info, static_cast<std::uint32_t>(layout.height));
    Append16(info, 1);
    Append16(info, layout.bits);
    Append32(info, layout.compression);
    Append32(info, static_cast<std::uint32_t>(layout.pixels.size()));
    Append32(info, 2835);
    Append32(info, 2835);
    Append32(info, layout.colours_used);
    Append32(info, 0);
    for (std::uint32_t m : layout.masks_in_header) Append32(info, m);
    info.resize(layout.header_size, 0);
  }
  const std::uint32_t offset = static_cast<std::uint32_t>(14 + info.size() + layout.after_header.size());
  Bytes file{'B', 'M'};
  Append32(file, static_cast<std::uint32_t>(offset + layout.pixels.size()));
  Append32(file, 0);
  Append32(file, layout.zero_offset ? 0 : offset);
  file.insert(file.end(), info.begin(), info.end());
  file.insert(file.end(), layout.after_header.begin(), layout.after_header.end());
  file.insert(file.end(), layout.pixels.begin(), layout.pixels.end());
  return file;
}

// Palette entries given as {B, G, R}; `quad` adds the reserved fourth byte.
inline Bytes Palette(std::initializer_list<std::initializer_list<std::uint8_t>> colours, bool quad = true) {
  Bytes out;
  for (const auto& c : colours) {
    out.insert(out.end(), c.begin(), c.end());
    if (quad) out.push_back(0);
  }
  return out;
}

// The pixel at (x, y) as {B, G, R}.
inline std::vector<int> PixelAt(const Bitmap& bitmap, int x, int y) {
  const std::uint8_t* p = bitmap.ScanLine(y) + 3 * x;
  return {p[0], p[1], p[2]};
}

}  // namespace zumo::test

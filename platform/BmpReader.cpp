// Reading BMP files of the common variants into the 24-bit bitmap.
//
// Accepted: the 12-byte core header and the 40, 52, 56, 108 and 124-byte information
// headers; 1, 4 and 8 bits per pixel with a palette, 8-bit RLE and 4-bit RLE; 16 and 32 bits
// per pixel, plain or with bit-field masks; 24 bits per pixel; rows stored bottom-up
// (positive height) or top-down (negative height).
//
// Choices for damaged or odd files:
// - A width or height of 0 is not a valid bitmap (nothing ever writes one).
// - A palette index beyond the palette reads as black.
// - Pixels that an RLE stream skips (by a delta or an early end of line or bitmap) take the
//   colour of palette entry 0.
// - A bit-field mask of 0 gives 0 in that channel; other masks are taken as they stand, each
//   channel scaled from its own maximum to 0..255.
// - The pixel data may end without the padding of its last row.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "platform/BmpReader.h"
#include "platform/InputFile.h"

namespace zumo {
namespace {

constexpr const char* kInvalidBitmap = "ビットマップイメージが不正です";
constexpr const char* kReadError = messages::kReadError;

constexpr std::uint64_t kFileHeaderSize = 14;
// The headers, masks and the largest palette all lie within this many bytes of the start.
constexpr std::uint64_t kHeaderRegionLimit = kFileHeaderSize + 124 + 16 + 256 * 4;

enum class Encoding { kPalette, kRle8, kRle4, kBitFields, kBgr24 };

constexpr std::uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitFields = 3, kBiAlphaBitFields = 6;

// Everything the pixel decoding needs to know, taken from the headers.
struct Layout {
  int width = 0;
  int height = 0;
  bool bottom_up = true;
  int bits = 0;
  Encoding encoding = Encoding::kBgr24;
  std::array<std::uint32_t, 3> masks{};  // red, green, blue
  // Palette entries as B, G, R; entries beyond the file's palette stay black.
  std::array<std::array<std::uint8_t, 3>, 256> palette{};
  std::uint64_t pixel_offset = 0;
  std::uint64_t row_bytes = 0;        // stored row length, padding included (uncompressed)
  std::uint64_t minimum_bytes = 0;    // pixel data needed after pixel_offset
  std::uint64_t maximum_bytes = 0;    // pixel data ever looked at after pixel_offset
};

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t U32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}
std::int32_t I32(const std::uint8_t* p) { return static_cast<std::int32_t>(U32(p)); }

// Checks that `size` bytes exist at `offset` of `data`; a file that stops early is a read error.
void Require(std::span<const std::uint8_t> data, std::uint64_t offset, std::uint64_t size) {
  if (offset > data.size() || size > data.size() - offset) throw Error(kReadError);
}

// What the file header and the information header declare, before any check of sense.
struct DeclaredHeader {
  std::uint32_t pixel_offset = 0;  // 0: the pixels follow the palette
  std::uint32_t size = 0;          // of the information header
  bool core = false;               // the 12-byte header of the oldest files
  std::int64_t width = 0, height = 0;
  int bits = 0;
  std::uint32_t compression = kBiRgb;
  std::uint32_t colours_used = 0;
};

DeclaredHeader ReadDeclaredHeader(std::span<const std::uint8_t> head) {
  if (head.size() < 2) throw Error(head.empty() ? kReadError : kInvalidBitmap);
  if (head[0] != 'B' || head[1] != 'M') throw Error(kInvalidBitmap);
  Require(head, 0, kFileHeaderSize + 4);
  DeclaredHeader header;
  header.pixel_offset = U32(&head[10]);
  header.size = U32(&head[14]);
  header.core = header.size == 12;
  if (!header.core && header.size != 40 && header.size != 52 && header.size != 56 && header.size != 108 &&
      header.size != 124) {
    throw Error(kInvalidBitmap);
  }
  Require(head, kFileHeaderSize, header.size);
  const std::uint8_t* info = &head[kFileHeaderSize];
  if (header.core) {
    header.width = U16(info + 4);
    header.height = U16(info + 6);
    header.bits = U16(info + 10);
  } else {
    header.width = I32(info + 4);
    header.height = I32(info + 8);
    header.bits = U16(info + 14);
    header.compression = U32(info + 16);
    header.colours_used = U32(info + 32);
  }
  return header;
}

// The pixel encoding a bit depth and compression stand for; anything else is invalid.
void ChooseEncoding(const DeclaredHeader& header, Layout& layout) {
  const int bits = header.bits;
  const std::uint32_t compression = header.compression;
  if (compression == kBiRgb) {
    if (bits == 1 || bits == 4 || bits == 8) {
      layout.encoding = Encoding::kPalette;
    } else if (bits == 16) {
      layout.encoding = Encoding::kBitFields;
      layout.masks = {0x7C00, 0x03E0, 0x001F};
    } else if (bits == 24) {
      layout.encoding = Encoding::kBgr24;
    } else if (bits == 32) {
      layout.encoding = Encoding::kBitFields;
      layout.masks = {0xFF0000, 0x00FF00, 0x0000FF};
    } else {
      throw Error(kInvalidBitmap);
    }
  } else if (compression == kBiRle8 && bits == 8 && !header.core) {
    layout.encoding = Encoding::kRle8;
  } else if (compression == kBiRle4 && bits == 4 && !header.core) {
    layout.encoding = Encoding::kRle4;
  } else if ((compression == kBiBitFields || compression == kBiAlphaBitFields) && (bits == 16 || bits == 32) &&
             !header.core) {
    layout.encoding = Encoding::kBitFields;
  } else {
    throw Error(kInvalidBitmap);
  }
}

// Reads the colour masks of a bit-fields file; returns where the headers end after them.
// A 40-byte header keeps its masks after it; the longer headers hold them inside.
std::uint64_t ReadMasks(std::span<const std::uint8_t> head, const DeclaredHeader& header, std::uint64_t after_header,
                        Layout& layout) {
  if (header.compression != kBiBitFields && header.compression != kBiAlphaBitFields) return after_header;
  const std::uint8_t* masks = &head[kFileHeaderSize] + 40;
  if (header.size == 40) {
    const std::uint64_t count = header.compression == kBiAlphaBitFields ? 4 : 3;
    Require(head, after_header, 4 * count);
    masks = &head[after_header];
    after_header += 4 * count;
  }
  layout.masks = {U32(masks), U32(masks + 4), U32(masks + 8)};
  return after_header;
}

// Reads the palette of a palette or run-length file; returns where it ends.
std::uint64_t ReadPalette(std::span<const std::uint8_t> head, const DeclaredHeader& header,
                          std::uint64_t after_header, Layout& layout) {
  if (layout.encoding != Encoding::kPalette && layout.encoding != Encoding::kRle8 &&
      layout.encoding != Encoding::kRle4) {
    return after_header;
  }
  const std::uint32_t full = 1u << header.bits;
  const std::uint32_t count = (header.colours_used == 0 || header.colours_used > full) ? full : header.colours_used;
  const std::uint64_t entry = header.core ? 3 : 4;
  Require(head, after_header, count * entry);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t* e = &head[after_header + i * entry];
    layout.palette[i] = {e[0], e[1], e[2]};
  }
  return after_header + count * entry;
}

// The stored row length and the least and most pixel data the decoder may look at; a
// file too short for the least is a read error.
void SetPixelExtent(std::uint64_t file_size, Layout& layout) {
  const std::uint64_t w = static_cast<std::uint64_t>(layout.width);
  const std::uint64_t h = static_cast<std::uint64_t>(layout.height);
  if (layout.encoding == Encoding::kRle8 || layout.encoding == Encoding::kRle4) {
    // A sensible encoder spends at most two bytes per pixel plus an end of line per row;
    // anything beyond four is never read.
    layout.minimum_bytes = 0;
    layout.maximum_bytes = 4 * w * h + 4 * h + 16;
  } else {
    const auto bits = static_cast<std::uint64_t>(layout.bits);
    layout.row_bytes = (w * bits + 31) / 32 * 4;
    const std::uint64_t last_row = (w * bits + 7) / 8;
    layout.minimum_bytes = layout.row_bytes * (h - 1) + last_row;
    layout.maximum_bytes = layout.row_bytes * h;
  }
  if (file_size - layout.pixel_offset < layout.minimum_bytes) throw Error(kReadError);
}

// Parses the file header, the information header, the masks and the palette. `head` is the
// start of the file (at least its first kHeaderRegionLimit bytes, or all of it when shorter);
// `file_size` is the length of the whole file.
Layout ParseHeaders(std::span<const std::uint8_t> head, std::uint64_t file_size) {
  const DeclaredHeader header = ReadDeclaredHeader(head);
  Layout layout;
  layout.bits = header.bits;
  layout.bottom_up = header.height > 0;
  const std::int64_t height = header.height < 0 ? -header.height : header.height;  // in 64 bits: INT_MIN is safe
  if (header.width <= 0 || height <= 0) throw Error(kInvalidBitmap);

  ChooseEncoding(header, layout);
  std::uint64_t after_header = kFileHeaderSize + header.size;
  after_header = ReadMasks(head, header, after_header, layout);
  after_header = ReadPalette(head, header, after_header, layout);

  Bitmap::CheckSize(header.width, height);
  layout.width = static_cast<int>(header.width);
  layout.height = static_cast<int>(height);

  // Some writers leave the offset at 0: the pixels then follow the palette.
  layout.pixel_offset = header.pixel_offset == 0 ? after_header : header.pixel_offset;
  if (layout.pixel_offset > file_size) throw Error(kReadError);
  SetPixelExtent(file_size, layout);
  return layout;
}

Bitmap AllocateFor(const Layout& layout) {
  return Bitmap(layout.width, layout.height, Bitmap::Uninitialized{});
}

// The bitmap row that holds stored row `stored` (stored rows count from the file's order).
int TargetRow(const Layout& layout, std::uint64_t stored) {
  const int y = static_cast<int>(stored);
  return layout.bottom_up ? layout.height - 1 - y : y;
}

void DecodePaletteRows(const Layout& layout, const std::uint8_t* pixels, Bitmap& bitmap) {
  const int bits = layout.bits;
  const int per_byte = 8 / bits;
  const unsigned mask = (1u << bits) - 1;
  for (int row = 0; row < layout.height; ++row) {
    const std::uint8_t* src = pixels + static_cast<std::uint64_t>(row) * layout.row_bytes;
    std::uint8_t* dst = bitmap.ScanLine(TargetRow(layout, static_cast<std::uint64_t>(row)));
    for (int x = 0; x < layout.width; ++x) {
      const int shift = 8 - bits * (x % per_byte + 1);
      const unsigned index = (src[x / per_byte] >> shift) & mask;
      std::memcpy(dst + 3 * x, layout.palette[index].data(), 3);
    }
  }
}

// One channel's bit field: where it sits, and a ready-made scale to 0..255 for small fields.
class Field {
 public:
  explicit Field(std::uint32_t mask) : mask_(mask) {
    if (mask == 0) return;
    shift_ = std::countr_zero(mask);
    max_ = mask >> shift_;
    if (max_ <= 0xFFFF) {
      table_.resize(max_ + 1);
      for (std::uint32_t v = 0; v <= max_; ++v) table_[v] = Scale(v);
    }
  }
  std::uint8_t operator()(std::uint32_t pixel) const {
    if (mask_ == 0) return 0;
    const std::uint32_t v = (pixel & mask_) >> shift_;
    return table_.empty() ? Scale(v) : table_[v];
  }

 private:
  std::uint8_t Scale(std::uint32_t v) const {
    return static_cast<std::uint8_t>((std::uint64_t{v} * 255 + max_ / 2) / max_);
  }

  std::uint32_t mask_;
  int shift_ = 0;
  std::uint32_t max_ = 0;
  std::vector<std::uint8_t> table_;
};

void DecodeBitFieldRows(const Layout& layout, const std::uint8_t* pixels, Bitmap& bitmap) {
  const bool plain32 = layout.bits == 32 && layout.masks == std::array<std::uint32_t, 3>{0xFF0000, 0xFF00, 0xFF};
  const Field red(layout.masks[0]), green(layout.masks[1]), blue(layout.masks[2]);
  for (int row = 0; row < layout.height; ++row) {
    const std::uint8_t* src = pixels + static_cast<std::uint64_t>(row) * layout.row_bytes;
    std::uint8_t* dst = bitmap.ScanLine(TargetRow(layout, static_cast<std::uint64_t>(row)));
    if (plain32) {
      for (int x = 0; x < layout.width; ++x, src += 4, dst += 3) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
      }
    } else if (layout.bits == 32) {
      for (int x = 0; x < layout.width; ++x, src += 4, dst += 3) {
        const std::uint32_t v = U32(src);
        dst[0] = blue(v);
        dst[1] = green(v);
        dst[2] = red(v);
      }
    } else {
      for (int x = 0; x < layout.width; ++x, src += 2, dst += 3) {
        const std::uint32_t v = U16(src);
        dst[0] = blue(v);
        dst[1] = green(v);
        dst[2] = red(v);
      }
    }
  }
}

void DecodeBgr24Rows(const Layout& layout, const std::uint8_t* pixels, Bitmap& bitmap) {
  const std::size_t bytes = 3 * static_cast<std::size_t>(layout.width);
  for (int row = 0; row < layout.height; ++row) {
    std::memcpy(bitmap.ScanLine(TargetRow(layout, static_cast<std::uint64_t>(row))),
                pixels + static_cast<std::uint64_t>(row) * layout.row_bytes, bytes);
  }
}

// Run-length decoding of 8-bit and 4-bit pictures. Runs and deltas that leave the row are
// clipped; the stream ends at its end-of-bitmap code or once every row has been passed.
void DecodeRle(const Layout& layout, std::span<const std::uint8_t> data, Bitmap& bitmap) {
  const bool four = layout.encoding == Encoding::kRle4;
  const std::int64_t width = layout.width, height = layout.height;
  std::uint8_t* bits = bitmap.MutableBits();
  const std::ptrdiff_t stride = bitmap.Stride();
  // Fill with palette entry 0: one row pixel by pixel, the others copied from it.
  for (int x = 0; x < layout.width; ++x) std::memcpy(bits + 3 * x, layout.palette[0].data(), 3);
  for (int y = 1; y < layout.height; ++y) std::memcpy(bits + y * stride, bits, 3 * static_cast<std::size_t>(width));

  std::int64_t x = 0, y = 0;  // y counts stored rows
  auto put = [&](unsigned index) {
    if (x < width) {
      std::uint8_t* row = bits + TargetRow(layout, static_cast<std::uint64_t>(y)) * stride;
      std::memcpy(row + 3 * x, layout.palette[index].data(), 3);
    }
    ++x;
  };
  std::size_t at = 0;
  auto next = [&]() -> unsigned {
    if (at >= data.size()) throw Error(kReadError);
    return data[at++];
  };
  while (y < height) {
    const unsigned count = next();
    const unsigned value = next();
    if (count > 0) {
      const unsigned run = static_cast<unsigned>(std::min<std::int64_t>(count, std::max<std::int64_t>(width - x, 0)));
      for (unsigned i = 0; i < run; ++i) put(four ? (i % 2 == 0 ? value >> 4 : value & 15) : value);
      x += count - run;
    } else if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      break;
    } else if (value == 2) {  // delta: move right and up
      const unsigned dx = next();
      const unsigned dy = next();
      x = std::min<std::int64_t>(x + dx, width);
      y += dy;
    } else {  // absolute run of `value` pixels, padded to a 16-bit boundary
      const unsigned stored = four ? (value + 1) / 2 : value;
      if (stored > data.size() - at) throw Error(kReadError);
      const std::uint8_t* p = &data[at];
      for (unsigned i = 0; i < value && x < width; ++i) put(four ? (i % 2 == 0 ? p[i / 2] >> 4 : p[i / 2] & 15) : p[i]);
      at += stored + (stored & 1);
      if (at > data.size()) at = data.size();
      x = std::min<std::int64_t>(x, width);
    }
  }
}

// Decodes the pixel data; `pixels` starts at the first pixel byte and holds at least
// layout.minimum_bytes.
void DecodePixels(const Layout& layout, std::span<const std::uint8_t> pixels, Bitmap& bitmap) {
  switch (layout.encoding) {
    case Encoding::kPalette: DecodePaletteRows(layout, pixels.data(), bitmap); break;
    case Encoding::kBitFields: DecodeBitFieldRows(layout, pixels.data(), bitmap); break;
    case Encoding::kBgr24: DecodeBgr24Rows(layout, pixels.data(), bitmap); break;
    case Encoding::kRle8:
    case Encoding::kRle4: DecodeRle(layout, pixels, bitmap); break;
  }
}

// Row padding of the bitmap is zero whatever the file held there.
void ClearPadding(Bitmap& bitmap) {
  const std::size_t row_bytes = 3 * static_cast<std::size_t>(bitmap.Width());
  const std::size_t padding = static_cast<std::size_t>(bitmap.Stride()) - row_bytes;
  if (padding == 0) return;
  std::uint8_t* bits = bitmap.MutableBits();
  for (int y = 0; y < bitmap.Height(); ++y) std::memset(bits + y * bitmap.Stride() + row_bytes, 0, padding);
}

// Reads exactly `size` bytes at `offset` (size is known to lie within the file).
void ReadAt(int fd, std::uint64_t offset, std::uint8_t* out, std::uint64_t size) {
  if (!ReadExactlyAt(fd, offset, std::span(out, static_cast<std::size_t>(size)))) throw Error(kReadError);
}

// 24-bit rows have the bitmap's own padded length: they are read straight into place,
// bottom-up files by a gathering read that puts each stored row at its bitmap row.
void ReadBgr24Direct(int fd, const Layout& layout, std::uint64_t file_size, Bitmap& bitmap) {
  std::uint8_t* bits = bitmap.MutableBits();
  const std::uint64_t stride = static_cast<std::uint64_t>(bitmap.Stride());
  const std::uint64_t available = std::min(file_size - layout.pixel_offset, layout.maximum_bytes);
  if (!layout.bottom_up) {
    ReadAt(fd, layout.pixel_offset, bits, available);
  } else {
    constexpr int kRowsPerCall = 512;
    std::array<iovec, kRowsPerCall> rows{};
    std::uint64_t stored = 0;
    std::uint64_t left = available;
    while (left > 0) {
      int count = 0;
      std::uint64_t batch = 0;
      for (; count < kRowsPerCall && batch < left; ++count) {
        const std::uint64_t length = std::min(stride, left - batch);
        rows[count].iov_base = bits + TargetRow(layout, stored + count) * stride;
        rows[count].iov_len = length;
        batch += length;
      }
      const ssize_t n = ::preadv(fd, rows.data(), count, static_cast<off_t>(layout.pixel_offset + stored * stride));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) throw Error(kReadError);
      // A partial read continues at the row it stopped in.
      std::uint64_t done = static_cast<std::uint64_t>(n);
      const std::uint64_t whole_rows = done / stride;
      if (done % stride != 0) {
        // Rare: finish the broken row with a plain read.
        const std::uint64_t partial = done % stride;
        const std::uint64_t row_length = std::min(stride, left - whole_rows * stride);
        ReadAt(fd, layout.pixel_offset + (stored + whole_rows) * stride + partial,
               bits + TargetRow(layout, stored + whole_rows) * stride + partial, row_length - partial);
        done = whole_rows * stride + row_length;
      }
      stored += (done + stride - 1) / stride;
      left -= done;
    }
  }
  ClearPadding(bitmap);
}

}  // namespace

Bitmap DecodeBmp(std::span<const std::uint8_t> data) {
  const Layout layout = ParseHeaders(data, data.size());
  Bitmap bitmap = AllocateFor(layout);
  const auto pixels = data.subspan(static_cast<std::size_t>(layout.pixel_offset));
  DecodePixels(layout, pixels.first(static_cast<std::size_t>(std::min<std::uint64_t>(pixels.size(), layout.maximum_bytes))),
               bitmap);
  ClearPadding(bitmap);
  return bitmap;
}

Bitmap ReadBmpFile(const std::string& path) {
  const InputFile input = OpenInputFile(path);
  const FileDescriptor& file = input.descriptor;
  const std::uint64_t file_size = static_cast<std::uint64_t>(input.info.st_size);

  std::vector<std::uint8_t> head(static_cast<std::size_t>(std::min(file_size, kHeaderRegionLimit)));
  ReadAt(file.get(), 0, head.data(), head.size());
  const Layout layout = ParseHeaders(head, file_size);

  Bitmap bitmap = AllocateFor(layout);
  if (layout.encoding == Encoding::kBgr24) {
    ReadBgr24Direct(file.get(), layout, file_size, bitmap);
    return bitmap;
  }
  std::vector<std::uint8_t> pixels;
  try {
    pixels.resize(static_cast<std::size_t>(std::min(file_size - layout.pixel_offset, layout.maximum_bytes)));
  } catch (const std::bad_alloc&) {
    throw Error(messages::kOutOfMemory);
  }
  ReadAt(file.get(), layout.pixel_offset, pixels.data(), pixels.size());
  DecodePixels(layout, pixels, bitmap);
  ClearPadding(bitmap);
  return bitmap;
}

}  // namespace zumo

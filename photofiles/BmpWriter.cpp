// Writing the standard uncompressed 24-bit BMP file.
#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "photofiles/BmpWriter.h"
#include "photofiles/SafeFile.h"

namespace zumo {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kPixelOffset = kFileHeaderSize + kInfoHeaderSize;

// A file-sized buffer costs a page fault per 4 KiB on its first touch; huge pages make
// that a small part of the encoding.
void PreferHugePages(std::uint8_t* data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kHuge = 2u << 20;
  if (bytes < 2 * kHuge) return;
  const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
  const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kHuge - 1);
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  static_cast<void>(data);
  static_cast<void>(bytes);
#endif
}

void Put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

}  // namespace

std::vector<std::uint8_t> EncodeBmp(const Bitmap& bitmap) {
  const std::size_t stride = static_cast<std::size_t>(bitmap.Stride());
  const std::size_t row_bytes = 3 * static_cast<std::size_t>(bitmap.Width());
  const std::size_t image_size = stride * static_cast<std::size_t>(bitmap.Height());
  std::vector<std::uint8_t> file;
  try {
    file.reserve(kPixelOffset + image_size);
    PreferHugePages(file.data(), file.capacity());
    file.resize(kPixelOffset + image_size);
  } catch (const std::bad_alloc&) {
    throw Error(messages::kOutOfMemory);
  }
  std::uint8_t* p = file.data();
  p[0] = 'B';
  p[1] = 'M';
  Put32(p + 2, static_cast<std::uint32_t>(file.size()));
  Put32(p + 10, kPixelOffset);
  std::uint8_t* info = p + kFileHeaderSize;
  Put32(info, kInfoHeaderSize);
  Put32(info + 4, static_cast<std::uint32_t>(bitmap.Width()));
  Put32(info + 8, static_cast<std::uint32_t>(bitmap.Height()));  // positive: rows bottom-up
  Put16(info + 12, 1);                                          // planes
  Put16(info + 14, 24);                                         // bits per pixel
  Put32(info + 16, 0);                                          // no compression
  Put32(info + 20, static_cast<std::uint32_t>(image_size));
  // Resolution (24..31) and colour counts (32..39) stay 0: no resolution, no palette.

  // Rows bottom-up; the padding bytes stay zero.
  std::uint8_t* out = p + kPixelOffset;
  if (row_bytes == 0) return file;
  for (int y = bitmap.Height() - 1; y >= 0; --y, out += stride) {
    std::memcpy(out, bitmap.Bits() + static_cast<std::size_t>(y) * stride, row_bytes);
  }
  return file;
}

void WriteBmpFile(const Bitmap& bitmap, const std::string& path) {
  // An empty picture has no valid BMP form; writing nothing keeps any file at `path` intact.
  if (bitmap.Empty()) throw Error(messages::kNothingToSave);
  WriteFileReplacing(path, EncodeBmp(bitmap));
}

}  // namespace zumo

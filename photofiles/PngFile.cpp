#include "photofiles/PngFile.h"

#include <csetjmp>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include <png.h>

#include "photofiles/OverWhite.h"
#include "photofiles/PngErrors.h"

namespace zumo {
namespace {

constexpr png_alloc_size_t kMaxChunkBytes = 16 * 1024 * 1024;
constexpr png_uint_32 kMaxAncillaryChunks = 1000;

// libpng's objects and the file being read (see PngErrors.h for how errors leave libpng).
struct Reader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::span<const std::uint8_t> data;
  std::size_t position = 0;
  PngErrorText error;

  Reader() = default;
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;
  ~Reader() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

extern "C" void PngRead(png_structp png, png_bytep out, png_size_t length) {
  auto* reader = static_cast<Reader*>(png_get_io_ptr(png));
  if (reader->data.size() - reader->position < length) png_error(png, "the file ends early");
  std::memcpy(out, reader->data.data() + reader->position, length);
  reader->position += length;
}

struct Header {
  png_uint_32 width = 0, height = 0;
  int channels = 0;  // after the transformations: 3 or 4
};

// The metadata chunks libpng is to read: those of the three kinds (EXIF, XMP's international
// text, the colour profile) of which no chunk declares more bytes than its bound or than the
// file holds. libpng takes a text or EXIF chunk's declared length at its word and allocates it
// before reading (a bound on chunk memory does not stop that), so a kind with any chunk beyond
// its bound is not read at all. Each name is followed by its zero, as libpng's lists want.
std::string ReadableMetadataChunks(std::span<const std::uint8_t> data) {
  struct Kind {
    const char* name;
    std::size_t bound;
    bool readable;
  };
  Kind kinds[] = {{"eXIf", kMaxExifBytes, true}, {"iTXt", kMaxXmpBytes + 1024, true}, {"iCCP", kMaxIccBytes, true}};
  for (std::size_t at = 8; at + 8 <= data.size();) {
    const std::size_t length = (std::size_t{data[at]} << 24) | (data[at + 1] << 16) | (data[at + 2] << 8) | data[at + 3];
    const bool whole = length <= data.size() - at - 8;
    for (Kind& kind : kinds)
      if (std::memcmp(data.data() + at + 4, kind.name, 4) == 0 && (!whole || length > kind.bound)) kind.readable = false;
    if (!whole) break;
    at += 12 + length;
  }
  std::string names;
  for (const Kind& kind : kinds)
    if (kind.readable) names.append(kind.name, 4).push_back('\0');
  return names;
}

bool ReadInfoPhase(Reader& r, Header& header, const std::string& metadata_chunks) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  png_set_read_fn(r.png, &r, PngRead);
  // Our own limits decide the picture's size, with our own message, after the header has
  // been read.
  png_set_user_limits(r.png, 0x7fffffff, 0x7fffffff);
  // Chunks other than the picture data (and their decompressed text or colour profiles) are
  // read whole into memory: a chunk declaring gigabytes must be refused, not allocated.
  png_set_chunk_malloc_max(r.png, kMaxChunkBytes);
  png_set_chunk_cache_max(r.png, kMaxAncillaryChunks);
  // Nothing but the picture and its transparency is used: libpng skips the text, profile,
  // histogram and other ancillary chunks instead of reading them into memory; with the
  // metadata asked for, the metadata chunks that passed their bounds are read as well.
  static const png_byte kIgnored[] = "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0sBIT\0"
                                     "sCAL\0sPLT\0sRGB\0tEXt\0tIME\0zTXt";
  png_set_keep_unknown_chunks(r.png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
  png_set_keep_unknown_chunks(r.png, PNG_HANDLE_CHUNK_NEVER, kIgnored, static_cast<int>(sizeof kIgnored / 5));
  if (!metadata_chunks.empty())
    png_set_keep_unknown_chunks(r.png, PNG_HANDLE_CHUNK_AS_DEFAULT,
                                reinterpret_cast<png_const_bytep>(metadata_chunks.data()),
                                static_cast<int>(metadata_chunks.size() / 5));
  png_read_info(r.png, r.info);
  header.width = png_get_image_width(r.png, r.info);
  header.height = png_get_image_height(r.png, r.info);
  const int colour = png_get_color_type(r.png, r.info);
  png_set_scale_16(r.png);
  png_set_packing(r.png);
  if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(r.png);
  if (colour == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(r.png, r.info) < 8) png_set_expand_gray_1_2_4_to_8(r.png);
  if (png_get_valid(r.png, r.info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(r.png);
  if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(r.png);
  png_set_bgr(r.png);  // our byte order: B, G, R (then A)
  png_set_interlace_handling(r.png);
  return true;
}

bool UpdatePhase(Reader& r, Header& header) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  png_read_update_info(r.png, r.info);
  header.channels = png_get_channels(r.png, r.info);
  if (header.channels != 3 && header.channels != 4) png_error(r.png, "unexpected channel count");
  return true;
}

// With the metadata asked for, the chunks after the picture are read into the info too.
bool ReadImagePhase(Reader& r, png_bytepp rows, bool keep_metadata) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  png_read_image(r.png, rows);
  png_read_end(r.png, keep_metadata ? r.info : nullptr);
  return true;
}

// The blocks libpng read: eXIf, the XMP packet of the iTXt chunk keyed "XML:com.adobe.xmp",
// and the iCCP profile, each within its bound.
void TakeMetadata(const Reader& r, PhotoMetadata& metadata) {
  png_bytep exif = nullptr;
  png_uint_32 exif_size = 0;
  if (png_get_eXIf_1(r.png, r.info, &exif_size, &exif) != 0 && exif != nullptr) {
    std::span<const std::uint8_t> block(exif, exif_size);
    // Some writers keep JPEG's "Exif\0\0" in front of the TIFF structure.
    if (block.size() >= 6 && std::memcmp(block.data(), "Exif\0\0", 6) == 0) block = block.subspan(6);
    if (block.size() <= kMaxExifBytes) metadata.exif.assign(block.begin(), block.end());
  }
  png_textp texts = nullptr;
  int text_count = 0;
  png_get_text(r.png, r.info, &texts, &text_count);
  for (int i = 0; i < text_count; ++i) {
    const png_text& text = texts[i];
    if (text.key == nullptr || text.text == nullptr || std::strcmp(text.key, "XML:com.adobe.xmp") != 0) continue;
    const std::size_t length = text.compression >= PNG_ITXT_COMPRESSION_NONE ? text.itxt_length : text.text_length;
    if (length <= kMaxXmpBytes) metadata.xmp.assign(text.text, length);
    break;
  }
  png_charp name = nullptr;
  int compression = 0;
  png_bytep profile = nullptr;
  png_uint_32 profile_size = 0;
  if (png_get_iCCP(r.png, r.info, &name, &compression, &profile, &profile_size) != 0 && profile != nullptr &&
      profile_size <= kMaxIccBytes)
    metadata.colour.icc.assign(profile, profile + profile_size);
}

}  // namespace

bool LooksLikePng(std::span<const std::uint8_t> data) noexcept {
  return data.size() >= 8 && png_sig_cmp(data.data(), 0, 8) == 0;
}

Bitmap DecodePng(std::span<const std::uint8_t> data, const std::string& name, long long max_pixels,
                 PhotoMetadata* metadata) {
  Reader r;
  r.data = data;
  auto fail = [&]() -> Bitmap {
    throw Error("ファイル " + name + " は PNG 画像として読めません（" + std::string(r.error.text) + "）");
  };
  r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r.error, KeepPngErrorAndLeave, DropPngWarning);
  if (r.png == nullptr) throw Error(messages::kOutOfMemory);
  r.info = png_create_info_struct(r.png);
  if (r.info == nullptr) throw Error(messages::kOutOfMemory);

  Header header;
  const std::string metadata_chunks = metadata != nullptr ? ReadableMetadataChunks(data) : std::string();
  if (!ReadInfoPhase(r, header, metadata_chunks)) return fail();
  Bitmap::CheckSize(header.width, header.height);  // before libpng or we take pixel memory
  if (max_pixels > 0 && static_cast<long long>(header.width) * header.height > max_pixels)
    throw Error("ファイル " + name + " の画像が大きすぎます");
  if (!UpdatePhase(r, header)) return fail();

  const int width = static_cast<int>(header.width);
  const int height = static_cast<int>(header.height);
  Bitmap picture(width, height, Bitmap::Uninitialized{});
  std::uint8_t* bits = picture.MutableBits();
  const std::ptrdiff_t stride = picture.Stride();
  std::vector<png_bytep> rows(static_cast<std::size_t>(height));
  if (header.channels == 3) {
    // Straight into our rows.
    for (int y = 0; y < height; ++y) rows[y] = bits + y * stride;
    if (!ReadImagePhase(r, rows.data(), metadata != nullptr)) return fail();
    if (metadata != nullptr) TakeMetadata(r, *metadata);
    return picture;
  }
  // With transparency the whole RGBA picture is read first (an interlaced file fills its
  // rows over seven passes), then laid over white.
  std::vector<std::uint8_t> rgba;
  try {
    rgba.resize(4 * static_cast<std::size_t>(width) * height);
  } catch (const std::bad_alloc&) {
    throw Error(messages::kOutOfMemory);
  }
  for (int y = 0; y < height; ++y) rows[y] = rgba.data() + 4 * static_cast<std::size_t>(width) * y;
  if (!ReadImagePhase(r, rows.data(), metadata != nullptr)) return fail();
  if (metadata != nullptr) TakeMetadata(r, *metadata);
  for (int y = 0; y < height; ++y) RowOverWhite(bits + y * stride, rows[y], width, true);
  return picture;
}

}  // namespace zumo

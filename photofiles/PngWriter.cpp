#include "photofiles/PngWriter.h"

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <new>
#include <optional>

#include <png.h>
#include <zlib.h>

#include "photofiles/EncoderChecks.h"
#include "photofiles/PngErrors.h"

namespace zumo {
namespace {

constexpr char kRecipeKey[] = "zumo-recipe";
constexpr char kXmpKey[] = "XML:com.adobe.xmp";

// libpng's objects and the bytes written (see PngErrors.h for how errors leave libpng).
struct Writer {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::vector<std::uint8_t> out;
  PngErrorText error;

  Writer() = default;
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;
  ~Writer() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

extern "C" void PngWriterBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* writer = static_cast<Writer*>(png_get_io_ptr(png));
  bool stored = false;
  try {  // no exception may cross libpng's frames
    writer->out.insert(writer->out.end(), data, data + length);
    stored = true;
  } catch (const std::bad_alloc&) {
  }
  if (!stored) png_error(png, "out of memory");
}

extern "C" void PngWriterFlush(png_structp) {}

// Everything handed to libpng, prepared outside the phase that may longjmp.
struct Chunks {
  png_text texts[2] = {};
  int text_count = 0;
  png_unknown_chunk cicp = {};
  png_byte cicp_data[4] = {};
  bool has_cicp = false;
};

bool WritePhase(Writer& w, const Bitmap& picture, const PhotoMetadata& metadata, Chunks& chunks,
                const detail::PngTuning& tuning) {
  if (setjmp(png_jmpbuf(w.png))) return false;
  png_set_write_fn(w.png, &w, PngWriterBytes, PngWriterFlush);
  // An ICC profile libpng judges unusable is dropped with a warning rather than failing the
  // whole save.
  png_set_benign_errors(w.png, 1);
  png_set_IHDR(w.png, w.info, static_cast<png_uint_32>(picture.Width()), static_cast<png_uint_32>(picture.Height()), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(w.png, PNG_FILTER_TYPE_BASE, tuning.filters);
  png_set_compression_level(w.png, tuning.level);
  png_set_compression_strategy(w.png, tuning.strategy);
  // Fewer, larger IDAT chunks: fewer calls into our writer, a few bytes smaller.
  png_set_compression_buffer_size(w.png, 256 * 1024);
  if (!metadata.colour.icc.empty())
    png_set_iCCP(w.png, w.info, "ICC profile", PNG_COMPRESSION_TYPE_BASE, metadata.colour.icc.data(),
                 static_cast<png_uint_32>(metadata.colour.icc.size()));
  if (!metadata.exif.empty())
    png_set_eXIf_1(w.png, w.info, static_cast<png_uint_32>(metadata.exif.size()),
                   const_cast<png_bytep>(metadata.exif.data()));
  if (chunks.text_count > 0) png_set_text(w.png, w.info, chunks.texts, chunks.text_count);
  if (chunks.has_cicp) {
    static const png_byte kName[] = "cICP";
    png_set_keep_unknown_chunks(w.png, PNG_HANDLE_CHUNK_ALWAYS, kName, 1);
    png_set_unknown_chunks(w.png, w.info, &chunks.cicp, 1);
  }
  png_write_info(w.png, w.info);
  png_set_bgr(w.png);  // our rows are B, G, R
  const std::uint8_t* bits = picture.Bits();
  for (int y = 0; y < picture.Height(); ++y)
    png_write_row(w.png, const_cast<png_bytep>(bits + y * picture.Stride()));
  png_write_end(w.png, nullptr);
  return true;
}

png_text ItxtChunk(const char* key, std::string_view text) {
  png_text chunk = {};
  chunk.compression = PNG_ITXT_COMPRESSION_NONE;
  chunk.key = const_cast<png_charp>(key);
  chunk.text = const_cast<png_charp>(text.data());
  chunk.itxt_length = text.size();
  chunk.lang = const_cast<png_charp>("");
  chunk.lang_key = const_cast<png_charp>("");
  return chunk;
}

// --- Reading the recipe back -------------------------------------------------------------

std::uint32_t Get32(const std::uint8_t* p) noexcept {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// zlib's stream, ended on every exit path.
struct Inflater {
  z_stream stream = {};
  bool ready = false;
  Inflater() { ready = inflateInit(&stream) == Z_OK; }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  ~Inflater() {
    if (ready) inflateEnd(&stream);
  }
};

// At most kMaxEmbeddedRecipeBytes of a zlib stream's content; what was inflated before any
// damage.
std::string InflateBounded(std::span<const std::uint8_t> data) {
  Inflater z;
  if (!z.ready) return {};
  std::string text;
  z.stream.next_in = const_cast<Bytef*>(data.data());
  z.stream.avail_in = static_cast<uInt>(data.size());
  char buffer[16384];
  while (text.size() < kMaxEmbeddedRecipeBytes) {
    z.stream.next_out = reinterpret_cast<Bytef*>(buffer);
    z.stream.avail_out = sizeof buffer;
    const int status = inflate(&z.stream, Z_NO_FLUSH);
    const std::size_t produced = sizeof buffer - z.stream.avail_out;
    text.append(buffer, std::min(produced, kMaxEmbeddedRecipeBytes - text.size()));
    if (status != Z_OK || produced == 0) break;
  }
  return text;
}

// The text of an iTXt chunk's data when its keyword is ours; nullopt otherwise.
std::optional<std::string> RecipeFromItxt(std::span<const std::uint8_t> data) {
  const auto* begin = data.data();
  const auto* end = begin + data.size();
  const auto* key_end = std::find(begin, end, 0);
  if (std::string_view(reinterpret_cast<const char*>(begin), key_end - begin) != kRecipeKey) return std::nullopt;
  if (end - key_end < 3) return std::string();
  const bool compressed = key_end[1] != 0;
  const auto* lang_end = std::find(key_end + 3, end, 0);  // language tag
  if (lang_end == end) return std::string();
  const auto* translated_end = std::find(lang_end + 1, end, 0);  // translated keyword
  if (translated_end == end) return std::string();
  const std::span<const std::uint8_t> text(translated_end + 1, end);
  if (compressed) return InflateBounded(text);
  return std::string(reinterpret_cast<const char*>(text.data()), std::min(text.size(), kMaxEmbeddedRecipeBytes));
}

}  // namespace

namespace detail {

// The two settings EncodePng chooses between, picked from a table of zlib levels 1..7, all
// four strategies and several filter sets measured on two 12 MP photos. Where neighbouring
// pixels repeat patterns (grain shared by the three channels, as a JPEG's smoothed colour
// leaves it), level 3 with the sub, up and Paeth filters gave the smallest file of all,
// at 40 % of level 6's time (levels 4..6 match lazily and come out larger there). Where the
// grain differs from channel to channel, matches are rare and level 3 comes out 14 % larger
// than a slow level 6 with Z_FILTERED, while Huffman coding alone with every filter tried
// is as small as that and the fastest of all.
constexpr PngTuning kMatching{3, Z_DEFAULT_STRATEGY, PNG_FILTER_SUB | PNG_FILTER_UP | PNG_FILTER_PAETH};
constexpr PngTuning kHuffmanOnly{1, Z_HUFFMAN_ONLY, PNG_ALL_FILTERS};

// Rows sampled to choose: bands of kBandRows rows spread over the picture.
constexpr int kBands = 16;
constexpr int kBandRows = 8;

PngTuning ChoosePngTuning(const Bitmap& picture) {
  // Both settings are tried on bands of the picture (about 4 % of a 12 MP photo's rows);
  // the one giving fewer bytes encodes the whole.
  Bitmap sample;
  if (picture.Height() <= 2 * kBands * kBandRows) {
    sample = picture;
  } else {
    sample = Bitmap(picture.Width(), kBands * kBandRows, Bitmap::Uninitialized{});
    const std::size_t row_bytes = 3 * static_cast<std::size_t>(picture.Width());
    for (int band = 0; band < kBands; ++band) {
      const int first = static_cast<int>(static_cast<long long>(picture.Height() - kBandRows) * band / (kBands - 1));
      for (int row = 0; row < kBandRows; ++row)
        std::memcpy(sample.ScanLine(band * kBandRows + row), picture.ScanLine(first + row), row_bytes);
    }
  }
  const std::size_t matching = EncodePngTuned(sample, {}, {}, kMatching).size();
  const std::size_t huffman = EncodePngTuned(sample, {}, {}, kHuffmanOnly).size();
  return huffman < matching ? kHuffmanOnly : kMatching;
}

std::vector<std::uint8_t> EncodePngTuned(const Bitmap& picture, const PhotoMetadata& metadata, std::string_view recipe,
                                         const PngTuning& tuning) {
  encoding::CheckInputs(picture, metadata, recipe);
  Chunks chunks;
  if (!metadata.xmp.empty()) chunks.texts[chunks.text_count++] = ItxtChunk(kXmpKey, metadata.xmp);
  if (!recipe.empty()) chunks.texts[chunks.text_count++] = ItxtChunk(kRecipeKey, recipe);
  if (metadata.colour.icc.empty() && metadata.colour.nclx) {
    // Only the colours of RGB samples can be described: matrix 0 (identity), full range as
    // our samples are.
    const NclxColour& nclx = *metadata.colour.nclx;
    if (nclx.primaries != 2 && nclx.transfer != 2 && nclx.primaries < 256 && nclx.transfer < 256) {
      chunks.has_cicp = true;
      chunks.cicp_data[0] = static_cast<png_byte>(nclx.primaries);
      chunks.cicp_data[1] = static_cast<png_byte>(nclx.transfer);
      chunks.cicp_data[2] = 0;
      chunks.cicp_data[3] = 1;
      std::memcpy(chunks.cicp.name, "cICP", 5);
      chunks.cicp.data = chunks.cicp_data;
      chunks.cicp.size = sizeof chunks.cicp_data;
      chunks.cicp.location = PNG_HAVE_IHDR;  // before PLTE and IDAT
    }
  }

  Writer w;
  w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &w.error, KeepPngErrorAndLeave, DropPngWarning);
  if (w.png == nullptr) throw Error(messages::kOutOfMemory);
  w.info = png_create_info_struct(w.png);
  if (w.info == nullptr) throw Error(messages::kOutOfMemory);
  try {
    // Room for a photo's usual compression, so that the output is seldom moved while it grows.
    w.out.reserve(static_cast<std::size_t>(picture.Stride()) * picture.Height() / 2 + metadata.exif.size() +
                  metadata.xmp.size() + metadata.colour.icc.size() + recipe.size() + 4096);
  } catch (const std::bad_alloc&) {
    throw Error(messages::kOutOfMemory);
  }
  if (!WritePhase(w, picture, metadata, chunks, tuning)) {
    const char* message = w.error.text;
    if (std::strcmp(message, "out of memory") == 0 || std::strstr(message, "Insufficient memory") != nullptr)
      throw Error(messages::kOutOfMemory);
    throw Error(encoding::CannotEncode("PNG", message));
  }
  return std::move(w.out);
}

}  // namespace detail

std::vector<std::uint8_t> EncodePng(const Bitmap& picture, const PhotoMetadata& metadata, std::string_view recipe) {
  if (picture.Empty()) throw Error(messages::kNothingToSave);
  return detail::EncodePngTuned(picture, metadata, recipe, detail::ChoosePngTuning(picture));
}

std::string ReadPngRecipe(std::span<const std::uint8_t> png) {
  if (png.size() < 8 || png_sig_cmp(png.data(), 0, 8) != 0) throw Error("PNG ファイルではありません");
  std::size_t position = 8;
  while (png.size() - position >= 12) {
    const std::uint32_t length = Get32(&png[position]);
    if (length > 0x7FFFFFFFu || png.size() - position - 12 < length) break;  // damaged or cut off
    const std::uint8_t* type = &png[position + 4];
    const std::span<const std::uint8_t> data(type + 4, length);
    if (std::memcmp(type, "IEND", 4) == 0) break;
    if (std::memcmp(type, "iTXt", 4) == 0) {
      const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, type, length + 4));
      if (crc == Get32(type + 4 + length)) {
        if (std::optional<std::string> recipe = RecipeFromItxt(data)) return *std::move(recipe);
      }
    }
    position += 12 + std::size_t{length};
  }
  return {};
}

}  // namespace zumo

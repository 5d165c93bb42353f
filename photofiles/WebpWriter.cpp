#include "photofiles/WebpWriter.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include <webp/encode.h>
#include <webp/mux.h>

#include "photofiles/EncoderChecks.h"

namespace zumo {
namespace {

constexpr char kRecipeChunk[] = "ZRCP";
// Lossless effort: libwebp's level 3 (method 3) gave the benchmarks' photo within 0.5 % of
// the size of cwebp's default level 6 in half the processor time; levels 1 and 2 are a
// third larger.
constexpr int kDefaultLosslessLevel = 3;

// libwebp's objects, each freed on every exit path.
struct Picture {
  WebPPicture picture;
  bool ready = false;
  Picture() { ready = WebPPictureInit(&picture) != 0; }
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;
  ~Picture() { WebPPictureFree(&picture); }
};

struct MemoryWriter {
  WebPMemoryWriter writer;
  MemoryWriter() { WebPMemoryWriterInit(&writer); }
  MemoryWriter(const MemoryWriter&) = delete;
  MemoryWriter& operator=(const MemoryWriter&) = delete;
  ~MemoryWriter() { WebPMemoryWriterClear(&writer); }
};

struct Mux {
  WebPMux* mux = WebPMuxNew();
  Mux() = default;
  Mux(const Mux&) = delete;
  Mux& operator=(const Mux&) = delete;
  ~Mux() { WebPMuxDelete(mux); }
};

struct Data {
  WebPData data;
  Data() { WebPDataInit(&data); }
  Data(const Data&) = delete;
  Data& operator=(const Data&) = delete;
  ~Data() { WebPDataClear(&data); }
};

std::string EncodingReason(WebPEncodingError error) {
  switch (error) {
    case VP8_ENC_ERROR_OUT_OF_MEMORY:
    case VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY: return "メモリが足りません";
    case VP8_ENC_ERROR_BAD_DIMENSION: return "画像の大きさが WebP の限度を超えています";
    case VP8_ENC_ERROR_FILE_TOO_BIG: return "ファイルが大きくなりすぎます";
    default: return "エンコーダーのエラー " + std::to_string(static_cast<int>(error));
  }
}

std::string MuxReason(WebPMuxError error) {
  return error == WEBP_MUX_MEMORY_ERROR ? "メモリが足りません" : "チャンクを組み立てられません（" + std::to_string(int{error}) + "）";
}

WebPData View(std::span<const std::uint8_t> bytes) { return WebPData{bytes.data(), bytes.size()}; }
WebPData View(std::string_view text) { return WebPData{reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}; }

std::uint32_t Get32LE(const std::uint8_t* p) noexcept {
  return p[0] | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

}  // namespace

namespace detail {

std::vector<std::uint8_t> EncodeWebpTuned(const Bitmap& picture, int quality, bool lossless, const PhotoMetadata& metadata,
                                          std::string_view recipe, const WebpTuning& tuning) {
  encoding::CheckInputs(picture, metadata, recipe);
  encoding::CheckQuality("WebP", quality);
  auto fail = [](const std::string& reason) -> std::vector<std::uint8_t> {
    if (reason == "メモリが足りません") throw Error(messages::kOutOfMemory);
    throw Error(encoding::CannotEncode("WebP", reason));
  };

  WebPConfig config;
  if (!WebPConfigPreset(&config, WEBP_PRESET_DEFAULT, static_cast<float>(quality))) return fail("libwebp の版が合いません");
  if (lossless) {
    WebPConfigLosslessPreset(&config, tuning.lossless_level >= 0 ? tuning.lossless_level : kDefaultLosslessLevel);
  } else {
    config.method = tuning.method;
  }
  config.thread_level = tuning.threads ? 1 : 0;
  if (!WebPValidateConfig(&config)) return fail("設定が正しくありません");

  Picture p;
  if (!p.ready) return fail("libwebp の版が合いません");
  p.picture.width = picture.Width();
  p.picture.height = picture.Height();
  // Lossless works on ARGB; lossy converts straight to YUV while importing.
  p.picture.use_argb = lossless ? 1 : 0;
  if (!WebPPictureImportBGR(&p.picture, picture.Bits(), static_cast<int>(picture.Stride())))
    return fail(EncodingReason(p.picture.error_code == VP8_ENC_OK ? VP8_ENC_ERROR_OUT_OF_MEMORY : p.picture.error_code));
  MemoryWriter memory;
  p.picture.writer = WebPMemoryWrite;
  p.picture.custom_ptr = &memory.writer;
  if (!WebPEncode(&config, &p.picture)) return fail(EncodingReason(p.picture.error_code));

  const std::span<const std::uint8_t> bitstream(memory.writer.mem, memory.writer.size);
  const bool extended = !metadata.colour.icc.empty() || !metadata.exif.empty() || !metadata.xmp.empty() || !recipe.empty();
  try {
    if (!extended) return {bitstream.begin(), bitstream.end()};
    Mux mux;
    if (mux.mux == nullptr) throw Error(messages::kOutOfMemory);
    const WebPData image = View(bitstream);
    WebPMuxError status = WebPMuxSetImage(mux.mux, &image, 0);
    auto add = [&](const char* fourcc, const WebPData& data) {
      if (status == WEBP_MUX_OK && data.size > 0) status = WebPMuxSetChunk(mux.mux, fourcc, &data, 0);
    };
    add("ICCP", View(metadata.colour.icc));
    add("EXIF", View(metadata.exif));
    add("XMP ", View(metadata.xmp));
    add(kRecipeChunk, View(recipe));
    Data assembled;
    if (status == WEBP_MUX_OK) status = WebPMuxAssemble(mux.mux, &assembled.data);
    if (status != WEBP_MUX_OK) return fail(MuxReason(status));
    return {assembled.data.bytes, assembled.data.bytes + assembled.data.size};
  } catch (const std::bad_alloc&) {
    throw Error(messages::kOutOfMemory);
  }
}

}  // namespace detail

std::vector<std::uint8_t> EncodeWebp(const Bitmap& picture, int quality, bool lossless, const PhotoMetadata& metadata,
                                     std::string_view recipe) {
  return detail::EncodeWebpTuned(picture, quality, lossless, metadata, recipe, detail::WebpTuning{});
}

std::string ReadWebpRecipe(std::span<const std::uint8_t> webp) {
  if (webp.size() < 12 || std::memcmp(webp.data(), "RIFF", 4) != 0 || std::memcmp(webp.data() + 8, "WEBP", 4) != 0)
    throw Error("WebP ファイルではありません");
  // The chunks end where the RIFF header says, or where the bytes do when it says more.
  const std::size_t end = std::min<std::size_t>(webp.size(), std::size_t{Get32LE(&webp[4])} + 8);
  std::size_t position = 12;
  while (end >= position + 8) {
    const std::uint32_t size = Get32LE(&webp[position + 4]);
    if (end - position - 8 < size) break;  // damaged or cut off
    if (std::memcmp(&webp[position], kRecipeChunk, 4) == 0)
      return std::string(reinterpret_cast<const char*>(&webp[position + 8]), std::min<std::size_t>(size, kMaxEmbeddedRecipeBytes));
    position += 8 + std::size_t{size} + (size & 1);  // chunks are padded to an even size
  }
  return {};
}

}  // namespace zumo

#include "photofiles/WebpFile.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <webp/decode.h>
#include <webp/demux.h>

#include "photofiles/OverWhite.h"

namespace zumo {
namespace {

std::string Reason(VP8StatusCode status) {
  switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY: return "メモリが足りません";
    case VP8_STATUS_UNSUPPORTED_FEATURE: return "対応していない機能が使われています";
    case VP8_STATUS_NOT_ENOUGH_DATA: return "ファイルが途中で終わっています";
    default: return "データが壊れています";
  }
}

// libwebp's decoder configuration, freed on every exit path.
struct Config {
  WebPDecoderConfig config;
  Config() { WebPInitDecoderConfig(&config); }
  Config(const Config&) = delete;
  Config& operator=(const Config&) = delete;
  ~Config() { WebPFreeDecBuffer(&config.output); }
};

struct DemuxDeleter {
  void operator()(WebPDemuxer* p) const noexcept { WebPDemuxDelete(p); }
};

// The payload of the file's first chunk of the given kind, when there is one.
std::span<const std::uint8_t> FirstChunk(WebPDemuxer* demux, const char kind[4]) {
  WebPChunkIterator chunk;
  if (!WebPDemuxGetChunk(demux, kind, 1, &chunk)) return {};
  const std::span<const std::uint8_t> payload(chunk.chunk.bytes, chunk.chunk.size);
  WebPDemuxReleaseChunkIterator(&chunk);  // the payload stays in the caller's data
  return payload;
}

// The EXIF, XMP and ICCP chunks of an extended WebP file, each within its bound.
void TakeMetadata(std::span<const std::uint8_t> data, PhotoMetadata& metadata) {
  const WebPData whole{data.data(), data.size()};
  const std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemux(&whole));
  if (!demux) return;
  std::span<const std::uint8_t> exif = FirstChunk(demux.get(), "EXIF");
  // Some writers keep JPEG's "Exif\0\0" in front of the TIFF structure.
  if (exif.size() >= 6 && std::memcmp(exif.data(), "Exif\0\0", 6) == 0) exif = exif.subspan(6);
  if (exif.size() <= kMaxExifBytes) metadata.exif.assign(exif.begin(), exif.end());
  const auto xmp = FirstChunk(demux.get(), "XMP ");
  if (xmp.size() <= kMaxXmpBytes) metadata.xmp.assign(reinterpret_cast<const char*>(xmp.data()), xmp.size());
  const auto icc = FirstChunk(demux.get(), "ICCP");
  if (icc.size() <= kMaxIccBytes) metadata.colour.icc.assign(icc.begin(), icc.end());
}

}  // namespace

bool LooksLikeWebp(std::span<const std::uint8_t> data) noexcept {
  return data.size() >= 12 && std::memcmp(data.data(), "RIFF", 4) == 0 && std::memcmp(data.data() + 8, "WEBP", 4) == 0;
}

Bitmap DecodeWebp(std::span<const std::uint8_t> data, const std::string& name, long long max_pixels,
                  PhotoMetadata* metadata) {
  const std::string prefix = "ファイル " + name + " は WebP 画像として読めません（";
  Config c;
  const VP8StatusCode features = WebPGetFeatures(data.data(), data.size(), &c.config.input);
  if (features != VP8_STATUS_OK) throw Error(prefix + Reason(features) + "）");
  if (c.config.input.has_animation)
    throw Error("ファイル " + name + " はアニメーション WebP です。動きのない WebP 画像だけを読み込めます");
  const int width = c.config.input.width;
  const int height = c.config.input.height;
  Bitmap::CheckSize(width, height);  // before libwebp or we take pixel memory
  if (max_pixels > 0 && static_cast<long long>(width) * height > max_pixels)
    throw Error("ファイル " + name + " の画像が大きすぎます");

  Bitmap picture(width, height, Bitmap::Uninitialized{});
  std::uint8_t* bits = picture.MutableBits();
  const std::ptrdiff_t stride = picture.Stride();
  const bool alpha = c.config.input.has_alpha != 0;
  std::vector<std::uint8_t> bgra;
  WebPDecBuffer& out = c.config.output;
  out.is_external_memory = 1;
  if (alpha) {
    // Straight (not premultiplied) alpha, then laid over white by our own formula.
    try {
      bgra.resize(4 * static_cast<std::size_t>(width) * height);
    } catch (const std::bad_alloc&) {
      throw Error(messages::kOutOfMemory);
    }
    out.colorspace = MODE_BGRA;
    out.u.RGBA.rgba = bgra.data();
    out.u.RGBA.stride = 4 * width;
    out.u.RGBA.size = bgra.size();
  } else {
    out.colorspace = MODE_BGR;  // straight into our rows
    out.u.RGBA.rgba = bits;
    out.u.RGBA.stride = static_cast<int>(stride);
    out.u.RGBA.size = static_cast<std::size_t>(stride) * height;
  }
  const VP8StatusCode status = WebPDecode(data.data(), data.size(), &c.config);
  if (status != VP8_STATUS_OK) throw Error(prefix + Reason(status) + "）");
  if (alpha) {
    for (int y = 0; y < height; ++y)
      RowOverWhite(bits + y * stride, bgra.data() + 4 * static_cast<std::size_t>(width) * y, width, true);
  }
  if (metadata != nullptr) TakeMetadata(data, *metadata);
  return picture;
}

}  // namespace zumo

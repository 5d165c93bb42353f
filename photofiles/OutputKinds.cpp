#include "photofiles/OutputKinds.h"

#include "photofiles/AvifWriter.h"
#include "photofiles/BmpWriter.h"
#include "photofiles/JpegImage.h"
#include "photofiles/JpegMetadata.h"
#include "photofiles/PhotoFile.h"
#include "photofiles/PngWriter.h"
#include "photofiles/SafeFile.h"
#include "photofiles/WebpWriter.h"

namespace zumo {
namespace {

constexpr int kDefaultWebpQuality = 85;

int QualityOr(const OutputSettings& settings, int fallback) {
  return settings.quality != 0 ? settings.quality : fallback;
}

std::vector<std::uint8_t> WriteBmp(const Bitmap& picture, const OutputSettings&) { return EncodeBmp(picture); }

std::vector<std::uint8_t> WriteJpeg(const Bitmap& picture, const OutputSettings& settings) {
  return EncodeJpeg(picture, QualityOr(settings, kDefaultSaveQuality), settings.recipe,
                    JpegMetadataSegments(settings.metadata));
}

std::vector<std::uint8_t> WritePng(const Bitmap& picture, const OutputSettings& settings) {
  return EncodePng(picture, settings.metadata, settings.recipe);
}

std::vector<std::uint8_t> WriteWebp(const Bitmap& picture, const OutputSettings& settings) {
  return EncodeWebp(picture, QualityOr(settings, kDefaultWebpQuality), settings.lossless, settings.metadata,
                    settings.recipe);
}

std::vector<std::uint8_t> WriteAvif(const Bitmap& picture, const OutputSettings& settings) {
  return EncodeAvif(picture, QualityOr(settings, kDefaultAvifQuality), settings.metadata, settings.recipe);
}

constexpr std::string_view kBmpExtensions[] = {".bmp"};
constexpr std::string_view kJpegExtensions[] = {".jpg", ".jpeg"};
constexpr std::string_view kPngExtensions[] = {".png"};
constexpr std::string_view kWebpExtensions[] = {".webp"};
constexpr std::string_view kAvifExtensions[] = {".avif"};

const OutputKind kKinds[] = {
    {SaveFormat::Bmp, "bmp", kBmpExtensions, "ビットマップファイル (*.bmp)", "BMP", 0, false, false, WriteBmp},
    {SaveFormat::Jpeg, "jpg", kJpegExtensions, "JPEGファイル (*.jpg *.jpeg)", "JPEG", kDefaultSaveQuality, false, false,
     WriteJpeg},
    {SaveFormat::Png, "png", kPngExtensions, "PNGファイル (*.png)", "PNG", 0, false, false, WritePng},
    {SaveFormat::Webp, "webp", kWebpExtensions, "WebPファイル (*.webp)", "WebP", kDefaultWebpQuality, true, false,
     WriteWebp},
    {SaveFormat::Avif, "avif", kAvifExtensions, "AVIFファイル (*.avif)", "AVIF", kDefaultAvifQuality, false, true,
     WriteAvif},
};

}  // namespace

std::span<const OutputKind> OutputKinds() { return kKinds; }

const OutputKind& OutputKindOf(SaveFormat format) {
  for (const OutputKind& kind : kKinds)
    if (kind.format == format) return kind;
  return kKinds[0];
}

const OutputKind* OutputKindByName(std::string_view name) {
  for (const OutputKind& kind : kKinds)
    if (kind.name == name) return &kind;
  return nullptr;
}

const OutputKind* OutputKindByPath(const std::string& path) {
  const std::string extension = FileExtension(path);
  for (const OutputKind& kind : kKinds)
    for (std::string_view candidate : kind.extensions)
      if (candidate == extension) return &kind;
  return nullptr;
}

std::string OutputKindNames(std::string_view separator) {
  std::string names;
  for (const OutputKind& kind : kKinds) names.append(names.empty() ? "" : separator).append(kind.name);
  return names;
}

void CheckOutputSettings(const OutputKind& kind, const OutputSettings& settings) {
  if (settings.quality != 0 && !kind.TakesQuality())
    throw Error(std::string(kind.label) + " には品質を指定できません");
  if (settings.quality != 0 && (settings.quality < 1 || settings.quality > 100))
    throw Error(std::string(kind.label) + " の品質は 1 から 100 までです（" + std::to_string(settings.quality) + "）");
  if (settings.lossless && !kind.takes_lossless)
    throw Error(std::string(kind.label) + " にはロスレスを指定できません (WebP だけです)");
}

void WriteOutputFile(const Bitmap& picture, const std::string& path, SaveFormat format, const OutputSettings& settings) {
  if (picture.Empty()) throw Error(messages::kNothingToSave);
  const OutputKind& kind = OutputKindOf(format);
  CheckOutputSettings(kind, settings);
  try {
    WriteFileReplacing(path, kind.encode(picture, settings));
  } catch (const Error& error) {
    // Every writer's error leaves with the file attached, its message as the writer gave it.
    if (!error.File().empty()) throw;
    throw Error(error.what(), path);
  }
}

}  // namespace zumo

#include "platform/PhotoFile.h"

#include <cstdint>
#include <span>
#include <vector>

#include "platform/BmpFile.h"
#include "platform/HeifFile.h"
#include "platform/JpegImage.h"
#include "platform/Orientation.h"
#include "platform/PngFile.h"
#include "platform/WebpFile.h"
#include "platform/SafeFile.h"

namespace zumo {
namespace {

// The extension: from the last full stop to the end, provided no folder separator (or a
// drive colon) follows that full stop; empty otherwise. Lower-cased (ASCII).
std::string LowerExtension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos) return {};
  if (path.find_first_of("/\\:", dot + 1) != std::string::npos) return {};
  std::string extension = path.substr(dot);
  for (char& c : extension)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return extension;
}

PhotoKind KindByContent(std::span<const std::uint8_t> bytes) {
  if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return PhotoKind::Bmp;
  if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) return PhotoKind::Jpeg;
  return PhotoKind::Unknown;
}

Bitmap DecodeJpegForScreen(std::span<const std::uint8_t> bytes, int screen_bits_per_pixel, Turning turning) {
  Orientation orientation = Orientation::Upright;
  if (turning == Turning::Upright) {
    const JpegHeader header = ReadJpegHeader(bytes);
    orientation = header.orientation;
    CheckUprightSize(header.width, header.height, orientation);
  }
  JpegDecodeOptions options;
  options.quantize = screen_bits_per_pixel <= 8;
  return TurnUpright(DecodeJpeg(bytes, options), orientation);
}

void RefuseEmpty(const Bitmap& picture) {
  if (picture.Empty())
    throw Error(messages::kNothingToSave);
}

}  // namespace

PhotoKind PhotoKindByName(const std::string& path) {
  const std::string extension = LowerExtension(path);
  if (extension == ".bmp") return PhotoKind::Bmp;
  if (extension == ".jpg" || extension == ".jpeg") return PhotoKind::Jpeg;
  return PhotoKind::Unknown;
}

Bitmap UprightPicture(JpegImage& jpeg, int screen_bits_per_pixel) {
  const Orientation orientation = jpeg.StoredOrientation();
  CheckUprightSize(jpeg.Width(), jpeg.Height(), orientation);
  return TurnUpright(jpeg.Picture(screen_bits_per_pixel), orientation);
}

Bitmap ReadPhotoFile(const std::string& path, int screen_bits_per_pixel, Turning turning) {
  switch (PhotoKindByName(path)) {
    case PhotoKind::Bmp:
      return ReadBmpFile(path);
    case PhotoKind::Jpeg:
      return DecodeJpegForScreen(ReadWholeFile(path), screen_bits_per_pixel, turning);
    case PhotoKind::Unknown:
      break;
  }
  const std::vector<std::uint8_t> bytes = ReadWholeFile(path);
  switch (KindByContent(bytes)) {
    case PhotoKind::Bmp:
      return DecodeBmp(bytes);
    case PhotoKind::Jpeg:
      return DecodeJpegForScreen(bytes, screen_bits_per_pixel, turning);
    case PhotoKind::Unknown:
      break;
  }
  if (LooksLikePng(bytes)) return DecodePng(bytes, path);
  if (LooksLikeWebp(bytes)) return DecodeWebp(bytes, path);
  if (LooksLikeHeif(bytes)) return DecodeHeif(bytes, path);
  // The message the window has always given for a file of no known kind.
  throw Error("ファイル " + path + " は JPEG でも BMP でもありません");
}

LoadedPhoto LoadPhotoFile(const std::string& path, int screen_bits_per_pixel) {
  LoadedPhoto loaded;
  if (PhotoKindByName(path) == PhotoKind::Jpeg) {
    loaded.jpeg = std::make_unique<JpegImage>();
    loaded.jpeg->LoadFromFile(path);
    loaded.picture = UprightPicture(*loaded.jpeg, screen_bits_per_pixel);
  } else {
    loaded.picture = ReadPhotoFile(path, screen_bits_per_pixel);
  }
  return loaded;
}

void WritePhotoFile(const Bitmap& picture, const std::string& path, SaveFormat format, int jpeg_quality,
                    std::string_view jpeg_comment) {
  RefuseEmpty(picture);
  switch (format) {
    case SaveFormat::Bmp:
      WriteBmpFile(picture, path);
      return;
    case SaveFormat::Jpeg: {
      JpegImage jpeg;
      jpeg.SetCompressionQuality(jpeg_quality);
      jpeg.SetComment(std::string(jpeg_comment));
      jpeg.Assign(picture);
      jpeg.SaveToFile(path);
      return;
    }
  }
}

}  // namespace zumo

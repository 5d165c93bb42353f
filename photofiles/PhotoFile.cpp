#include "photofiles/PhotoFile.h"

#include <cstdint>
#include <span>
#include <vector>

#include "imaging/Turn.h"
#include "photofiles/ColourConversion.h"
#include "photofiles/HeifFile.h"
#include "photofiles/JpegImage.h"
#include "photofiles/JpegMetadata.h"
#include "photofiles/MetadataEdit.h"
#include "photofiles/PngFile.h"
#include "photofiles/WebpFile.h"
#include "platform/BmpReader.h"
#include "platform/InputFile.h"

namespace zumo {
namespace {

}  // namespace

std::string FileExtension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos) return {};
  if (path.find_first_of("/\\:", dot + 1) != std::string::npos) return {};
  std::string extension = path.substr(dot);
  for (char& c : extension)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return extension;
}

namespace {

PhotoKind KindByContent(std::span<const std::uint8_t> bytes) {
  if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return PhotoKind::Bmp;
  if (bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) return PhotoKind::Jpeg;
  return PhotoKind::Unknown;
}

Photo DecodeJpegForScreen(std::span<const std::uint8_t> bytes, int screen_bits_per_pixel, Turning turning) {
  JpegDecodeOptions options;
  options.quantize = screen_bits_per_pixel <= 8;
  Photo photo;
  if (turning == Turning::Upright) {
    const JpegHeader header = ReadJpegHeader(bytes);
    // The upright size is checked before any decoding: a photo too large once turned is
    // refused for its size, whatever its scans hold.
    CheckUprightSize(header.width, header.height, header.orientation);
    const bool fits_stored = header.width <= Bitmap::kMaxWidth && header.height <= Bitmap::kMaxHeight;
    photo.picture = fits_stored ? TurnUpright(DecodeJpeg(bytes, options), header.orientation)
                                : DecodeJpegInBands(bytes, header.orientation, options);
  } else {
    photo.picture = DecodeJpeg(bytes, options);
  }
  photo.metadata = ReadJpegMetadata(bytes);
  return photo;
}

// The file's kinds beside BMP and JPEG, by their signatures; none when no decoder knows it.
using Decoder = Bitmap (*)(std::span<const std::uint8_t>, const std::string&, long long, PhotoMetadata*);
Decoder DecoderByContent(std::span<const std::uint8_t> bytes) {
  if (LooksLikePng(bytes)) return DecodePng;
  if (LooksLikeWebp(bytes)) return DecodeWebp;
  if (LooksLikeHeif(bytes)) return DecodeHeif;
  return nullptr;
}

Photo ReadStoredPhoto(const std::string& path, int screen_bits_per_pixel, Turning turning) {
  switch (PhotoKindByName(path)) {
    case PhotoKind::Bmp:
      return Photo{ReadBmpFile(path), {}};
    case PhotoKind::Jpeg:
      return DecodeJpegForScreen(ReadWholeFile(path), screen_bits_per_pixel, turning);
    case PhotoKind::Unknown:
      break;
  }
  const std::vector<std::uint8_t> bytes = ReadWholeFile(path);
  switch (KindByContent(bytes)) {
    case PhotoKind::Bmp:
      return Photo{DecodeBmp(bytes), {}};
    case PhotoKind::Jpeg:
      return DecodeJpegForScreen(bytes, screen_bits_per_pixel, turning);
    case PhotoKind::Unknown:
      break;
  }
  if (const Decoder decode = DecoderByContent(bytes)) {
    Photo photo;
    photo.picture = decode(bytes, path, 0, &photo.metadata);
    return photo;
  }
  // The message the window has always given for a file of no known kind.
  throw Error("ファイル " + path + " は JPEG でも BMP でもありません");
}

}  // namespace

PhotoKind PhotoKindByName(const std::string& path) {
  const std::string extension = FileExtension(path);
  if (extension == ".bmp") return PhotoKind::Bmp;
  if (extension == ".jpg" || extension == ".jpeg") return PhotoKind::Jpeg;
  return PhotoKind::Unknown;
}

Bitmap UprightPicture(JpegImage& jpeg, int screen_bits_per_pixel) {
  const Orientation orientation = jpeg.StoredOrientation();
  CheckUprightSize(jpeg.Width(), jpeg.Height(), orientation);
  return TurnUpright(jpeg.Picture(screen_bits_per_pixel), orientation);
}

Photo ReadPhoto(const std::string& path, int screen_bits_per_pixel, Turning turning) {
  try {
    Photo photo = ReadStoredPhoto(path, screen_bits_per_pixel, turning);
    if (turning == Turning::Upright && ConvertToSrgb(photo.picture, photo.metadata.colour))
      photo.metadata.colour = {};  // the pixels are sRGB now
    return photo;
  } catch (const Error& error) {
    // Every reader's error leaves with the file attached, its message as the reader gave it.
    if (!error.File().empty()) throw;
    throw Error(error.what(), path);
  }
}

Bitmap ReadPhotoFile(const std::string& path, int screen_bits_per_pixel, Turning turning) {
  return ReadPhoto(path, screen_bits_per_pixel, turning).picture;
}

PhotoMetadata MetadataToSave(const PhotoMetadata& loaded, const Bitmap& picture, MetadataChoice choice,
                             SaveFormat format) {
  MetadataSaveOptions options;
  options.width = picture.Width();
  options.height = picture.Height();
  options.srgb = true;
  options.strip_location = choice == MetadataChoice::WithoutLocation;
  options.strip_all = choice == MetadataChoice::None;
  options.software = "Zumo mixer " ZUMO_VERSION;
  options.iptc_into_xmp = format != SaveFormat::Jpeg;
  return MetadataForSave(loaded, options);
}

void WritePhotoFile(const Bitmap& picture, const std::string& path, SaveFormat format, int jpeg_quality,
                    std::string_view jpeg_comment, const PhotoMetadata& metadata) {
  OutputSettings settings;
  if (format == SaveFormat::Jpeg) {
    CheckJpegQuality(jpeg_quality);  // 0 is no quality here, not the default
    settings.quality = jpeg_quality;
    settings.recipe = jpeg_comment;
    settings.metadata = metadata;
  }
  WriteOutputFile(picture, path, format, settings);
}

}  // namespace zumo

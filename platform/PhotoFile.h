#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/Bitmap.h"
#include "platform/JpegImage.h"

namespace zumo {

enum class PhotoKind { Bmp, Jpeg, Unknown };

// The kind a file name announces: ".bmp", ".jpg" or ".jpeg" in any letter case (the part
// from the last full stop, when no path separator follows it); Unknown otherwise.
PhotoKind PhotoKindByName(const std::string& path);

// Whether a JPEG's EXIF orientation tag is followed when it is read.
enum class Turning { Upright, AsStored };

// Reads a photo as the window loads it: by the name's extension, and for any other name by
// the file's content (BMP or JPEG signature). A file that is neither raises a clear Error.
// screen_bits_per_pixel <= 8 asks JPEG decoding for libjpeg's 236-colour quantised output
// (greyscale JPEGs always take it). A JPEG whose EXIF orientation tag is 2..8 is turned
// upright unless AsStored is asked for; the size limits then apply to the upright size and
// are checked before any pixel memory is taken. The result is 24 bits per pixel.
Bitmap ReadPhotoFile(const std::string& path, int screen_bits_per_pixel = 24, Turning turning = Turning::Upright);

// The decoded picture of a loaded JPEG object, turned upright as its EXIF tag says (the size
// limits checked on the upright size before it is decoded).
Bitmap UprightPicture(JpegImage& jpeg, int screen_bits_per_pixel = 24);

// A photo read as the window loads it, with the JPEG object that read it when the name says
// JPEG (the window keeps that object); other files come without one.
struct LoadedPhoto {
  Bitmap picture;
  std::unique_ptr<JpegImage> jpeg;
};

// ReadPhotoFile's routing and upright turning, keeping the JPEG object of a ".jpg"/".jpeg".
LoadedPhoto LoadPhotoFile(const std::string& path, int screen_bits_per_pixel = 24);

enum class SaveFormat { Bmp, Jpeg };

// The qualities JPEG files are saved at, best first, and the one chosen when nobody says.
inline constexpr int kSaveQualities[] = {90, 85, 80};
inline constexpr int kDefaultSaveQuality = 85;

// Writes the picture through a temporary file that replaces `path` only when complete, so a
// failed save never destroys the file it was replacing. An empty picture is refused with an
// Error and nothing is written. `jpeg_quality` and `jpeg_comment` (the text of the file's
// comment markers) are used for SaveFormat::Jpeg only.
void WritePhotoFile(const Bitmap& picture, const std::string& path, SaveFormat format,
                    int jpeg_quality = kDefaultSaveQuality, std::string_view jpeg_comment = {});

}  // namespace zumo

#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "photofiles/JpegImage.h"
#include "photofiles/OutputKinds.h"
#include "photofiles/PhotoMetadata.h"
#include "platform/Bitmap.h"

namespace zumo {

enum class PhotoKind { Bmp, Jpeg, Unknown };

// A name's extension: from its last full stop on, when no folder separator follows it,
// lower-cased (ASCII); empty when there is none.
std::string FileExtension(const std::string& path);

// The kind a file name announces: ".bmp", ".jpg" or ".jpeg" in any letter case (the part
// from the last full stop, when no path separator follows it); Unknown otherwise.
PhotoKind PhotoKindByName(const std::string& path);

// Whether a photo is read as it is to be seen (a JPEG turned as its EXIF orientation tag
// says, colours described as other than sRGB converted to sRGB) or as the file stores it.
enum class Turning { Upright, AsStored };

// Reads a photo as the window loads it: by the name's extension, and for any other name by
// the file's content (BMP, JPEG, PNG, WebP, HEIF signatures). A file of no known kind raises
// a clear Error. screen_bits_per_pixel <= 8 asks JPEG decoding for libjpeg's 236-colour
// quantised output (greyscale JPEGs always take it). Upright: a JPEG whose EXIF orientation
// tag is 2..8 is turned upright, the size limits applying to the upright size (checked before
// any pixel memory is taken; a photo stored beyond them that fits once turned is decoded in
// bands), and the colours are converted to sRGB when the file describes others. The
// metadata is the file's as read, less the colour description once the colours are sRGB.
// Every Error carries `path` as its File(), its message as the reader gave it.
Photo ReadPhoto(const std::string& path, int screen_bits_per_pixel = 24, Turning turning = Turning::Upright);

// ReadPhoto's picture alone.
Bitmap ReadPhotoFile(const std::string& path, int screen_bits_per_pixel = 24, Turning turning = Turning::Upright);

// The decoded picture of a loaded JPEG object, turned upright as its EXIF tag says (the size
// limits checked on the upright size before it is decoded).
Bitmap UprightPicture(JpegImage& jpeg, int screen_bits_per_pixel = 24);

// How much of a photo's metadata a saved copy carries.
enum class MetadataChoice { All, WithoutLocation, None };

// The metadata that goes out with `picture`, saved from a photo that carried `loaded`: EXIF
// corrected for upright sRGB pixels of the picture's size, dated now and naming this program;
// XMP and IPTC as they were (for a kind without IPTC, its fields go into the XMP); GPS tags
// dropped for WithoutLocation, everything for None.
PhotoMetadata MetadataToSave(const PhotoMetadata& loaded, const Bitmap& picture,
                             MetadataChoice choice = MetadataChoice::All, SaveFormat format = SaveFormat::Jpeg);

// The qualities JPEG files are saved at, best first, and the one chosen when nobody says.
inline constexpr int kSaveQualities[] = {90, 85, 80};
inline constexpr int kDefaultSaveQuality = 85;

// The save button's writer (it saves BMP or JPEG): writes the picture in `format` through a
// temporary file that replaces `path` only when complete, so a failed save never destroys
// the file it was replacing. An empty picture is refused with an Error and nothing is
// written. `jpeg_quality`, `jpeg_comment` (the text of the file's comment markers) and
// `metadata` (as MetadataToSave makes it: EXIF, XMP and IPTC) are used for SaveFormat::Jpeg
// only; any other kind is written without them. WriteOutputFile takes every kind's settings.
void WritePhotoFile(const Bitmap& picture, const std::string& path, SaveFormat format,
                    int jpeg_quality = kDefaultSaveQuality, std::string_view jpeg_comment = {},
                    const PhotoMetadata& metadata = {});

}  // namespace zumo

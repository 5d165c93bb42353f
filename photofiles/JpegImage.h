#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "imaging/Turn.h"
#include "photofiles/JpegMetadata.h"
#include "platform/Bitmap.h"

namespace zumo {

// How a JPEG file is turned into pixels.
struct JpegDecodeOptions {
  // libjpeg's colour quantisation to 236 colours (Floyd-Steinberg), as used for greyscale
  // files and on screens of 8 bits per pixel or fewer. Greyscale files take it anyway.
  bool quantize = false;
  // Extra bound on width x height (0: only the bitmap's own limits). Lets a harness that
  // feeds arbitrary bytes keep each decode small.
  long long max_pixels = 0;
  // Bound on libjpeg's own working memory (coefficient buffers of multi-scan files, the
  // two-pass quantiser's picture buffer). The default fits the largest picture we accept.
  long max_libjpeg_memory = 2400L * 1024 * 1024;
};

// What the header says about a JPEG file.
struct JpegHeader {
  int width = 0;
  int height = 0;
  int components = 0;
  bool grayscale = false;    // libjpeg's default output for it is greyscale
  bool progressive = false;
  // From the EXIF orientation tag; Upright when there is none or it cannot be read.
  Orientation orientation = Orientation::Upright;
};

// Parses the header only. Errors: "JPEG エラー #%d" with libjpeg's message code.
JpegHeader ReadJpegHeader(std::span<const std::uint8_t> data);

// Decodes a whole JPEG file held in memory into a 24-bit picture: full scale, the accurate
// integer DCT, libjpeg's warnings ignored (a file that ends early gives what libjpeg
// delivers). Errors (zumo::Error): "JPEG エラー #%d", the size-limit message of
// Bitmap::CheckSize (raised before any pixel memory is taken), "メモリが足りません".
Bitmap DecodeJpeg(std::span<const std::uint8_t> data, const JpegDecodeOptions& options = {});

// DecodeJpeg's picture turned upright as `orientation` says, decoded in bands of rows
// straight into the turned layout: the stored picture need not fit the limits, only the
// upright one (a tall panorama stored on its side). Slower than a decode and a turn, so
// kept for the pictures only it can read.
Bitmap DecodeJpegInBands(std::span<const std::uint8_t> data, Orientation orientation,
                         const JpegDecodeOptions& options = {});

// Encodes a picture as a baseline three-component JPEG: libjpeg's defaults, then the
// quality (1..100) with baseline tables forced. `segments` (metadata) follow the file's
// JFIF header; a comment, when given, goes into comment (COM) markers after them. Neither
// changes a pixel. An empty picture raises an Error.
std::vector<std::uint8_t> EncodeJpeg(const Bitmap& picture, int quality, std::string_view comment = {},
                                     std::span<const JpegSegment> segments = {});

// Raises an Error naming the range unless 1 <= quality <= 100.
void CheckJpegQuality(int quality);

// The texts of a JPEG file's comment markers before its first scan, in their order, at most
// max_bytes of them in all (the rest is cut off). Errors: those of ReadJpegHeader.
std::vector<std::string> ReadJpegComments(std::span<const std::uint8_t> data, std::size_t max_bytes);

// The most data one comment marker holds: a longer text goes into consecutive markers.
inline constexpr std::size_t kMaxJpegCommentBytes = 65533;

// A JPEG picture object: holds a JPEG file's bytes (loaded from a file, header checked at
// once, pixels decoded on first demand and kept), or a picture copied in for saving.
class JpegImage {
 public:
  static constexpr int kDefaultQuality = 90;

  JpegImage() = default;

  // Reads the whole file and its header; the pixels are decoded when first asked for.
  void LoadFromFile(const std::string& path);
  void LoadFromBytes(std::vector<std::uint8_t> bytes);

  bool Empty() const noexcept { return bytes_.empty() && !picture_; }
  int Width() const noexcept;
  int Height() const noexcept;
  bool Grayscale() const noexcept { return header_.grayscale; }
  // The loaded file's bytes (empty for a copied-in picture).
  std::span<const std::uint8_t> Bytes() const noexcept { return bytes_; }
  // How the loaded file says its picture is to be turned to be seen upright.
  Orientation StoredOrientation() const noexcept { return header_.orientation; }

  // The decoded picture, 24 bits per pixel. screen_bits_per_pixel <= 8 asks for the
  // quantised decoding (greyscale files always take it). The file is decoded once for a
  // given kind of decoding; later calls return the kept picture.
  const Bitmap& Picture(int screen_bits_per_pixel = 24);

  // Saving: the quality used by Encode / SaveToFile (1..100).
  void SetCompressionQuality(int quality);
  int CompressionQuality() const noexcept { return quality_; }
  // The text Encode / SaveToFile put into the file's comment markers (none when empty).
  void SetComment(std::string comment) { comment_ = std::move(comment); }
  // Copies a picture in (shares its pixels until either side writes); replaces any file.
  void Assign(const Bitmap& picture);
  // The JPEG bytes of the copied-in picture at the set quality; a loaded file's own bytes.
  std::vector<std::uint8_t> Encode() const;
  // Writes Encode()'s bytes through a temporary file that replaces `path` when complete.
  void SaveToFile(const std::string& path) const;

 private:
  std::vector<std::uint8_t> bytes_;   // the loaded file
  JpegHeader header_;
  std::optional<Bitmap> picture_;     // decoded or copied-in pixels
  bool picture_quantized_ = false;
  int quality_ = kDefaultQuality;
  std::string comment_;
};

}  // namespace zumo

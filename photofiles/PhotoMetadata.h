#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Bitmap.h"

namespace zumo {

// A colour description in the code points of ITU-T H.273, as HEIF's nclx box carries it.
struct NclxColour {
  std::uint16_t primaries = 2;  // 1 BT.709 (sRGB's), 2 unspecified, 9 BT.2020, 12 Display P3 ...
  std::uint16_t transfer = 2;   // 13 sRGB's curve, 1/6/14/15 BT.709's, 8 linear, 2 unspecified ...
  std::uint16_t matrix = 2;     // how the file's YCbCr was made (already undone by the decoder)
  bool full_range = true;
  friend bool operator==(const NclxColour&, const NclxColour&) = default;
};

// How a file says its numbers are to be read as colours. Neither: untagged, taken as sRGB.
struct ColourDescription {
  std::vector<std::uint8_t> icc;  // an ICC profile, whole
  std::optional<NclxColour> nclx;  // HEIF's description when it gives no ICC profile
  bool Empty() const noexcept { return icc.empty() && !nclx; }
  friend bool operator==(const ColourDescription&, const ColourDescription&) = default;
};

// The blocks of metadata a photo file carried, as the file held them, so that a saved
// photo can carry them on (edited where the edit made them wrong).
struct PhotoMetadata {
  // The EXIF TIFF structure, starting with its byte-order mark ("II*\0" or "MM\0*"): no
  // "Exif\0\0" header and no HEIF offset before it.
  std::vector<std::uint8_t> exif;
  std::string xmp;                 // an XMP packet (UTF-8 XML)
  std::vector<std::uint8_t> iptc;  // IPTC-IIM datasets (what Photoshop's resource 0x0404 holds)
  ColourDescription colour;

  bool Empty() const noexcept { return exif.empty() && xmp.empty() && iptc.empty() && colour.Empty(); }
  friend bool operator==(const PhotoMetadata&, const PhotoMetadata&) = default;
};

// The most of each block that is kept from a file; a larger block is dropped unread, as
// the parsers behind it need not see more than a real camera or program writes.
inline constexpr std::size_t kMaxExifBytes = 64 * 1024;
inline constexpr std::size_t kMaxXmpBytes = 1024 * 1024;
inline constexpr std::size_t kMaxIptcBytes = 64 * 1024;
inline constexpr std::size_t kMaxIccBytes = 4 * 1024 * 1024;

// A photo as read: its pixels and what its file said about them.
struct Photo {
  Bitmap picture;
  PhotoMetadata metadata;
};

}  // namespace zumo

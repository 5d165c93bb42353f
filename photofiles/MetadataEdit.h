#pragma once

#include <cstddef>
#include <string>

#include "photofiles/PhotoMetadata.h"

namespace zumo {

// What is known about a picture being saved, and what its owner wants its file to tell.
struct MetadataSaveOptions {
  int width = 0, height = 0;      // the saved picture's size (0: the size tags are left alone)
  bool srgb = true;               // the saved pixels are sRGB
  bool strip_location = false;    // remove every GPS tag (EXIF GPS IFD, XMP exif:GPS*)
  bool strip_all = false;         // no EXIF, XMP or IPTC at all
  std::string software;           // EXIF Software (the program's name and version); empty: none
  // "YYYY:MM:DD HH:MM:SS", the save time for EXIF DateTime. Empty: the local time now, with
  // its offset from UTC in OffsetTime. A given time carries no offset, so OffsetTime and
  // SubSecTime (which describe DateTime) are dropped then.
  std::string now;
  // The file has no place for IPTC (PNG, WebP, AVIF): its fields go into the XMP packet where
  // the packet has none of its own.
  bool iptc_into_xmp = false;
};

// The most bytes of EXIF TIFF structure one JPEG APP1 segment holds: 65535 less the
// segment's length field (2) and its "Exif\0\0" header (6).
inline constexpr std::size_t kMaxSavedExifBytes = 65527;

// The metadata that goes out with a saved picture whose pixels are upright, corrected from
// what the photo was loaded with:
// - EXIF (kept in its byte order): orientation 1; the pixel size tags the saved size; no
//   thumbnail; DateTime the save time and Software the given text; ColorSpace 1 for sRGB
//   pixels (65535 otherwise, where the tag is present) and an interoperability index that
//   says otherwise dropped; the subject area and location dropped (positions in the loaded
//   picture), and so are the XMP, IPTC and ICC copies a TIFF keeps in IFD0; a maker note
//   kept only where it was read tag by tag, and so is written anew, never as bytes whose
//   offsets would point elsewhere. A block larger than kMaxSavedExifBytes loses its
//   previews, then its maker note, then is dropped altogether. A block that cannot be read
//   is dropped: its orientation could not be reset.
// - XMP: tiff:Orientation 1 and the size and colour space properties as in EXIF where
//   present; its thumbnails and (for sRGB pixels) the name of a profile no longer carried
//   dropped. A packet that cannot be read is dropped.
// - IPTC unchanged; the colour description cleared for sRGB pixels.
// Blocks beyond the bounds of PhotoMetadata.h are dropped unread. Never throws; safe to call
// from several threads at once (the exiv2 work of concurrent calls takes turns).
PhotoMetadata MetadataForSave(const PhotoMetadata& loaded, const MetadataSaveOptions& options) noexcept;

}  // namespace zumo

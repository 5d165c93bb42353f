#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "photofiles/PhotoMetadata.h"

namespace zumo {

// One marker segment of a JPEG file: its marker code (0xE1 for APP1 ...) and its payload,
// the bytes after the two length bytes.
struct JpegSegment {
  std::uint8_t marker = 0;
  std::vector<std::uint8_t> payload;
};

// Calls `visit(marker, payload)` for each marker segment before the first scan, in file
// order, and stops early when it returns false. The walk is bounded by the data: a length
// that runs past the end, or bytes that are no marker, end it quietly.
void ForEachJpegSegment(std::span<const std::uint8_t> data,
                        const std::function<bool(std::uint8_t marker, std::span<const std::uint8_t> payload)>& visit);

// The metadata a JPEG file carries before its first scan: the first APP1 EXIF block, the
// first APP1 XMP packet, the IPTC data of the first APP13 Photoshop block, and the ICC
// profile of the APP2 chunks put together by their sequence numbers. A block that is
// damaged, incomplete, contradictory or beyond its bound is left out; this never fails.
PhotoMetadata ReadJpegMetadata(std::span<const std::uint8_t> data) noexcept;

// The segments that carry EXIF, XMP and IPTC in a JPEG file, in the order they are written
// after the file's start: APP1 EXIF, APP1 XMP, APP13 IPTC. A block that does not fit one
// segment is left out. The colour description is not written: saved pixels are sRGB.
std::vector<JpegSegment> JpegMetadataSegments(const PhotoMetadata& metadata);

}  // namespace zumo

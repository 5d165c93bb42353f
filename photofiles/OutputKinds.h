#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "photofiles/PhotoMetadata.h"
#include "platform/Bitmap.h"

namespace zumo {

// The kinds of file a picture is saved as.
enum class SaveFormat { Bmp, Jpeg, Png, Webp, Avif };

// How one picture is to be written; what a kind does not take is not looked at.
struct OutputSettings {
  int quality = 0;          // 0: the kind's default
  bool lossless = false;    // WebP only
  std::string_view recipe;  // how the picture was made (JPEG comment, PNG iTXt, WebP ZRCP, AVIF item)
  PhotoMetadata metadata;   // as MetadataToSave made it: EXIF, XMP (and IPTC for JPEG)
};

// One kind of output file: the one home of its name, extensions, dialog filter, quality and
// writer. The batch tool's options, help and checks and the window's save-as dialog read it.
struct OutputKind {
  SaveFormat format;
  std::string_view name;                         // --format's word: bmp, jpg, png, webp, avif
  std::span<const std::string_view> extensions;  // lower case, the usual one first
  std::string_view dialog_filter;                // the save-as dialog's filter
  std::string_view label;                        // the kind's name in messages
  int default_quality;                           // 0: takes no quality; otherwise 1..100 are taken
  bool takes_lossless;
  bool slow;  // may take seconds on a photo: the window shows the busy cursor, the batch tool a line
  std::vector<std::uint8_t> (*encode)(const Bitmap& picture, const OutputSettings& settings);

  bool TakesQuality() const noexcept { return default_quality != 0; }
  std::string_view Extension() const noexcept { return extensions.front(); }
};

std::span<const OutputKind> OutputKinds();
const OutputKind& OutputKindOf(SaveFormat format);
// By --format's word (exact, lower case); nullptr for none.
const OutputKind* OutputKindByName(std::string_view name);
// By the name's extension, in any letter case; nullptr for none.
const OutputKind* OutputKindByPath(const std::string& path);
// "bmp, jpg, png, webp, avif" (with the separator given), for messages and help.
std::string OutputKindNames(std::string_view separator);

// Raises an Error naming what the kind takes when the settings ask for something it does not:
// a quality outside 1..100 or for a kind without one, lossless for a kind other than WebP.
void CheckOutputSettings(const OutputKind& kind, const OutputSettings& settings);

// Encodes the picture as the kind says and writes it through a temporary file that replaces
// `path` only when complete. An empty picture is refused and nothing is written. The
// encoder's and the file's Errors carry `path` as their File(), their messages as they were.
void WriteOutputFile(const Bitmap& picture, const std::string& path, SaveFormat format, const OutputSettings& settings);

}  // namespace zumo

#include "photofiles/ExifOrientation.h"

#include <memory>

#include <libexif/exif-data.h>

namespace zumo {
namespace {

struct ExifDataDeleter {
  void operator()(ExifData* data) const noexcept { exif_data_unref(data); }
};

}  // namespace

Orientation ReadExifOrientation(std::span<const std::uint8_t> exif_block) noexcept {
  if (exif_block.size() < 6 || exif_block.size() > 0xFFFF) return Orientation::Upright;
  const std::unique_ptr<ExifData, ExifDataDeleter> data(exif_data_new());
  if (!data) return Orientation::Upright;
  // Read what is there; do not let libexif add the entries the standard asks for.
  exif_data_unset_option(data.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
  exif_data_load_data(data.get(), exif_block.data(), static_cast<unsigned int>(exif_block.size()));
  ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
  if (entry == nullptr || entry->format != EXIF_FORMAT_SHORT || entry->components < 1 || entry->size < 2 ||
      entry->data == nullptr)
    return Orientation::Upright;
  const ExifShort value = exif_get_short(entry->data, exif_data_get_byte_order(data.get()));
  if (value < 1 || value > 8) return Orientation::Upright;
  return static_cast<Orientation>(value);
}

}  // namespace zumo

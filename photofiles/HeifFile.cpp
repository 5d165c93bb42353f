#include "photofiles/HeifFile.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <libheif/heif.h>

#include "photofiles/HeifObjects.h"
#include "photofiles/OverWhite.h"

namespace zumo {
namespace {

std::string NonNull(const char* text) { return text != nullptr ? text : ""; }

// A sample of `bits` bits to 8 bits, rounded to nearest: round(v * 255 / (2^bits - 1)).
inline unsigned Reduce(unsigned v, unsigned max) noexcept { return (v * 255 + max / 2) / max; }

// The metadata blocks libheif finds for the picture, each within its bound: the Exif block
// (its first four bytes give the offset of the TIFF structure), the XMP packet, and the
// colour description (an ICC profile, or nclx code points).
void TakeMetadata(const heif_image_handle* handle, PhotoMetadata& metadata) {
  const int count = heif_image_handle_get_number_of_metadata_blocks(handle, nullptr);
  std::vector<heif_item_id> ids(static_cast<std::size_t>(std::clamp(count, 0, 64)));
  const int listed = heif_image_handle_get_list_of_metadata_block_IDs(handle, nullptr, ids.data(), static_cast<int>(ids.size()));
  for (int i = 0; i < listed; ++i) {
    const std::string type = NonNull(heif_image_handle_get_metadata_type(handle, ids[i]));
    const std::string content = NonNull(heif_image_handle_get_metadata_content_type(handle, ids[i]));
    const bool exif = type == "Exif" && metadata.exif.empty();
    const bool xmp = type == "mime" && content == "application/rdf+xml" && metadata.xmp.empty();
    if (!exif && !xmp) continue;
    const std::size_t size = heif_image_handle_get_metadata_size(handle, ids[i]);
    if (size > (exif ? kMaxExifBytes + 4 : kMaxXmpBytes)) continue;
    std::vector<std::uint8_t> block(size);
    if (heif_image_handle_get_metadata(handle, ids[i], block.data()).code != heif_error_Ok) continue;
    if (exif) {
      if (block.size() < 4) continue;
      const std::size_t offset = (std::size_t{block[0]} << 24) | (block[1] << 16) | (block[2] << 8) | block[3];
      if (offset > block.size() - 4) continue;
      metadata.exif.assign(block.begin() + 4 + static_cast<std::ptrdiff_t>(offset), block.end());
    } else {
      metadata.xmp.assign(block.begin(), block.end());
    }
  }
  switch (heif_image_handle_get_color_profile_type(handle)) {
    case heif_color_profile_type_prof:
    case heif_color_profile_type_rICC: {
      const std::size_t size = heif_image_handle_get_raw_color_profile_size(handle);
      if (size == 0 || size > kMaxIccBytes) break;
      std::vector<std::uint8_t> profile(size);
      if (heif_image_handle_get_raw_color_profile(handle, profile.data()).code == heif_error_Ok)
        metadata.colour.icc = std::move(profile);
      break;
    }
    case heif_color_profile_type_nclx: {
      heif_color_profile_nclx* nclx = nullptr;
      if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code == heif_error_Ok && nclx != nullptr) {
        metadata.colour.nclx = NclxColour{static_cast<std::uint16_t>(nclx->color_primaries),
                                          static_cast<std::uint16_t>(nclx->transfer_characteristics),
                                          static_cast<std::uint16_t>(nclx->matrix_coefficients),
                                          nclx->full_range_flag != 0};
      }
      heif_nclx_color_profile_free(nclx);
      break;
    }
    default:
      break;
  }
}

}  // namespace

bool LooksLikeHeif(std::span<const std::uint8_t> data) noexcept {
  if (data.size() < 12) return false;
  const int length = static_cast<int>(std::min<std::size_t>(data.size(), 1 << 20));
  const heif_filetype_result result = heif_check_filetype(data.data(), length);
  return result == heif_filetype_yes_supported || result == heif_filetype_yes_unsupported;
}

Bitmap DecodeHeif(std::span<const std::uint8_t> data, const std::string& name, long long max_pixels,
                  PhotoMetadata* metadata) {
  const std::string prefix = "ファイル " + name + " は HEIF 画像として読めません（";
  auto fail = [&](const heif_error& error) -> Bitmap {
    throw Error(prefix + (error.message != nullptr ? error.message : "不明なエラー") + "）");
  };
  HeifOwned<heif_context, heif_context_free> context(heif_context_alloc());
  if (!context) throw Error(messages::kOutOfMemory);
  // libheif refuses any item (the picture, each tile of a grid) with a side beyond this
  // itself, before it allocates the item's planes; our own limits are checked on the picture
  // below. A tile can still take as much memory as our largest picture. With max_pixels the
  // items are held to about that many pixels as well.
  int side_limit = Bitmap::kMaxHeight;
  if (max_pixels > 0)
    side_limit = static_cast<int>(std::min<long long>(side_limit, static_cast<long long>(std::sqrt(double(max_pixels))) + 1));
  heif_context_set_maximum_image_size_limit(context.get(), side_limit);
  heif_error error = heif_context_read_from_memory_without_copy(context.get(), data.data(), data.size(), nullptr);
  if (error.code != heif_error_Ok) return fail(error);
  heif_image_handle* raw_handle = nullptr;
  error = heif_context_get_primary_image_handle(context.get(), &raw_handle);
  if (error.code != heif_error_Ok) return fail(error);
  const HeifOwned<heif_image_handle, heif_image_handle_release> handle(raw_handle);

  // The size as shown, after the file's own rotation and cropping.
  const int width = heif_image_handle_get_width(handle.get());
  const int height = heif_image_handle_get_height(handle.get());
  Bitmap::CheckSize(width, height);
  if (max_pixels > 0 && static_cast<long long>(width) * height > max_pixels)
    throw Error("ファイル " + name + " の画像が大きすぎます");
  const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
  const int depth = heif_image_handle_get_luma_bits_per_pixel(handle.get());
  const bool deep = depth > 8;
  const heif_chroma chroma = deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
                                  : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);

  const HeifOwned<heif_decoding_options, heif_decoding_options_free> options(heif_decoding_options_alloc());
  heif_image* raw_image = nullptr;
  error = heif_decode_image(handle.get(), &raw_image, heif_colorspace_RGB, chroma, options.get());
  if (error.code != heif_error_Ok) return fail(error);
  const HeifOwned<heif_image, heif_image_release> image(raw_image);
  int plane_stride = 0;
  const std::uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &plane_stride);
  if (plane == nullptr || heif_image_get_width(image.get(), heif_channel_interleaved) != width ||
      heif_image_get_height(image.get(), heif_channel_interleaved) != height)
    throw Error(prefix + "復号した画像の形が合いません）");
  const int bits_in = heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved);
  const unsigned max = (1u << std::clamp(bits_in, 8, 16)) - 1;

  Bitmap picture(width, height, Bitmap::Uninitialized{});
  const int channels = alpha ? 4 : 3;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* out = picture.ScanLine(y);
    const std::uint8_t* in = plane + static_cast<std::ptrdiff_t>(plane_stride) * y;
    for (int x = 0; x < width; ++x, out += 3) {
      unsigned v[4];
      for (int c = 0; c < channels; ++c) {
        v[c] = deep ? Reduce(in[2 * (channels * x + c)] | (in[2 * (channels * x + c) + 1] << 8), max)
                    : in[channels * x + c];
      }
      if (alpha) {
        out[0] = OverWhite(v[2], v[3]);
        out[1] = OverWhite(v[1], v[3]);
        out[2] = OverWhite(v[0], v[3]);
      } else {
        out[0] = static_cast<std::uint8_t>(v[2]);
        out[1] = static_cast<std::uint8_t>(v[1]);
        out[2] = static_cast<std::uint8_t>(v[0]);
      }
    }
  }
  if (metadata != nullptr) TakeMetadata(handle.get(), *metadata);
  return picture;
}

}  // namespace zumo

#include "photofiles/AvifWriter.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <thread>

#include <libheif/heif.h>

#include "photofiles/EncoderChecks.h"
#include "photofiles/HeifFile.h"
#include "photofiles/HeifObjects.h"

namespace zumo {
namespace {

constexpr char kRecipeContentType[] = "text/x-zumo-recipe";

using Context = HeifOwned<heif_context, heif_context_free>;

// heif_context_write hands the file over in pieces; no exception may cross libheif.
extern "C" heif_error AvifWriterBytes(heif_context*, const void* data, size_t size, void* userdata) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(userdata);
  try {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
  } catch (const std::bad_alloc&) {
    return {heif_error_Memory_allocation_error, heif_suberror_Unspecified, "out of memory"};
  }
  return {heif_error_Ok, heif_suberror_Unspecified, "Success"};
}

void Check(const heif_error& error) {
  if (error.code == heif_error_Ok) return;
  if (error.code == heif_error_Memory_allocation_error) throw Error(messages::kOutOfMemory);
  throw Error(encoding::CannotEncode("AVIF", error.message != nullptr ? error.message : "不明なエラー"));
}

int ThreadCount(int asked) {
  if (asked > 0) return std::min(asked, 16);
  return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 16u));
}

}  // namespace

bool CanEncodeAvif() noexcept { return heif_have_encoder_for_format(heif_compression_AV1) != 0; }

namespace detail {

std::vector<std::uint8_t> EncodeAvifTuned(const Bitmap& picture, int quality, const PhotoMetadata& metadata,
                                          std::string_view recipe, const AvifTuning& tuning) {
  encoding::CheckInputs(picture, metadata, recipe);
  encoding::CheckQuality("AVIF", quality);
  if (!CanEncodeAvif()) throw Error(encoding::CannotEncode("AVIF", "AV1 エンコーダーがありません"));

  const Context context(heif_context_alloc());
  if (!context) throw Error(messages::kOutOfMemory);
  heif_encoder* raw_encoder = nullptr;
  Check(heif_context_get_encoder_for_format(context.get(), heif_compression_AV1, &raw_encoder));
  const HeifOwned<heif_encoder, heif_encoder_release> encoder(raw_encoder);
  Check(heif_encoder_set_lossy_quality(encoder.get(), quality));
  Check(heif_encoder_set_lossless(encoder.get(), 0));
  Check(heif_encoder_set_parameter_string(encoder.get(), "chroma", "420"));
  Check(heif_encoder_set_parameter_integer(encoder.get(), "speed", tuning.speed));
  Check(heif_encoder_set_parameter_integer(encoder.get(), "threads", ThreadCount(tuning.threads)));

  // The picture as interleaved R, G, B; libheif turns it into YCbCr by the nclx matrix.
  const int width = picture.Width();
  const int height = picture.Height();
  heif_image* raw_image = nullptr;
  Check(heif_image_create(width, height, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &raw_image));
  const HeifOwned<heif_image, heif_image_release> image(raw_image);
  Check(heif_image_add_plane(image.get(), heif_channel_interleaved, width, height, 8));
  int plane_stride = 0;
  std::uint8_t* plane = heif_image_get_plane(image.get(), heif_channel_interleaved, &plane_stride);
  if (plane == nullptr) throw Error(messages::kOutOfMemory);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = picture.ScanLine(y);
    std::uint8_t* out = plane + static_cast<std::ptrdiff_t>(plane_stride) * y;
    for (int x = 0; x < width; ++x, in += 3, out += 3) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
    }
  }

  const HeifOwned<heif_color_profile_nclx, heif_nclx_color_profile_free> nclx(heif_nclx_color_profile_alloc());
  if (!nclx) throw Error(messages::kOutOfMemory);
  const std::optional<NclxColour>& given = metadata.colour.nclx;
  const bool icc = !metadata.colour.icc.empty();
  // With an ICC profile the profile tells the colours; the nclx box still tells how the
  // YCbCr samples were made.
  const std::uint16_t primaries = icc ? 2 : given ? given->primaries : 1;
  const std::uint16_t transfer = icc ? 2 : given ? given->transfer : 13;
  Check(heif_nclx_color_profile_set_color_primaries(nclx.get(), primaries));
  Check(heif_nclx_color_profile_set_transfer_characteristics(nclx.get(), transfer));
  Check(heif_nclx_color_profile_set_matrix_coefficients(nclx.get(), 6));
  nclx->full_range_flag = 1;
  Check(heif_image_set_nclx_color_profile(image.get(), nclx.get()));
  if (icc)
    Check(heif_image_set_raw_color_profile(image.get(), "prof", metadata.colour.icc.data(), metadata.colour.icc.size()));

  const HeifOwned<heif_encoding_options, heif_encoding_options_free> options(heif_encoding_options_alloc());
  if (!options) throw Error(messages::kOutOfMemory);
  options->save_alpha_channel = 0;
  options->save_two_colr_boxes_when_ICC_and_nclx_available = 1;
  options->output_nclx_profile = nclx.get();
  heif_image_handle* raw_handle = nullptr;
  Check(heif_context_encode_image(context.get(), image.get(), encoder.get(), options.get(), &raw_handle));
  const HeifOwned<heif_image_handle, heif_image_handle_release> handle(raw_handle);

  if (!metadata.exif.empty())
    Check(heif_context_add_exif_metadata(context.get(), handle.get(), metadata.exif.data(), static_cast<int>(metadata.exif.size())));
  if (!metadata.xmp.empty())
    Check(heif_context_add_XMP_metadata(context.get(), handle.get(), metadata.xmp.data(), static_cast<int>(metadata.xmp.size())));
  if (!recipe.empty())
    Check(heif_context_add_generic_metadata(context.get(), handle.get(), recipe.data(), static_cast<int>(recipe.size()),
                                            "mime", kRecipeContentType));

  std::vector<std::uint8_t> out;
  heif_writer writer = {1, AvifWriterBytes};
  Check(heif_context_write(context.get(), &writer, &out));
  return out;
}

}  // namespace detail

std::vector<std::uint8_t> EncodeAvif(const Bitmap& picture, int quality, const PhotoMetadata& metadata,
                                     std::string_view recipe) {
  return detail::EncodeAvifTuned(picture, quality, metadata, recipe, detail::AvifTuning{});
}

std::string ReadAvifRecipe(std::span<const std::uint8_t> avif) {
  if (!LooksLikeHeif(avif)) throw Error("AVIF ファイルではありません");
  const Context context(heif_context_alloc());
  if (!context) throw Error(messages::kOutOfMemory);
  if (heif_context_read_from_memory_without_copy(context.get(), avif.data(), avif.size(), nullptr).code != heif_error_Ok)
    return {};
  heif_image_handle* raw_handle = nullptr;
  if (heif_context_get_primary_image_handle(context.get(), &raw_handle).code != heif_error_Ok) return {};
  const HeifOwned<heif_image_handle, heif_image_handle_release> handle(raw_handle);
  const int count = heif_image_handle_get_number_of_metadata_blocks(handle.get(), "mime");
  if (count <= 0) return {};
  std::vector<heif_item_id> ids(static_cast<std::size_t>(count));
  const int listed = heif_image_handle_get_list_of_metadata_block_IDs(handle.get(), "mime", ids.data(), count);
  for (int i = 0; i < listed; ++i) {
    const char* type = heif_image_handle_get_metadata_content_type(handle.get(), ids[i]);
    if (type == nullptr || std::strcmp(type, kRecipeContentType) != 0) continue;
    // The item lies within the file's bytes, so its size is bounded by theirs.
    std::string text(heif_image_handle_get_metadata_size(handle.get(), ids[i]), '\0');
    if (heif_image_handle_get_metadata(handle.get(), ids[i], text.data()).code != heif_error_Ok) return {};
    if (text.size() > kMaxEmbeddedRecipeBytes) text.resize(kMaxEmbeddedRecipeBytes);
    return text;
  }
  return {};
}

}  // namespace zumo

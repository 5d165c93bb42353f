// JPEG loading and saving of the 4000 x 3000 photo, next to libjpeg's own decode and encode
// of the same bytes through the same API (the floor our wrappers are held to).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include <jpeglib.h>

#include "BenchSupport.h"
#include "photofiles/JpegImage.h"
#include "photofiles/PhotoFile.h"

namespace {

const std::vector<std::uint8_t>& PhotoJpeg() {
  static const std::vector<std::uint8_t> bytes = zumo::EncodeJpeg(zumo::bench::Photo(), zumo::kDefaultSaveQuality);
  return bytes;
}

// libjpeg alone (default error handling: the input is known to be good), decoding into
// `buffer` with rows `stride` apart.
void LibjpegDecodeInto(const std::vector<std::uint8_t>& jpeg, std::uint8_t* buffer, std::size_t stride) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
  jpeg_read_header(&cinfo, TRUE);
  cinfo.dct_method = JDCT_ISLOW;
  cinfo.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&cinfo);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = buffer + cinfo.output_scanline * stride;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
}

// Into one buffer allocated once: the floor.
void BM_LibjpegDecode(benchmark::State& state) {
  const zumo::Bitmap& photo = zumo::bench::Photo();
  const std::size_t stride = static_cast<std::size_t>(photo.Stride());
  std::vector<std::uint8_t> buffer(stride * photo.Height());
  for (auto _ : state) {
    LibjpegDecodeInto(PhotoJpeg(), buffer.data(), stride);
    benchmark::DoNotOptimize(buffer.data());
  }
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_LibjpegDecode)->Unit(benchmark::kMillisecond)->UseRealTime();

// Into a buffer allocated for each picture, as a loaded photo needs: the difference to the
// floor is the operating system handing out fresh pages.
void BM_LibjpegDecodeFreshBuffer(benchmark::State& state) {
  const zumo::Bitmap& photo = zumo::bench::Photo();
  const std::size_t stride = static_cast<std::size_t>(photo.Stride());
  for (auto _ : state) {
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[stride * photo.Height()]);
    LibjpegDecodeInto(PhotoJpeg(), buffer.get(), stride);
    benchmark::DoNotOptimize(buffer.get());
  }
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_LibjpegDecodeFreshBuffer)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DecodeJpeg(benchmark::State& state) {
  const auto& jpeg = PhotoJpeg();
  for (auto _ : state) benchmark::DoNotOptimize(zumo::DecodeJpeg(jpeg));
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_DecodeJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole load: read the file, decode.
void BM_ReadJpeg(benchmark::State& state) {
  const std::string& path = zumo::bench::PhotoFile(zumo::SaveFormat::Jpeg);
  for (auto _ : state) benchmark::DoNotOptimize(zumo::ReadPhotoFile(path));
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_ReadJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

// libjpeg alone: encode at quality 85 into memory.
void BM_LibjpegEncode(benchmark::State& state) {
  const zumo::Bitmap& photo = zumo::bench::Photo();
  for (auto _ : state) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = photo.Width();
    cinfo.image_height = photo.Height();
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 85, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
      JSAMPROW row = const_cast<JSAMPROW>(photo.Bits() + cinfo.next_scanline * photo.Stride());
      jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    benchmark::DoNotOptimize(out);
    std::free(out);
  }
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_LibjpegEncode)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_EncodeJpeg(benchmark::State& state) {
  const zumo::Bitmap& photo = zumo::bench::Photo();
  for (auto _ : state) benchmark::DoNotOptimize(zumo::EncodeJpeg(photo, 85));
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_EncodeJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole save: encode, write a temporary file, flush it to disk, rename.
void BM_WriteJpeg(benchmark::State& state) {
  const zumo::Bitmap& photo = zumo::bench::Photo();
  const std::string path = zumo::bench::TemporaryPath("write.jpg");
  for (auto _ : state) zumo::WritePhotoFile(photo, path, zumo::SaveFormat::Jpeg, 85);
  std::filesystem::remove(path);
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_WriteJpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

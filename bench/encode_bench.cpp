// zumo-encode-bench: the whole save path as one process, to be timed beside the reference
// command-line encoders (tools/compare-writers.sh):
//   zumo-encode-bench FORMAT in.jpg out [options]    FORMAT: png, webp or avif
//     -q Q          quality (WebP, AVIF)
//     --lossless    lossless WebP
//     --level L --strategy S --filters F    PNG zlib level, strategy, filter bits (without
//                   --level: EncodePng's own choice)
//     --method M --lossless-level L         WebP method, lossless effort level
//     --speed S --threads N                 AVIF encoder speed and threads
//     --psnr        decode the result with our reader and print its PSNR against the input
//     -v            print the time of each step
//   zumo-encode-bench --photo out.jpg [Q]   writes the benchmarks' 4000 x 3000 photo as JPEG
//   zumo-encode-bench --psnr in.jpg file    PSNR of a PNG, WebP or AVIF file against in.jpg
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "photofiles/AvifWriter.h"
#include "photofiles/HeifFile.h"
#include "photofiles/JpegImage.h"
#include "photofiles/PngFile.h"
#include "photofiles/PngWriter.h"
#include "photofiles/SafeFile.h"
#include "photofiles/WebpFile.h"
#include "photofiles/WebpWriter.h"
#include "platform/InputFile.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

double Psnr(const zumo::Bitmap& a, const zumo::Bitmap& b) {
  double sum = 0;
  for (int y = 0; y < a.Height(); ++y) {
    const std::uint8_t* p = a.ScanLine(y);
    const std::uint8_t* q = b.ScanLine(y);
    for (int x = 0; x < 3 * a.Width(); ++x) sum += (p[x] - q[x]) * (p[x] - q[x]);
  }
  const double mse = sum / (3.0 * a.Width() * a.Height());
  return mse == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse);
}

int Usage() {
  std::fprintf(stderr, "usage: zumo-encode-bench png|webp|avif in.jpg out [options] | --photo out.jpg [Q]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) try {
  if (argc >= 3 && std::strcmp(argv[1], "--photo") == 0) {
    const auto jpeg = zumo::EncodeJpeg(zumo::bench::Photo(), argc >= 4 ? std::atoi(argv[3]) : 92);
    zumo::WriteFileReplacing(argv[2], jpeg);
    return 0;
  }
  if (argc == 4 && std::strcmp(argv[1], "--psnr") == 0) {
    const zumo::Bitmap picture = zumo::DecodeJpeg(zumo::ReadWholeFile(argv[2]));
    const std::vector<std::uint8_t> bytes = zumo::ReadWholeFile(argv[3]);
    const zumo::Bitmap back = zumo::LooksLikePng(bytes)    ? zumo::DecodePng(bytes, argv[3])
                              : zumo::LooksLikeWebp(bytes) ? zumo::DecodeWebp(bytes, argv[3])
                                                           : zumo::DecodeHeif(bytes, argv[3]);
    std::printf("psnr %.3f\n", Psnr(picture, back));
    return 0;
  }
  if (argc < 4) return Usage();
  const std::string format = argv[1];
  int quality = 85;
  bool lossless = false, psnr = false, verbose = false;
  zumo::detail::PngTuning png{-1, 0, 0};  // level -1: EncodePng's own choice
  zumo::detail::WebpTuning webp;
  zumo::detail::AvifTuning avif;
  for (int i = 4; i < argc; ++i) {
    const std::string option = argv[i];
    auto value = [&] {
      if (i + 1 >= argc) std::exit(Usage());
      return std::atoi(argv[++i]);
    };
    if (option == "-q") quality = value();
    else if (option == "--lossless") lossless = true;
    else if (option == "--level") png.level = value();
    else if (option == "--strategy") png.strategy = value();
    else if (option == "--filters") png.filters = value();
    else if (option == "--method") webp.method = value();
    else if (option == "--lossless-level") webp.lossless_level = value();
    else if (option == "--speed") avif.speed = value();
    else if (option == "--threads") avif.threads = value();
    else if (option == "--psnr") psnr = true;
    else if (option == "-v") verbose = true;
    else return Usage();
  }

  const auto start = Clock::now();
  const zumo::Bitmap picture = zumo::DecodeJpeg(zumo::ReadWholeFile(argv[2]));
  const double decoded = Seconds(start);
  std::vector<std::uint8_t> bytes;
  if (format == "png") bytes = png.level < 0 ? zumo::EncodePng(picture) : zumo::detail::EncodePngTuned(picture, {}, {}, png);
  else if (format == "webp") bytes = zumo::detail::EncodeWebpTuned(picture, quality, lossless, {}, {}, webp);
  else if (format == "avif") bytes = zumo::detail::EncodeAvifTuned(picture, quality, {}, {}, avif);
  else return Usage();
  const double encoded = Seconds(start);
  zumo::WriteFileReplacing(argv[3], bytes);
  const double written = Seconds(start);
  if (verbose)
    std::fprintf(stderr, "decode %.3f s, encode %.3f s, write %.3f s, %zu bytes\n", decoded, encoded - decoded,
                 written - encoded, bytes.size());
  if (psnr) {
    const zumo::Bitmap back = format == "png"    ? zumo::DecodePng(bytes, argv[3])
                              : format == "webp" ? zumo::DecodeWebp(bytes, argv[3])
                                                 : zumo::DecodeHeif(bytes, argv[3]);
    std::printf("psnr %.3f\n", Psnr(picture, back));
  }
  return 0;
} catch (const std::exception& e) {
  std::fprintf(stderr, "zumo-encode-bench: %s\n", e.what());
  return 1;
}

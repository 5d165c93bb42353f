// Converting the 4000 x 3000 photo from Adobe RGB to sRGB, to be read against BM_Memcpy of
// the same run: as a load does it (reading the profile included), on one thread, and with
// lcms2's own 8-bit transform (one thread) for comparison. The picture is converted in place
// again and again; the work does not depend on the values, so each pass costs what the first does.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <vector>

#include <lcms2.h>

#include "BenchSupport.h"
#include "photofiles/ColourConversion.h"
#include "platform/Threads.h"

namespace {

const zumo::ColourDescription& AdobeRgb() {
  static const zumo::ColourDescription adobe = [] {
    std::ifstream in("/usr/share/color/icc/compatibleWithAdobeRGB1998.icc", std::ios::binary);
    return zumo::ColourDescription{.icc = {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()},
                                   .nclx = {}};
  }();
  return adobe;
}

void BM_ColourToSrgb(benchmark::State& state) {
  zumo::Bitmap picture = zumo::bench::Photo();
  picture.MutableBits();  // a copy of its own, made before the clock starts
  for (auto _ : state) {
    if (!zumo::ConvertToSrgb(picture, AdobeRgb())) state.SkipWithError("the Adobe RGB profile was not converted");
    benchmark::ClobberMemory();
  }
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_ColourToSrgb)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ColourToSrgbOneThread(benchmark::State& state) {
  zumo::SetThreads(zumo::Threads::One);
  BM_ColourToSrgb(state);
  zumo::SetThreads(zumo::Threads::Auto);
}
BENCHMARK(BM_ColourToSrgbOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();

// What a load pays per photo before any pixel is converted: reading the profile and building
// the kernel's tables.
void BM_ColourPrepare(benchmark::State& state) {
  for (auto _ : state) {
    const zumo::SrgbConverter converter(AdobeRgb());
    benchmark::DoNotOptimize(&converter);
  }
}
BENCHMARK(BM_ColourPrepare)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_ColourLcmsTransform(benchmark::State& state) {
  zumo::Bitmap picture = zumo::bench::Photo();
  std::uint8_t* bits = picture.MutableBits();
  const std::vector<std::uint8_t>& icc = AdobeRgb().icc;
  cmsHPROFILE adobe = cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size()));
  cmsHPROFILE srgb = cmsCreate_sRGBProfile();
  cmsHTRANSFORM transform = cmsCreateTransform(adobe, TYPE_BGR_8, srgb, TYPE_BGR_8, INTENT_RELATIVE_COLORIMETRIC,
                                               cmsFLAGS_BLACKPOINTCOMPENSATION);
  const auto stride = static_cast<cmsUInt32Number>(picture.Stride());
  for (auto _ : state) {
    cmsDoTransformLineStride(transform, bits, bits, static_cast<cmsUInt32Number>(picture.Width()),
                             static_cast<cmsUInt32Number>(picture.Height()), stride, stride, 0, 0);
    benchmark::ClobberMemory();
  }
  cmsDeleteTransform(transform);
  cmsCloseProfile(srgb);
  cmsCloseProfile(adobe);
  zumo::bench::CountBytes(state);
}
BENCHMARK(BM_ColourLcmsTransform)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

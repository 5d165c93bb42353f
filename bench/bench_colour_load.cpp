// The whole batch job on the 4000 x 3000 photo as a JPEG: read, brought to a long side of
// 1024, saved as JPEG, once untagged and once tagged Display P3 (so converted to sRGB as it
// is read). The two are read against each other: what the colour conversion adds to a job.
// Then four photos in one run of the many-photo form, by default and on one thread.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "batch/BatchRun.h"
#include "photofiles/JpegImage.h"
#include "photofiles/SafeFile.h"
#include "platform/Threads.h"
#include "support/DisplayP3Profile.h"

namespace {

// The photo as a JPEG file, tagged with Display P3 in one APP2 chunk or untagged.
struct PhotoJpegFile {
  explicit PhotoJpegFile(bool tagged) : path(zumo::bench::TemporaryPath(tagged ? "p3.jpg" : "untagged.jpg")) {
    std::vector<zumo::JpegSegment> segments;
    if (tagged) {
      const std::string header("ICC_PROFILE\0\1\1", 14);
      const std::vector<std::uint8_t> profile = zumo::test::DisplayP3Profile();
      zumo::JpegSegment chunk{0xE2, {header.begin(), header.end()}};
      chunk.payload.insert(chunk.payload.end(), profile.begin(), profile.end());
      segments.push_back(std::move(chunk));
    }
    zumo::WriteFileReplacing(path, zumo::EncodeJpeg(zumo::bench::Photo(), zumo::kDefaultSaveQuality, {}, segments));
  }
  ~PhotoJpegFile() {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
  std::string path;
};

void BM_BatchSize1024(benchmark::State& state) {
  static const PhotoJpegFile untagged(false), p3(true);
  const std::string& input = state.range(0) ? p3.path : untagged.path;
  const std::string output = zumo::bench::TemporaryPath("batch-out.jpg");
  std::ostringstream out, err;
  for (auto _ : state) {
    if (zumo::batch::Run({"--size", "1024", input, output}, out, err) != 0) state.SkipWithError("the batch job failed");
  }
  std::error_code ignored;
  std::filesystem::remove(output, ignored);
  state.SetLabel(state.range(0) ? "Display P3" : "untagged");
}
BENCHMARK(BM_BatchSize1024)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Four untagged copies of the photo through the many-photo form (--size 1024), by default
// (the photos shared with the helper thread) and on one thread.
void BM_BatchPhotos(benchmark::State& state) {
  static const PhotoJpegFile untagged(false);
  static const std::vector<std::string> inputs = [] {
    std::vector<std::string> paths;
    for (int k = 0; k < 4; ++k) {
      paths.push_back(zumo::bench::TemporaryPath("batch-photo-" + std::to_string(k) + ".jpg"));
      std::filesystem::copy_file(untagged.path, paths.back(), std::filesystem::copy_options::overwrite_existing);
    }
    return paths;
  }();
  const std::string folder = zumo::bench::TemporaryPath("batch-photos");
  std::vector<std::string> args = {"--size", "1024", "--overwrite", "--output-folder", folder};
  args.insert(args.end(), inputs.begin(), inputs.end());
  std::ostringstream out, err;
  for (auto _ : state) {
    if (zumo::batch::Run(args, out, err) != 0) state.SkipWithError("the batch job failed");
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}
BENCHMARK(BM_BatchPhotos)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BatchPhotosOneThread(benchmark::State& state) {
  zumo::SetThreads(zumo::Threads::One);
  BM_BatchPhotos(state);
  zumo::SetThreads(zumo::Threads::Auto);
}
BENCHMARK(BM_BatchPhotosOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

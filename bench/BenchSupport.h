#pragma once

#include <cstddef>
#include <string>

#include <benchmark/benchmark.h>

#include "photofiles/PhotoFile.h"
#include "platform/Bitmap.h"

namespace zumo::bench {

inline constexpr int kPhotoWidth = 4000;
inline constexpr int kPhotoHeight = 3000;

// A 4000 x 3000 photo-like picture (smooth gradients with grain), built once per process.
const Bitmap& Photo();

// The bytes of Photo()'s pixels: what a memcpy of the picture moves.
std::size_t PhotoBytes();

// Reports `bytes` per iteration (the photo's by default), so that every benchmark reads
// in bytes per second and compares straight with BM_Memcpy of the same run.
void CountBytes(benchmark::State& state, std::size_t bytes = PhotoBytes());

// Photo() written once per format to a temporary file (JPEG at quality 85), removed at exit.
const std::string& PhotoFile(SaveFormat format);

// A path in the temporary folder that names this process, for files a benchmark writes.
std::string TemporaryPath(const std::string& name);

}  // namespace zumo::bench

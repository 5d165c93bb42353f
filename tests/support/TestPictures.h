#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/Bitmap.h"

namespace zumo::test {

// A picture of the given size filled with reproducible pseudo-random bytes.
Bitmap RandomBitmap(int width, int height, std::uint32_t seed);

// A photo-like picture: smooth gradients with some texture, as a camera would give.
Bitmap PhotoLikeBitmap(int width, int height, std::uint32_t seed = 1);

// A fresh, empty folder under the system's temporary folder, removed on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace zumo::test

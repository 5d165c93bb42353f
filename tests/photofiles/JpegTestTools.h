#pragma once

// Helpers for the JPEG tests: the library's own command-line encoder and decoder serve as
// an independent reference, driven through PNM files.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Bitmap.h"

namespace zumo::test {

inline bool HaveJpegTools() {
  return std::system("command -v cjpeg >/dev/null 2>&1 && command -v djpeg >/dev/null 2>&1") == 0;
}

inline void RunOrThrow(const std::string& command) {
  if (std::system((command + " 2>/dev/null").c_str()) != 0) throw std::runtime_error("failed: " + command);
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

// Binary PPM (P6, R G B order) of a picture.
inline void WritePpm(const Bitmap& picture, const std::string& path) {
  std::ostringstream header;
  header << "P6\n" << picture.Width() << ' ' << picture.Height() << "\n255\n";
  std::string data = header.str();
  for (int y = 0; y < picture.Height(); ++y) {
    const std::uint8_t* row = picture.ScanLine(y);
    for (int x = 0; x < picture.Width(); ++x) {
      data.push_back(static_cast<char>(row[3 * x + 2]));
      data.push_back(static_cast<char>(row[3 * x + 1]));
      data.push_back(static_cast<char>(row[3 * x + 0]));
    }
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << data;
}

// Reads a binary PGM (P5, grey copied to B, G and R) or PPM (P6) as written by djpeg.
inline Bitmap ReadPnm(const std::string& path) {
  const std::vector<std::uint8_t> bytes = ReadBytes(path);
  std::size_t pos = 0;
  auto token = [&] {
    while (pos < bytes.size() && std::isspace(bytes[pos])) ++pos;
    std::string t;
    while (pos < bytes.size() && !std::isspace(bytes[pos])) t.push_back(static_cast<char>(bytes[pos++]));
    return t;
  };
  const std::string magic = token();
  const int width = std::stoi(token());
  const int height = std::stoi(token());
  if (std::stoi(token()) != 255 || (magic != "P5" && magic != "P6")) throw std::runtime_error("unexpected PNM");
  ++pos;  // the one whitespace after maxval
  const int channels = magic == "P6" ? 3 : 1;
  if (bytes.size() - pos < static_cast<std::size_t>(width) * height * channels) throw std::runtime_error("short PNM");
  Bitmap picture(width, height);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = picture.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* p = &bytes[pos + (static_cast<std::size_t>(y) * width + x) * channels];
      row[3 * x + 0] = channels == 3 ? p[2] : p[0];
      row[3 * x + 1] = channels == 3 ? p[1] : p[0];
      row[3 * x + 2] = p[0];
    }
  }
  return picture;
}

// The first frame header (SOFn) of a JPEG stream.
struct FrameHeader {
  int marker = 0;  // 0xC0 baseline, 0xC1 extended, 0xC2 progressive, ...
  int precision = 0;
  int height = 0;
  int width = 0;
  int components = 0;
};

inline FrameHeader FindFrameHeader(const std::vector<std::uint8_t>& jpeg) {
  std::size_t pos = 2;  // after SOI
  while (pos + 4 <= jpeg.size()) {
    if (jpeg[pos] != 0xFF) throw std::runtime_error("lost marker sync");
    const int marker = jpeg[pos + 1];
    const std::size_t length = (jpeg[pos + 2] << 8) | jpeg[pos + 3];
    const bool is_sof = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (is_sof && pos + 10 <= jpeg.size()) {
      return FrameHeader{marker, jpeg[pos + 4], (jpeg[pos + 5] << 8) | jpeg[pos + 6],
                         (jpeg[pos + 7] << 8) | jpeg[pos + 8], jpeg[pos + 9]};
    }
    pos += 2 + length;
  }
  throw std::runtime_error("no frame header");
}

// Largest difference of any byte between two pictures of the same size.
inline int MaxByteDifference(const Bitmap& a, const Bitmap& b) {
  int worst = 0;
  for (int y = 0; y < a.Height(); ++y) {
    const std::uint8_t* ra = a.ScanLine(y);
    const std::uint8_t* rb = b.ScanLine(y);
    for (int i = 0; i < 3 * a.Width(); ++i) worst = std::max(worst, std::abs(ra[i] - rb[i]));
  }
  return worst;
}

inline double MeanByteDifference(const Bitmap& a, const Bitmap& b) {
  double sum = 0;
  for (int y = 0; y < a.Height(); ++y) {
    const std::uint8_t* ra = a.ScanLine(y);
    const std::uint8_t* rb = b.ScanLine(y);
    for (int i = 0; i < 3 * a.Width(); ++i) sum += std::abs(ra[i] - rb[i]);
  }
  return sum / (3.0 * a.Width() * a.Height());
}

}  // namespace zumo::test

#pragma once

// Reference decodings for the PNG, WebP and HEIF reader tests: Netpbm, libwebp's and
// libheif's command-line tools write PAM/PNM files that are read here, reduced to 8 bits and
// laid over white by the rule the readers promise.

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "JpegTestTools.h"
#include "photofiles/OverWhite.h"
#include "platform/Bitmap.h"

namespace zumo::test {

inline bool HaveTools(const std::string& names) {
  std::string command;
  for (std::size_t start = 0; start < names.size();) {
    std::size_t end = names.find(' ', start);
    if (end == std::string::npos) end = names.size();
    if (!command.empty()) command += " && ";
    command += "command -v " + names.substr(start, end - start) + " >/dev/null 2>&1";
    start = end + 1;
  }
  return std::system(command.c_str()) == 0;
}

// Reads P5/P6 (PNM) or P7 (PAM) of any depth 1..4 and maxval up to 65535: samples reduced to
// 8 bits with rounding, grey copied to the three colours, alpha laid over white. `shift`
// drops low bits that a tool filled with zeros (heif-convert writes 10-bit samples shifted
// left by 6 into 16).
inline Bitmap ReadReferencePam(const std::string& path, int shift = 0) {
  const std::vector<std::uint8_t> bytes = ReadBytes(path);
  std::size_t pos = 0;
  auto token = [&] {
    while (pos < bytes.size() && (std::isspace(bytes[pos]) || bytes[pos] == '#')) {
      if (bytes[pos] == '#')
        while (pos < bytes.size() && bytes[pos] != '\n') ++pos;
      else
        ++pos;
    }
    std::string t;
    while (pos < bytes.size() && !std::isspace(bytes[pos])) t.push_back(static_cast<char>(bytes[pos++]));
    return t;
  };
  const std::string magic = token();
  int width = 0, height = 0, depth = 0, maxval = 0;
  if (magic == "P7") {
    for (std::string t = token(); t != "ENDHDR"; t = token()) {
      if (t == "WIDTH") width = std::stoi(token());
      else if (t == "HEIGHT") height = std::stoi(token());
      else if (t == "DEPTH") depth = std::stoi(token());
      else if (t == "MAXVAL") maxval = std::stoi(token());
      else if (t == "TUPLTYPE") token();
      else if (t.empty()) throw std::runtime_error("bad PAM header");
    }
  } else if (magic == "P5" || magic == "P6") {
    width = std::stoi(token());
    height = std::stoi(token());
    maxval = std::stoi(token());
    depth = magic == "P6" ? 3 : 1;
  } else {
    throw std::runtime_error("not a PAM/PNM file: " + path);
  }
  ++pos;  // the one whitespace before the samples
  const int sample_bytes = maxval > 255 ? 2 : 1;
  if (bytes.size() - pos < static_cast<std::size_t>(width) * height * depth * sample_bytes)
    throw std::runtime_error("short PAM file");
  const unsigned max = static_cast<unsigned>(maxval) >> shift;
  auto sample = [&](std::size_t i) -> unsigned {
    const unsigned v = (sample_bytes == 2 ? (bytes[pos + 2 * i] << 8) | bytes[pos + 2 * i + 1] : bytes[pos + i]) >> shift;
    return (v * 255 + max / 2) / max;
  };
  const bool alpha = depth == 2 || depth == 4;
  const bool grey = depth <= 2;
  Bitmap picture(width, height);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = picture.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      const std::size_t i = (static_cast<std::size_t>(y) * width + x) * depth;
      const unsigned r = sample(i), g = grey ? r : sample(i + 1), b = grey ? r : sample(i + 2);
      const unsigned a = alpha ? sample(i + depth - 1) : 255;
      row[3 * x + 0] = OverWhite(b, a);
      row[3 * x + 1] = OverWhite(g, a);
      row[3 * x + 2] = OverWhite(r, a);
    }
  }
  return picture;
}

// A PAM file (R, G, B, A; maxval 255 or 65535) of a picture with an alpha that runs from
// fully transparent to opaque across the picture, with some pixels of each extreme.
inline void WriteRgbaPam(const Bitmap& picture, const std::string& path, bool sixteen, bool grey = false) {
  const int depth = grey ? 2 : 4;
  std::string data = "P7\nWIDTH " + std::to_string(picture.Width()) + "\nHEIGHT " + std::to_string(picture.Height()) +
                     "\nDEPTH " + std::to_string(depth) + "\nMAXVAL " + (sixteen ? "65535" : "255") +
                     "\nTUPLTYPE " + (grey ? "GRAYSCALE_ALPHA" : "RGB_ALPHA") + "\nENDHDR\n";
  auto put = [&](unsigned v8, unsigned salt) {
    if (sixteen) {
      const unsigned v = v8 * 257 ^ (salt & 0xFF);  // low bits that the reduction must round
      data.push_back(static_cast<char>(v >> 8));
      data.push_back(static_cast<char>(v & 0xFF));
    } else {
      data.push_back(static_cast<char>(v8));
    }
  };
  for (int y = 0; y < picture.Height(); ++y) {
    const std::uint8_t* row = picture.ScanLine(y);
    for (int x = 0; x < picture.Width(); ++x) {
      const unsigned a = x == 0 ? 0 : x == 1 ? 255 : (x * 255) / std::max(1, picture.Width() - 1);
      if (grey) {
        put(row[3 * x + 1], x * 7 + y);
      } else {
        put(row[3 * x + 2], x * 7 + y);
        put(row[3 * x + 1], x * 5 + y);
        put(row[3 * x + 0], x * 3 + y);
      }
      put(a, x + y * 11);
    }
  }
  WriteBytes(path, std::vector<std::uint8_t>(data.begin(), data.end()));
}

}  // namespace zumo::test

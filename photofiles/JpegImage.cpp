#include "photofiles/JpegImage.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include <jpeglib.h>

#include "photofiles/ExifOrientation.h"
#include "photofiles/JpegMetadata.h"
#include "photofiles/SafeFile.h"
#include "platform/InputFile.h"

namespace zumo {
namespace {

// A progressive file may repeat scans over the whole picture; each one costs a full pass.
// Real encoders use about ten; hundreds only come from crafted files.
constexpr int kMaxScans = 500;

std::string JpegErrorMessage(int code) { return "JPEG エラー #" + std::to_string(code); }

// libjpeg reports errors through error_exit, which must not return. We leave by longjmp
// back into the small phase function that called libjpeg (only C frames are skipped), and
// raise the C++ exception from there once libjpeg's frames are gone.
struct ErrorTrap {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  bool too_many_scans;
};

extern "C" void LeaveByJump(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorTrap*>(cinfo->err)->jump, 1);
}

extern "C" void DropMessage(j_common_ptr, int) {}  // warnings are not reported

extern "C" void LimitScans(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans) {
    auto* trap = reinterpret_cast<ErrorTrap*>(cinfo->err);
    trap->too_many_scans = true;
    std::longjmp(trap->jump, 1);
  }
}

// A libjpeg object (jpeg_decompress_struct or jpeg_compress_struct) with its error trap. A
// phase function arms the trap and creates the object; the destructor destroys it once,
// whichever way the caller leaves, and Fail raises, outside libjpeg's frames, the error the
// trap caught.
template <class Object>
struct TrappedJpeg {
  ErrorTrap trap{};
  Object cinfo{};
  bool created = false;

  TrappedJpeg() = default;
  TrappedJpeg(const TrappedJpeg&) = delete;
  TrappedJpeg& operator=(const TrappedJpeg&) = delete;
  ~TrappedJpeg() {
    if (created) jpeg_destroy(reinterpret_cast<j_common_ptr>(&cinfo));
  }

  // Before the object is created: errors leave by longjmp, warnings are dropped.
  void ArmTrap() {
    jpeg_std_error(&trap.manager);
    trap.manager.error_exit = LeaveByJump;
    trap.manager.emit_message = DropMessage;
    trap.too_many_scans = false;
    cinfo.err = &trap.manager;
  }

  [[noreturn]] void Fail() const {
    if (trap.too_many_scans) throw Error("JPEG ファイルのスキャンが多すぎます（" + std::to_string(kMaxScans) + " 個まで）");
    throw Error(JpegErrorMessage(trap.manager.msg_code));
  }
};

// ---------------------------------------------------------------- decoding

struct Decoder : TrappedJpeg<jpeg_decompress_struct> {
  jpeg_progress_mgr progress{};
};

// The phase functions below hold no object with a destructor: a longjmp into them skips
// nothing but libjpeg's own C frames. They return false when libjpeg raised an error.

// The markers kept while the header is read, beside the ones libjpeg always reads.
enum class KeptMarkers { None, Exif };

bool ReadHeaderPhase(Decoder& d, const std::uint8_t* data, std::size_t size, long max_memory, KeptMarkers kept) {
  d.ArmTrap();
  if (setjmp(d.trap.jump)) return false;
  jpeg_create_decompress(&d.cinfo);
  d.created = true;
  d.cinfo.mem->max_memory_to_use = max_memory;
  d.progress.progress_monitor = LimitScans;
  d.cinfo.progress = &d.progress;
  jpeg_mem_src(&d.cinfo, data, static_cast<unsigned long>(size));
  if (kept == KeptMarkers::Exif) jpeg_save_markers(&d.cinfo, JPEG_APP0 + 1, 0xFFFF);  // where EXIF lives
  jpeg_read_header(&d.cinfo, TRUE);
  return true;
}

bool SetOutputPhase(Decoder& d, bool quantize) {
  if (setjmp(d.trap.jump)) return false;
  d.cinfo.dct_method = JDCT_ISLOW;
  d.cinfo.scale_num = 1;
  d.cinfo.scale_denom = 1;
  if (quantize) {
    // Colour output stays RGB (the colormap's order); greyscale stays greyscale.
    d.cinfo.quantize_colors = TRUE;
    d.cinfo.desired_number_of_colors = 236;
  } else {
    d.cinfo.out_color_space = JCS_EXT_BGR;  // our rows' byte order, written in place
  }
  jpeg_calc_output_dimensions(&d.cinfo);
  return true;
}

// 24-bit output straight into the bitmap's rows.
bool DecodeRowsPhase(Decoder& d, JSAMPROW* rows) {
  if (setjmp(d.trap.jump)) return false;
  jpeg_start_decompress(&d.cinfo);
  const JDIMENSION height = d.cinfo.output_height;
  while (d.cinfo.output_scanline < height) {
    const JDIMENSION line = d.cinfo.output_scanline;
    if (jpeg_read_scanlines(&d.cinfo, rows + line, height - line) == 0) break;
  }
  if (d.cinfo.output_scanline < height) return true;  // never with a memory source
  jpeg_finish_decompress(&d.cinfo);
  return true;
}

// Palette output, one row at a time into `indices`, then through the colormap into the
// bitmap's rows (B, G, R).
bool DecodeQuantizedPhase(Decoder& d, JSAMPROW indices, std::uint8_t* bits, std::ptrdiff_t stride) {
  if (setjmp(d.trap.jump)) return false;
  jpeg_start_decompress(&d.cinfo);
  const JDIMENSION width = d.cinfo.output_width;
  const JDIMENSION height = d.cinfo.output_height;
  const bool colour = d.cinfo.out_color_components == 3;
  JSAMPARRAY map = d.cinfo.colormap;
  while (d.cinfo.output_scanline < height) {
    const JDIMENSION line = d.cinfo.output_scanline;
    if (jpeg_read_scanlines(&d.cinfo, &indices, 1) == 0) break;
    std::uint8_t* out = bits + static_cast<std::ptrdiff_t>(line) * stride;
    if (colour) {
      for (JDIMENSION x = 0; x < width; ++x) {
        const int i = indices[x];
        out[3 * x + 0] = map[2][i];
        out[3 * x + 1] = map[1][i];
        out[3 * x + 2] = map[0][i];
      }
    } else {
      for (JDIMENSION x = 0; x < width; ++x) {
        const std::uint8_t v = map[0][indices[x]];
        out[3 * x + 0] = v;
        out[3 * x + 1] = v;
        out[3 * x + 2] = v;
      }
    }
  }
  if (d.cinfo.output_scanline < height) return true;  // never with a memory source
  jpeg_finish_decompress(&d.cinfo);
  return true;
}

// The banded decoding's phases: start, up to `count` lines into `rows`, finish.
bool StartDecompressPhase(Decoder& d) {
  if (setjmp(d.trap.jump)) return false;
  jpeg_start_decompress(&d.cinfo);
  return true;
}

bool ReadLinesPhase(Decoder& d, JSAMPROW* rows, JDIMENSION count, JDIMENSION& read) {
  if (setjmp(d.trap.jump)) return false;
  read = 0;
  while (read < count) {
    const JDIMENSION got = jpeg_read_scanlines(&d.cinfo, rows + read, count - read);
    if (got == 0) break;  // never with a memory source
    read += got;
  }
  return true;
}

bool FinishPhase(Decoder& d) {
  if (setjmp(d.trap.jump)) return false;
  jpeg_finish_decompress(&d.cinfo);
  return true;
}

void StartDecoder(Decoder& d, std::span<const std::uint8_t> data, long max_memory,
                  KeptMarkers kept = KeptMarkers::None) {
  if (data.size() > std::numeric_limits<unsigned long>::max()) throw Error(messages::kOutOfMemory);
  if (!ReadHeaderPhase(d, data.data(), data.size(), max_memory, kept)) d.Fail();
}

// The orientation of the first APP1 segment that holds EXIF (others hold XMP and the like).
Orientation ExifOrientation(const jpeg_decompress_struct& cinfo) {
  static constexpr std::uint8_t kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
  for (jpeg_saved_marker_ptr m = cinfo.marker_list; m != nullptr; m = m->next) {
    if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 && std::memcmp(m->data, kExifHeader, 6) == 0)
      return ReadExifOrientation(std::span<const std::uint8_t>(m->data, m->data_length));
  }
  return Orientation::Upright;
}

// ---------------------------------------------------------------- encoding

// libjpeg's growing memory destination (malloc'd by libjpeg, ours to free).
struct MemoryDestination {
  unsigned char* buffer = nullptr;
  unsigned long size = 0;

  MemoryDestination() = default;
  MemoryDestination(const MemoryDestination&) = delete;
  MemoryDestination& operator=(const MemoryDestination&) = delete;
  ~MemoryDestination() { std::free(buffer); }
};

// The bases go in reverse order: the compress object is destroyed before its buffer is freed.
struct Encoder : MemoryDestination, TrappedJpeg<jpeg_compress_struct> {};

bool EncodePhase(Encoder& e, const Bitmap& picture, int quality, std::string_view comment,
                 std::span<const JpegSegment> segments) {
  e.ArmTrap();
  if (setjmp(e.trap.jump)) return false;
  jpeg_create_compress(&e.cinfo);
  e.created = true;
  jpeg_mem_dest(&e.cinfo, &e.buffer, &e.size);
  e.cinfo.image_width = static_cast<JDIMENSION>(picture.Width());
  e.cinfo.image_height = static_cast<JDIMENSION>(picture.Height());
  e.cinfo.input_components = 3;
  e.cinfo.in_color_space = JCS_EXT_BGR;  // fed straight from our rows
  jpeg_set_defaults(&e.cinfo);
  jpeg_set_quality(&e.cinfo, quality, TRUE);
  jpeg_start_compress(&e.cinfo, TRUE);
  for (const JpegSegment& segment : segments)
    jpeg_write_marker(&e.cinfo, segment.marker, segment.payload.data(), static_cast<unsigned int>(segment.payload.size()));
  // A comment longer than one marker holds goes into consecutive markers, read back joined.
  for (std::size_t at = 0; at < comment.size(); at += kMaxJpegCommentBytes) {
    const std::size_t length = std::min(kMaxJpegCommentBytes, comment.size() - at);
    jpeg_write_marker(&e.cinfo, JPEG_COM, reinterpret_cast<const JOCTET*>(comment.data() + at),
                      static_cast<unsigned int>(length));
  }
  const std::uint8_t* bits = picture.Bits();
  const std::ptrdiff_t stride = picture.Stride();
  constexpr int kBatch = 16;
  JSAMPROW rows[kBatch];
  while (e.cinfo.next_scanline < e.cinfo.image_height) {
    const JDIMENSION first = e.cinfo.next_scanline;
    JDIMENSION count = e.cinfo.image_height - first;
    if (count > kBatch) count = kBatch;
    for (JDIMENSION i = 0; i < count; ++i)
      rows[i] = const_cast<JSAMPROW>(bits + static_cast<std::ptrdiff_t>(first + i) * stride);
    jpeg_write_scanlines(&e.cinfo, rows, count);
  }
  jpeg_finish_compress(&e.cinfo);
  return true;
}

}  // namespace

JpegHeader ReadJpegHeader(std::span<const std::uint8_t> data) {
  Decoder d;
  StartDecoder(d, data, JpegDecodeOptions{}.max_libjpeg_memory, KeptMarkers::Exif);
  JpegHeader header;
  header.width = static_cast<int>(d.cinfo.image_width);
  header.height = static_cast<int>(d.cinfo.image_height);
  header.components = d.cinfo.num_components;
  header.grayscale = d.cinfo.out_color_space == JCS_GRAYSCALE;
  header.progressive = d.cinfo.progressive_mode != 0;
  header.orientation = ExifOrientation(d.cinfo);
  return header;
}

namespace {

// The header read and the output chosen as a decode needs them; the size checked, as it will
// be seen once turned as `orientation` says, before libjpeg or we allocate any picture
// memory. Returns whether the output is quantised.
bool PrepareDecode(Decoder& d, std::span<const std::uint8_t> data, const JpegDecodeOptions& options,
                   Orientation orientation) {
  StartDecoder(d, data, options.max_libjpeg_memory);
  const bool quantize = options.quantize || d.cinfo.out_color_space == JCS_GRAYSCALE;
  if (!SetOutputPhase(d, quantize)) d.Fail();
  const long long width = d.cinfo.output_width;
  const long long height = d.cinfo.output_height;
  CheckUprightSize(width, height, orientation);
  if (options.max_pixels > 0 && width * height > options.max_pixels)
    throw Error(messages::TooLarge(width, height));
  return quantize;
}

}  // namespace

Bitmap DecodeJpeg(std::span<const std::uint8_t> data, const JpegDecodeOptions& options) {
  Decoder d;
  const bool quantize = PrepareDecode(d, data, options, Orientation::Upright);
  const long long width = d.cinfo.output_width;
  const long long height = d.cinfo.output_height;

  Bitmap picture(static_cast<int>(width), static_cast<int>(height), Bitmap::Uninitialized{});
  std::uint8_t* bits = picture.MutableBits();
  const std::ptrdiff_t stride = picture.Stride();
  bool ok;
  if (quantize) {
    std::vector<JSAMPLE> indices(static_cast<std::size_t>(width));
    ok = DecodeQuantizedPhase(d, indices.data(), bits, stride);
  } else {
    std::vector<JSAMPROW> rows(static_cast<std::size_t>(height));
    for (long long y = 0; y < height; ++y) rows[y] = bits + y * stride;
    ok = DecodeRowsPhase(d, rows.data());
  }
  if (!ok) d.Fail();
  // A decoder that stopped early (impossible with an in-memory source) must not leave
  // undefined bytes behind.
  for (long long y = d.cinfo.output_scanline; y < height; ++y)
    std::memset(bits + y * stride, 0, static_cast<std::size_t>(3 * width));
  return picture;
}

Bitmap DecodeJpegInBands(std::span<const std::uint8_t> data, Orientation orientation, const JpegDecodeOptions& options) {
  Decoder d;
  // Only the upright size must fit the limits: the stored one may be beyond them.
  const bool quantize = PrepareDecode(d, data, options, orientation);
  const long long width = d.cinfo.output_width;
  const long long height = d.cinfo.output_height;
  const bool swaps = SwapsSides(orientation);
  Bitmap upright(static_cast<int>(swaps ? height : width), static_cast<int>(swaps ? width : height));
  if (!StartDecompressPhase(d)) d.Fail();

  // Where stored pixel (x, y) goes: target column = a + b * x + c * y, row = e + f * x + g * y.
  long long a = 0, b = 1, c = 0, e = 0, f = 0, g = 1;
  switch (orientation) {
    case Orientation::Upright: break;
    case Orientation::MirrorLeftRight: a = width - 1, b = -1; break;
    case Orientation::Turn180: a = width - 1, b = -1, e = height - 1, g = -1; break;
    case Orientation::MirrorTopBottom: e = height - 1, g = -1; break;
    case Orientation::Transpose: b = 0, c = 1, f = 1, g = 0; break;
    case Orientation::TurnClockwise: a = height - 1, b = 0, c = -1, f = 1, g = 0; break;
    case Orientation::Transverse: a = height - 1, b = 0, c = -1, e = width - 1, f = -1, g = 0; break;
    case Orientation::TurnAnticlockwise: b = 0, c = 1, e = width - 1, f = -1, g = 0; break;
  }
  constexpr JDIMENSION kBand = 16;
  const std::size_t line_bytes = static_cast<std::size_t>(quantize ? width : 3 * width);
  std::vector<JSAMPLE> band(line_bytes * kBand);
  JSAMPROW lines[kBand];
  for (JDIMENSION i = 0; i < kBand; ++i) lines[i] = band.data() + i * line_bytes;
  std::uint8_t* bits = upright.MutableBits();
  const std::ptrdiff_t stride = upright.Stride();
  while (d.cinfo.output_scanline < height) {
    const long long first = d.cinfo.output_scanline;
    JDIMENSION read = 0;
    if (!ReadLinesPhase(d, lines, static_cast<JDIMENSION>(std::min<long long>(kBand, height - first)), read)) d.Fail();
    if (read == 0) break;  // rows never delivered stay white
    for (JDIMENSION i = 0; i < read; ++i) {
      const long long y = first + i;
      const JSAMPLE* in = lines[i];
      for (long long x = 0; x < width; ++x) {
        std::uint8_t* out = bits + (e + f * x + g * y) * stride + 3 * (a + b * x + c * y);
        if (quantize) {
          const int index = in[x];
          const bool colour = d.cinfo.out_color_components == 3;
          out[0] = d.cinfo.colormap[colour ? 2 : 0][index];
          out[1] = d.cinfo.colormap[colour ? 1 : 0][index];
          out[2] = d.cinfo.colormap[0][index];
        } else {
          std::memcpy(out, in + 3 * x, 3);
        }
      }
    }
  }
  if (d.cinfo.output_scanline >= height && !FinishPhase(d)) d.Fail();
  return upright;
}

std::vector<std::string> ReadJpegComments(std::span<const std::uint8_t> data, std::size_t max_bytes) {
  // libjpeg's marker saver would keep every comment of a hostile file in memory, with no
  // bound on their total; the segments are walked here and only the comments' first
  // max_bytes are kept. Everything else is left to libjpeg, which checks the header as a
  // decode would.
  ReadJpegHeader(data);
  std::vector<std::string> comments;
  std::size_t kept = 0;
  ForEachJpegSegment(data, [&](std::uint8_t marker, std::span<const std::uint8_t> payload) {
    if (marker == 0xFE && kept < max_bytes) {
      const std::size_t take = std::min(payload.size(), max_bytes - kept);
      comments.emplace_back(reinterpret_cast<const char*>(payload.data()), take);
      kept += take;
    }
    return kept < max_bytes;
  });
  return comments;
}

std::vector<std::uint8_t> EncodeJpeg(const Bitmap& picture, int quality, std::string_view comment,
                                     std::span<const JpegSegment> segments) {
  if (picture.Empty())
    throw Error(messages::kNothingToSave);
  Encoder e;
  if (!EncodePhase(e, picture, quality, comment, segments)) e.Fail();
  return std::vector<std::uint8_t>(e.buffer, e.buffer + e.size);
}

// ---------------------------------------------------------------- the picture object

void JpegImage::LoadFromFile(const std::string& path) { LoadFromBytes(ReadWholeFile(path)); }

void JpegImage::LoadFromBytes(std::vector<std::uint8_t> bytes) {
  const JpegHeader header = ReadJpegHeader(bytes);  // errors leave the object as it was
  bytes_ = std::move(bytes);
  header_ = header;
  picture_.reset();
}

int JpegImage::Width() const noexcept { return picture_ ? picture_->Width() : header_.width; }
int JpegImage::Height() const noexcept { return picture_ ? picture_->Height() : header_.height; }

const Bitmap& JpegImage::Picture(int screen_bits_per_pixel) {
  if (bytes_.empty()) {
    if (!picture_) picture_.emplace();
    return *picture_;
  }
  const bool quantize = screen_bits_per_pixel <= 8 || header_.grayscale;
  if (!picture_ || picture_quantized_ != quantize) {
    JpegDecodeOptions options;
    options.quantize = quantize;
    picture_ = DecodeJpeg(bytes_, options);
    picture_quantized_ = quantize;
  }
  return *picture_;
}

void CheckJpegQuality(int quality) {
  if (quality < 1 || quality > 100)
    throw Error("JPEG の品質は 1 から 100 までです（" + std::to_string(quality) + "）");
}

void JpegImage::SetCompressionQuality(int quality) {
  CheckJpegQuality(quality);
  quality_ = quality;
}

void JpegImage::Assign(const Bitmap& picture) {
  picture_ = picture;
  picture_quantized_ = false;
  bytes_.clear();
  header_ = JpegHeader{};
}

std::vector<std::uint8_t> JpegImage::Encode() const {
  if (!bytes_.empty()) return bytes_;
  return EncodeJpeg(picture_ ? *picture_ : Bitmap{}, quality_, comment_);
}

void JpegImage::SaveToFile(const std::string& path) const { WriteFileReplacing(path, Encode()); }

}  // namespace zumo

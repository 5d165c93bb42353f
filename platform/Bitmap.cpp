#include "platform/Bitmap.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "platform/BmpReader.h"
#include "platform/PixelMemory.h"

namespace zumo {
namespace {

int NonNegative(int v) { return v < 0 ? 0 : v; }

}  // namespace

void Bitmap::CheckSize(long long width, long long height) {
  if (width > kMaxWidth || height > kMaxHeight) {
    throw Error(messages::TooLarge(width, height) + "。扱える大きさは幅 " + std::to_string(kMaxWidth) +
                " ピクセル、高さ " + std::to_string(kMaxHeight) + " ピクセルまでです");
  }
}

Bitmap::Bitmap(int width, int height) : Bitmap(width, height, Uninitialized{}) {
  if (pixels_) std::memset(pixels_.get(), 255, static_cast<std::size_t>(stride_) * height_);
}

Bitmap::Bitmap(int width, int height, Uninitialized) {
  width = NonNegative(width);
  height = NonNegative(height);
  CheckSize(width, height);
  width_ = width;
  height_ = height;
  stride_ = StrideFor(width);
  pixels_ = AllocatePixels(static_cast<std::size_t>(stride_) * height_);
  // Zero the row padding so that nothing undefined ever reaches a file or a comparison.
  const std::size_t row_bytes = 3 * static_cast<std::size_t>(width_);
  if (static_cast<std::size_t>(stride_) > row_bytes) {
    for (int y = 0; y < height_; ++y)
      std::memset(pixels_.get() + y * stride_ + row_bytes, 0, static_cast<std::size_t>(stride_) - row_bytes);
  }
}

Bitmap::Bitmap(const Bitmap& other)
    : width_(other.width_), height_(other.height_), stride_(other.stride_), pixels_(other.pixels_) {}

Bitmap& Bitmap::operator=(const Bitmap& other) {
  if (this != &other) {
    width_ = other.width_;
    height_ = other.height_;
    stride_ = other.stride_;
    pixels_ = other.pixels_;
  }
  return *this;
}

Bitmap::Bitmap(Bitmap&& other) noexcept
    : width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)),
      stride_(std::exchange(other.stride_, 0)),
      pixels_(std::move(other.pixels_)) {}

Bitmap& Bitmap::operator=(Bitmap&& other) noexcept {
  if (this != &other) {
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
    stride_ = std::exchange(other.stride_, 0);
    pixels_ = std::move(other.pixels_);
  }
  return *this;
}

Bitmap::~Bitmap() = default;

void Bitmap::Assign(const Bitmap& source) {
  *this = source;
  Changed();
}

std::unique_ptr<Bitmap> Bitmap::NewInstance() const { return std::make_unique<Bitmap>(); }

void Bitmap::LoadFromFile(const std::string& path) {
  *this = ReadBmpFile(path);
  Changed();
}

void Bitmap::SetWidth(int width) { SetSize(width, height_); }
void Bitmap::SetHeight(int height) { SetSize(width_, height); }

void Bitmap::SetSize(int width, int height) {
  width = NonNegative(width);
  height = NonNegative(height);
  if (width == width_ && height == height_) return;
  Resize(width, height);
  Changed();
}

void Bitmap::Resize(int width, int height) {
  CheckSize(width, height);
  Bitmap resized(width, height, Uninitialized{});
  if (resized.pixels_ == nullptr) {  // no pixels at all: a width or a height of 0
    *this = std::move(resized);
    return;
  }
  const int keep_rows = std::min(height, height_);
  const std::size_t keep_bytes = 3 * static_cast<std::size_t>(std::min(width, width_));
  const std::size_t row_bytes = 3 * static_cast<std::size_t>(width);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* dst = resized.pixels_.get() + y * resized.stride_;
    std::size_t kept = 0;
    if (y < keep_rows && keep_bytes > 0) {
      std::memcpy(dst, pixels_.get() + y * stride_, keep_bytes);
      kept = keep_bytes;
    }
    // New area is white; the padding bytes are zeroed so that files written from it are
    // deterministic.
    std::memset(dst + kept, 255, row_bytes - kept);
    std::memset(dst + row_bytes, 0, static_cast<std::size_t>(resized.stride_) - row_bytes);
  }
  width_ = width;
  height_ = height;
  stride_ = resized.stride_;
  pixels_ = std::move(resized.pixels_);
}

void Bitmap::Detach() {
  if (pixels_ && pixels_.use_count() > 1) {
    const std::size_t bytes = static_cast<std::size_t>(stride_) * height_;
    auto copy = AllocatePixels(bytes);
    std::memcpy(copy.get(), pixels_.get(), bytes);
    pixels_ = std::move(copy);
  }
}

std::uint8_t* Bitmap::ScanLine(int y) {
  if (y < 0 || y >= height_) throw Error(messages::kRowOutOfRange);
  Detach();
  return pixels_.get() + y * stride_;
}

const std::uint8_t* Bitmap::ScanLine(int y) const {
  if (y < 0 || y >= height_) throw Error(messages::kRowOutOfRange);
  return pixels_.get() + y * stride_;
}

std::uint8_t* Bitmap::MutableBits() {
  Detach();
  return pixels_.get();
}

Bitmap::ListenerId Bitmap::AddChangeListener(ChangeListener listener) {
  const ListenerId id = next_listener_id_++;
  listeners_.emplace_back(id, std::move(listener));
  return id;
}

void Bitmap::RemoveChangeListener(ListenerId id) {
  std::erase_if(listeners_, [id](const auto& entry) { return entry.first == id; });
}

void Bitmap::Changed() {
  // A listener may remove itself while being called: iterate over a snapshot.
  const auto snapshot = listeners_;
  for (const auto& [id, listener] : snapshot) listener();
}

bool SamePixels(const Bitmap& a, const Bitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  const std::size_t row_bytes = 3 * static_cast<std::size_t>(a.Width());
  for (int y = 0; y < a.Height(); ++y) {
    if (std::memcmp(a.ScanLine(y), b.ScanLine(y), row_bytes) != 0) return false;
  }
  return true;
}

}  // namespace zumo

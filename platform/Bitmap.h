#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Error.h"

namespace zumo {

// A 24-bit picture: three bytes per pixel in the order blue, green, red; rows top to
// bottom, each padded to a multiple of four bytes so that a row can be handed to a
// BMP file or a QImage as it is.
//
// Copies share their pixels until one of them writes (copy on write): whole-picture
// copies between picture stores are then free until someone changes a pixel. Any
// non-const access to the pixels detaches first, so copies always behave as
// independent pictures.
class Bitmap {
 public:
  static constexpr int kMaxWidth = 10922;   // 3 * W - 1 must fit in a signed 16-bit counter
  static constexpr int kMaxHeight = 32767;  // rows are counted in a signed 16-bit counter

  struct Uninitialized {};  // tag: allocate without whitening (the caller writes every row)

  using ChangeListener = std::function<void()>;
  using ListenerId = std::size_t;

  Bitmap() = default;
  Bitmap(int width, int height);                    // white
  Bitmap(int width, int height, Uninitialized);     // contents unspecified
  Bitmap(const Bitmap& other);                      // shares pixels; listeners are not copied
  // The value copy, as the engine passes pictures around; Assign is the copy into a picture
  // its listeners (a picture control) watch.
  Bitmap& operator=(const Bitmap& other);
  Bitmap(Bitmap&& other) noexcept;
  Bitmap& operator=(Bitmap&& other) noexcept;
  virtual ~Bitmap();

  // Copy from another picture: takes its size and content, then notifies the listeners.
  virtual void Assign(const Bitmap& source);
  // The virtual constructor: a new, empty bitmap of the same class.
  virtual std::unique_ptr<Bitmap> NewInstance() const;
  // Loads a BMP file (any supported variant, converted to 24 bits), then notifies.
  virtual void LoadFromFile(const std::string& path);

  int Width() const noexcept { return width_; }
  int Height() const noexcept { return height_; }
  bool Empty() const noexcept { return width_ == 0 || height_ == 0; }
  // Bytes from the start of one row to the start of the next: 3 * W rounded up to 4.
  std::ptrdiff_t Stride() const noexcept { return stride_; }
  static std::ptrdiff_t StrideFor(int width) noexcept { return (3 * std::ptrdiff_t{width} + 3) & ~std::ptrdiff_t{3}; }

  // Resizing keeps the pixels that still fit (anchored top-left) and whitens new area.
  // Negative sizes count as 0; sizes above the limits raise an Error. Notifies when
  // the size changes.
  void SetWidth(int width);
  void SetHeight(int height);
  void SetSize(int width, int height);

  // Row y (0 = top). Out of range raises Error(messages::kRowOutOfRange).
  std::uint8_t* ScanLine(int y);
  const std::uint8_t* ScanLine(int y) const;
  // All rows at once, Stride() apart; nullptr when the bitmap holds no pixels.
  std::uint8_t* MutableBits();
  const std::uint8_t* Bits() const noexcept { return pixels_.get(); }

  ListenerId AddChangeListener(ChangeListener listener);
  void RemoveChangeListener(ListenerId id);
  void Changed();  // notifies every listener

  // Set by the blend (Overlay) on its target, as the bitmap's users expect of it.
  bool Modified() const noexcept { return modified_; }
  void SetModified(bool modified) noexcept { modified_ = modified; }

  // True when the two bitmaps currently share one pixel buffer (copy on write).
  bool SharesPixelsWith(const Bitmap& other) const noexcept {
    return pixels_ != nullptr && pixels_ == other.pixels_;
  }

  // Raises Error with the limits when width x height is beyond them; used by the readers
  // before they allocate anything.
  static void CheckSize(long long width, long long height);

 private:
  void Resize(int width, int height);
  void Detach();

  int width_ = 0;
  int height_ = 0;
  std::ptrdiff_t stride_ = 0;
  std::shared_ptr<std::uint8_t[]> pixels_;
  bool modified_ = false;
  std::vector<std::pair<ListenerId, ChangeListener>> listeners_;
  ListenerId next_listener_id_ = 1;
};

// Pixel-wise equality of two pictures (size and the 3 * W bytes of every row).
bool SamePixels(const Bitmap& a, const Bitmap& b);

}  // namespace zumo

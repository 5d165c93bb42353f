#pragma once

// The window's undo history, without Qt: a snapshot of everything a later action depends
// on, and the list of steps with its memory bound.
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>

#include "Lib/common/SizeStep.h"
#include "Lib/recipe/Recipe.h"
#include "photofiles/PhotoMetadata.h"
#include "platform/Bitmap.h"

namespace zumo::app {

// How the pictures of Image1 (the shown picture) and Image2 (the base) were made from the
// loaded photo. Every handler passes them on exactly as it passes those pictures.
struct StoreRecipes {
  Recipe shown;
  Recipe base;
  bool from_photo = false;  // false until a photo is loaded: the pictures have no recipe
  friend bool operator==(const StoreRecipes&, const StoreRecipes&) = default;
};

// The window's state between two actions, as one value: what every handler reads and
// writes, what undo keeps and puts back. The picture stores, the recipes, the metadata and
// the compare picture live here; WorkBitmap and ActiveGroup, whose names the window's
// handlers share, are copied in when a state is taken. The bitmaps share their pixels
// (copy on write), so a copy of the state copies no pixel.
struct WindowState {
  // The picture stores: Image1 (the shown picture), Image2 (the base of the slider groups),
  // Image3 (the loaded photo as framed: what the size choices, the techniques and the
  // recipes start from) and Image11 (the filter's and techniques' scratch). No value: the
  // store still holds its stored start picture (not yet read as a bitmap).
  std::optional<Bitmap> shown, base, loaded, scratch;
  // The photo as read (upright, sRGB), before its framing, so that a crop can be widened
  // again; empty before a load.
  Bitmap photo;
  // How the shown picture and the base were made from the photo; both carry the framing.
  StoreRecipes recipes;
  // The loaded photo's metadata, which saved files carry on; null before a photo is loaded.
  std::shared_ptr<const PhotoMetadata> metadata;
  Bitmap work;  // WorkBitmap
  std::array<int, 7> sliders{};  // TrackBar1..TrackBar7
  std::int32_t active_group = 0;
  SizePreset size = SizePreset::AsLoaded;
  // The picture the last load, size choice or applied recipe started from (what
  // hold-to-compare shows). Not compared: it changes only together with the stores.
  std::optional<Bitmap> compare_picture;
};

// The four stores of a state, in the order Image1, Image2, Image3, Image11.
using StoreField = std::optional<Bitmap> WindowState::*;
inline constexpr StoreField kStoreFields[] = {&WindowState::shown, &WindowState::base, &WindowState::loaded,
                                              &WindowState::scratch};

// Whether an action changed anything a later action depends on. Bitmaps that share one
// buffer are equal without a look at their pixels.
bool SameState(const WindowState& a, const WindowState& b);

// The steps that can be undone and redone. A step keeps the states before and after it;
// states next to each other share their buffers, which are counted once.
class UndoHistory {
 public:
  static constexpr std::size_t kDefaultMaxBytes = std::size_t{1} << 30;  // 1 GiB
  static constexpr std::size_t kDefaultMaxSteps = 50;

  UndoHistory() = default;
  UndoHistory(std::size_t max_bytes, std::size_t max_steps) : max_bytes_(max_bytes), max_steps_(max_steps) {}

  // Records a step: drops the steps that could have been redone, then the oldest steps
  // while the pixel memory only the history holds (buffers `after`, the current state,
  // does not use) is above the bound or there are more steps than allowed.
  void Push(WindowState before, WindowState after);

  bool CanUndo() const noexcept { return done_ > 0; }
  bool CanRedo() const noexcept { return done_ < steps_.size(); }
  // The state to put back; moves over the step. Only when CanUndo() / CanRedo().
  const WindowState& Undo();
  const WindowState& Redo();

  std::size_t Steps() const noexcept { return steps_.size(); }
  std::size_t UndoableSteps() const noexcept { return done_; }
  // Bytes of the pixel buffers the history holds that `current` does not use.
  std::size_t HeldBytes(const WindowState& current) const;

  void SetLimits(std::size_t max_bytes, std::size_t max_steps);
  std::size_t MaxBytes() const noexcept { return max_bytes_; }
  std::size_t MaxSteps() const noexcept { return max_steps_; }

 private:
  struct Entry {
    WindowState before, after;
  };
  void Trim(const WindowState& current);

  std::deque<Entry> steps_;
  std::size_t done_ = 0;  // steps_[0, done_) are done, the rest can be redone
  std::size_t max_bytes_ = kDefaultMaxBytes;
  std::size_t max_steps_ = kDefaultMaxSteps;
};

}  // namespace zumo::app

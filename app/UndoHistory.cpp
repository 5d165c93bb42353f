#include "UndoHistory.h"

#include <unordered_set>
#include <utility>

namespace zumo::app {
namespace {

bool SameBitmap(const Bitmap& a, const Bitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  if (a.Bits() == b.Bits()) return true;  // one buffer (or both empty)
  return SamePixels(a, b);
}

bool SameStore(const std::optional<Bitmap>& a, const std::optional<Bitmap>& b) {
  if (a.has_value() != b.has_value()) return false;
  return !a || SameBitmap(*a, *b);
}

// Calls `visit` with every bitmap a state holds.
template <class Visit>
void ForEachBitmap(const WindowState& state, Visit&& visit) {
  for (const StoreField store : kStoreFields)
    if (state.*store) visit(*(state.*store));
  visit(state.work);
  visit(state.photo);
  if (state.compare_picture) visit(*state.compare_picture);
}

std::size_t BufferBytes(const Bitmap& bitmap) {
  return static_cast<std::size_t>(bitmap.Stride()) * static_cast<std::size_t>(bitmap.Height());
}

}  // namespace

bool SameState(const WindowState& a, const WindowState& b) {
  if (a.active_group != b.active_group || a.sliders != b.sliders || a.size != b.size || a.recipes != b.recipes ||
      a.metadata != b.metadata)
    return false;
  for (const StoreField store : kStoreFields)
    if (!SameStore(a.*store, b.*store)) return false;
  return SameBitmap(a.work, b.work) && SameBitmap(a.photo, b.photo);
}

void UndoHistory::Push(WindowState before, WindowState after) {
  steps_.erase(steps_.begin() + static_cast<std::ptrdiff_t>(done_), steps_.end());
  steps_.push_back({std::move(before), std::move(after)});
  done_ = steps_.size();
  const WindowState current = steps_.back().after;  // Trim may drop the step itself
  Trim(current);
}

const WindowState& UndoHistory::Undo() { return steps_[--done_].before; }
const WindowState& UndoHistory::Redo() { return steps_[done_++].after; }

std::size_t UndoHistory::HeldBytes(const WindowState& current) const {
  std::unordered_set<const std::uint8_t*> seen;
  ForEachBitmap(current, [&seen](const Bitmap& bitmap) { seen.insert(bitmap.Bits()); });
  std::size_t bytes = 0;
  for (const Entry& step : steps_) {
    for (const WindowState* state : {&step.before, &step.after})
      ForEachBitmap(*state, [&](const Bitmap& bitmap) {
        if (bitmap.Bits() != nullptr && seen.insert(bitmap.Bits()).second) bytes += BufferBytes(bitmap);
      });
  }
  return bytes;
}

void UndoHistory::SetLimits(std::size_t max_bytes, std::size_t max_steps) {
  max_bytes_ = max_bytes;
  max_steps_ = max_steps;
}

void UndoHistory::Trim(const WindowState& current) {
  // Called right after a push, when every step is done: the oldest steps go first.
  while (!steps_.empty() && (steps_.size() > max_steps_ || HeldBytes(current) > max_bytes_)) {
    steps_.pop_front();
    --done_;
  }
}

}  // namespace zumo::app

#pragma once

// libheif's objects, each owned by a std::unique_ptr that frees it with libheif's own
// function: HeifOwned<heif_context, heif_context_free> and so on. For the HEIF reader and the
// AVIF writer.
#include <memory>

#include <libheif/heif.h>

namespace zumo {

template <auto Free>
struct HeifFree {
  template <class T>
  void operator()(T* p) const noexcept {
    Free(p);
  }
};

template <class T, auto Free>
using HeifOwned = std::unique_ptr<T, HeifFree<Free>>;

}  // namespace zumo

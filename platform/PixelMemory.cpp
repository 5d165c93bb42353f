#include "platform/PixelMemory.h"

#include <mutex>
#include <new>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "platform/Error.h"

namespace zumo {
namespace {

// Buffers below this size are cheap to make afresh and are not kept.
constexpr std::size_t kKeepFrom = 1u << 20;
// At most this many buffers, and this many bytes in all, wait for reuse.
constexpr std::size_t kMaxKeptBuffers = 4;
constexpr std::size_t kMaxKeptBytes = std::size_t{512} << 20;

// Asking for huge pages before the first touch takes most of the page-fault cost away from
// a fresh photo-sized buffer. Only a hint: it changes nothing visible.
void PreferHugePages(std::uint8_t* data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::size_t kWorthIt = 8u << 20;
  if (bytes < kWorthIt) return;
  const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(data) + page - 1) & ~(page - 1);
  const std::uintptr_t end = reinterpret_cast<std::uintptr_t>(data) + bytes;
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

struct KeptBuffer {
  std::uint8_t* data;
  std::size_t bytes;
};

class BufferKeeper {
 public:
  ~BufferKeeper() { Clear(); }

  std::uint8_t* Take(std::size_t bytes) {
    std::lock_guard lock(mutex_);
    for (auto it = kept_.begin(); it != kept_.end(); ++it) {
      if (it->bytes == bytes) {
        std::uint8_t* data = it->data;
        kept_bytes_ -= bytes;
        kept_.erase(it);
        return data;
      }
    }
    return nullptr;
  }

  // Keeps the buffer if it is worth keeping, else frees it. The oldest kept buffers make
  // room for the newest.
  void Give(std::uint8_t* data, std::size_t bytes) {
    if (bytes < kKeepFrom || bytes > kMaxKeptBytes) {
      delete[] data;
      return;
    }
    std::vector<std::uint8_t*> to_free;
    {
      std::lock_guard lock(mutex_);
      while (!kept_.empty() && (kept_.size() >= kMaxKeptBuffers || kept_bytes_ + bytes > kMaxKeptBytes)) {
        to_free.push_back(kept_.front().data);
        kept_bytes_ -= kept_.front().bytes;
        kept_.erase(kept_.begin());
      }
      kept_.push_back({data, bytes});
      kept_bytes_ += bytes;
    }
    for (std::uint8_t* p : to_free) delete[] p;
  }

  void Clear() {
    std::vector<KeptBuffer> to_free;
    {
      std::lock_guard lock(mutex_);
      to_free.swap(kept_);
      kept_bytes_ = 0;
    }
    for (const KeptBuffer& buffer : to_free) delete[] buffer.data;
  }

  std::size_t Count() {
    std::lock_guard lock(mutex_);
    return kept_.size();
  }

 private:
  std::mutex mutex_;
  std::vector<KeptBuffer> kept_;
  std::size_t kept_bytes_ = 0;
};

// Never destroyed: bitmaps held by other static objects may be released after main returns.
BufferKeeper& Keeper() {
  static BufferKeeper* keeper = new BufferKeeper;
  return *keeper;
}

}  // namespace

std::shared_ptr<std::uint8_t[]> AllocatePixels(std::size_t bytes) {
  if (bytes == 0) return nullptr;
  std::uint8_t* data = Keeper().Take(bytes);
  if (data == nullptr) {
    data = new (std::nothrow) std::uint8_t[bytes];
    if (data == nullptr) {
      // Memory kept for reuse may be what stands in the way.
      Keeper().Clear();
      data = new (std::nothrow) std::uint8_t[bytes];
      if (data == nullptr) throw Error(messages::kOutOfMemory);
    }
    PreferHugePages(data, bytes);
  }
  try {
    return std::shared_ptr<std::uint8_t[]>(data, [bytes](std::uint8_t* p) { Keeper().Give(p, bytes); });
  } catch (const std::bad_alloc&) {
    // The shared pointer has already handed the buffer to its deleter.
    throw Error(messages::kOutOfMemory);
  }
}

void ReleaseKeptPixelBuffers() { Keeper().Clear(); }

std::size_t KeptPixelBufferCount() { return Keeper().Count(); }

}  // namespace zumo

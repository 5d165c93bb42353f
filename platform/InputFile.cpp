#include "platform/InputFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

#include "platform/Error.h"

namespace zumo {
namespace {

// Files larger than this are not photos we could hold anyway (the largest picture we accept
// is about 1 GB of pixels, and a JPEG of it is smaller than that).
constexpr std::uintmax_t kMaxFileBytes = 1536ull * 1024 * 1024;

// Why a file of this kind holds no photo, "" when the plain message says it all (a folder
// is a name that cannot be opened as a file); nullptr for a regular file.
const char* NotAPhotoReason(mode_t mode) {
  if (S_ISREG(mode)) return nullptr;
  if (S_ISDIR(mode)) return "";
  if (S_ISFIFO(mode)) return "FIFO（名前付きパイプ）です";
  if (S_ISSOCK(mode)) return "ソケットです";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "デバイスファイルです";
  return "通常のファイルではありません";
}

}  // namespace

InputFile OpenInputFile(const std::string& path) {
  const std::string cannot_open = messages::CannotOpen(path);
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer, and a
  // device could wait for anything; neither is read, so the flag never affects a read.
  InputFile file;
  file.descriptor = FileDescriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!file.descriptor.valid() || ::fstat(file.descriptor.get(), &file.info) != 0) throw Error(cannot_open);
  if (const char* reason = NotAPhotoReason(file.info.st_mode))
    throw Error(*reason ? cannot_open + "（" + reason + "）" : cannot_open);
  // A regular file reads the same either way; drop the flag so reads block as usual.
  const int flags = ::fcntl(file.descriptor.get(), F_GETFL);
  if (flags >= 0) ::fcntl(file.descriptor.get(), F_SETFL, flags & ~O_NONBLOCK);
  return file;
}

bool ReadExactlyAt(int fd, std::uint64_t offset, std::span<std::uint8_t> out) noexcept {
  std::uint8_t* at = out.data();
  std::uint64_t left = out.size();
  while (left > 0) {
    const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(left, 1u << 30));
    const ssize_t n = ::pread(fd, at, chunk, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += n;
    offset += static_cast<std::uint64_t>(n);
    left -= static_cast<std::uint64_t>(n);
  }
  return true;
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path, std::uintmax_t max_bytes) {
  const InputFile input = OpenInputFile(path);
  const auto size = static_cast<std::uintmax_t>(input.info.st_size);
  if (max_bytes == 0) max_bytes = kMaxFileBytes;
  if (size > max_bytes)
    throw Error("ファイル " + path + " は大きすぎます（" + std::to_string(std::max<std::uintmax_t>(1, max_bytes / (1024 * 1024))) +
                " MB まで）");
  std::vector<std::uint8_t> bytes;
  try {
    bytes.resize(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    throw Error(messages::kOutOfMemory);
  }
  if (!ReadExactlyAt(input.descriptor.get(), 0, bytes)) throw Error(messages::kReadError);
  return bytes;
}

}  // namespace zumo

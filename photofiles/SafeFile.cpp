#include "photofiles/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <random>
#include <vector>

#include "photofiles/FileMetadata.h"
#include "photofiles/SaveTarget.h"
#include "platform/Error.h"
#include "platform/FileDescriptor.h"
#include "platform/InputFile.h"

namespace zumo {
namespace {

using messages::CannotCreate;
using messages::kWriteError;

std::atomic<detail::SaveCheckpoint> save_checkpoint{nullptr};

void PassCheckpoint() {
  if (const detail::SaveCheckpoint checkpoint = save_checkpoint.load()) checkpoint();
}

// The permissions a newly created file would get: 0666 minus the process umask. The
// umask is read from /proc when possible, because setting it to learn it would briefly
// change it for every other thread.
mode_t DefaultFileMode() {
  if (FILE* status = std::fopen("/proc/self/status", "r")) {
    char line[256];
    unsigned mask = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status)) {
      found = std::sscanf(line, "Umask: %o", &mask) == 1;
    }
    std::fclose(status);
    if (found) return 0666 & ~static_cast<mode_t>(mask);
  }
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// Writes every byte at `offset` or reports failure; a short write (disk full, file size
// limit) is retried until the system reports the error itself.
bool WriteAllAt(int fd, std::span<const std::uint8_t> bytes, off_t offset) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// A name no other save picks: ".zumo-" and 12 random hexadecimal digits.
std::string TemporaryName() {
  thread_local std::mt19937_64 random{std::random_device{}()};
  char name[32];
  std::snprintf(name, sizeof name, ".zumo-%012llx",
                static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
  return name;
}

// The folder the target lives in, open for lookups (and for fsync where it may be read).
FileDescriptor OpenFolder(const SaveTarget& target) {
  FileDescriptor folder(::open(target.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder.valid()) folder = FileDescriptor(::open(target.folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  return folder;
}

// The new content's file beside the target until it takes the target's name. Anonymous
// (O_TMPFILE) where the file system allows, so that a program killed before the end leaves
// nothing behind; a named hidden file otherwise, removed again on every failure.
class NewFile {
 public:
  // An empty result: the folder takes no new file (no rights, read-only file system).
  static std::optional<NewFile> Create(int folder) {
    NewFile file;
    file.folder_ = folder;
    // With O_TMPFILE the mode passes through the umask and the folder's default ACL
    // exactly as for any new file. Naming it later goes through /proc/self/fd (linkat's
    // AT_EMPTY_PATH needs a privilege), so without /proc only a named file will do.
    if (::access("/proc/self/fd", X_OK) == 0) {
      file.fd_ = FileDescriptor(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
      if (file.fd_.valid()) return file;
      if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT) return std::nullopt;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string name = TemporaryName();
      file.fd_ = FileDescriptor(::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
      if (file.fd_.valid()) {
        file.name_ = name;
        if (::fchmod(file.fd_.get(), DefaultFileMode()) != 0) return std::nullopt;
        return file;
      }
      if (errno != EEXIST) return std::nullopt;
    }
    return std::nullopt;
  }

  NewFile(NewFile&& other) noexcept
      : fd_(std::move(other.fd_)), folder_(other.folder_), name_(std::exchange(other.name_, {})) {}
  NewFile& operator=(NewFile&&) = delete;
  ~NewFile() { Discard(); }

  int fd() const { return fd_.get(); }

  // Closes and forgets the file; a named one is removed.
  void Discard() {
    fd_.Close();
    if (!name_.empty()) ::unlinkat(folder_, std::exchange(name_, {}).c_str(), 0);
  }

  // Makes the complete file the target `name`, replacing what was there in one step.
  bool Publish(const std::string& name, bool replacing) {
    if (name_.empty()) {
      // Give the anonymous file a name: the target's own when nothing is in the way, a
      // hidden one to rename over the old file otherwise.
      const std::string proc = "/proc/self/fd/" + std::to_string(fd_.get());
      if (!replacing && ::linkat(AT_FDCWD, proc.c_str(), folder_, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return fd_.Close();
      for (int attempt = 0; name_.empty(); ++attempt) {
        const std::string hidden = TemporaryName();
        if (::linkat(AT_FDCWD, proc.c_str(), folder_, hidden.c_str(), AT_SYMLINK_FOLLOW) == 0) {
          name_ = hidden;
        } else if (errno != EEXIST || attempt == 100) {
          return false;
        }
      }
    }
    if (!fd_.Close()) return false;
    if (::renameat(folder_, name_.c_str(), folder_, name.c_str()) != 0) return false;
    name_.clear();
    return true;
  }

 private:
  NewFile() = default;

  FileDescriptor fd_;
  int folder_ = -1;
  std::string name_;  // empty while anonymous, and once published
};

// What the file holds now, to put back if an in-place rewrite fails part-way; nothing when
// it cannot be read.
std::optional<std::vector<std::uint8_t>> ReadForRollback(const std::string& file, off_t size) {
  FileDescriptor in(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!in.valid()) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  try {
    bytes.resize(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  if (!ReadExactlyAt(in.get(), 0, bytes)) return std::nullopt;
  return bytes;
}

// Claims the disk space for `bytes` in the open file of `old_size` bytes without changing
// what it reads; on failure the file is as it was.
bool ReserveSpace(int fd, off_t old_size, std::span<const std::uint8_t> bytes) {
  const auto size = static_cast<off_t>(bytes.size());
  if (size == 0) return true;
  if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) == 0) return true;
  if (errno != EOPNOTSUPP && errno != ENOSYS) {
    ::ftruncate(fd, old_size);  // gives back blocks reserved past the end before the failure
    return false;
  }
  // No reservation on this file system: the blocks of the old length exist already, so
  // claim the rest by appending the new tail first.
  if (size <= old_size || WriteAllAt(fd, bytes.subspan(static_cast<std::size_t>(old_size)), old_size)) return true;
  ::ftruncate(fd, old_size);
  return false;
}

void RewriteInPlace(const SaveTarget& target, const std::string& path, std::span<const std::uint8_t> bytes) {
  FileDescriptor file(::open(target.file.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  struct stat info {};
  if (!file.valid() || ::fstat(file.get(), &info) != 0) throw Error(CannotCreate(path));
  if (!S_ISREG(info.st_mode)) throw Error(CannotCreate(path) + "（通常のファイルではありません）");
  const auto rollback = ReadForRollback(target.file, info.st_size);
  if (!ReserveSpace(file.get(), info.st_size, bytes)) throw Error(kWriteError);
  PassCheckpoint();
  const auto size = static_cast<off_t>(bytes.size());
  if (WriteAllAt(file.get(), bytes, 0) && ::ftruncate(file.get(), size) == 0 && ::fsync(file.get()) == 0 &&
      file.Close())
    return;
  if (file.valid() && rollback) {
    WriteAllAt(file.get(), *rollback, 0);
    ::ftruncate(file.get(), info.st_size);
    ::fsync(file.get());
  }
  throw Error(kWriteError);
}

}  // namespace

namespace detail {
void SetSaveCheckpointForTesting(SaveCheckpoint checkpoint) { save_checkpoint.store(checkpoint); }
}  // namespace detail

void WriteFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes) {
  const SaveTarget target = ResolveSaveTarget(path);
  // A file the user may not write stays as it is, even where its folder would allow
  // replacing it.
  if (target.exists && ::access(target.file.c_str(), W_OK) != 0) throw Error(CannotCreate(path));
  // Replacing a file with other names would split it from them.
  if (target.exists && target.info.st_nlink > 1) return RewriteInPlace(target, path, bytes);

  const FileDescriptor folder = OpenFolder(target);
  if (!folder.valid()) throw Error(CannotCreate(path));
  std::optional<NewFile> fresh = NewFile::Create(folder.get());
  if (!fresh) {
    if (target.exists) return RewriteInPlace(target, path, bytes);
    throw Error(CannotCreate(path));
  }
  if (target.exists && !CopyFileMetadata(target.file, target.info, fresh->fd())) {
    // A new file would change hands; the old one keeps its owner when rewritten in place.
    fresh->Discard();
    return RewriteInPlace(target, path, bytes);
  }
  if (!WriteAllAt(fresh->fd(), bytes, 0) || ::fsync(fresh->fd()) != 0) throw Error(kWriteError);
  PassCheckpoint();
  if (!fresh->Publish(target.name, target.exists)) throw Error(kWriteError);
  // Makes the new name durable; failure here does not undo a completed replacement.
  ::fsync(folder.get());
}

}  // namespace zumo

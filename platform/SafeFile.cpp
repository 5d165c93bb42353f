#include "platform/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/Error.h"

namespace zumo {
namespace {

constexpr const char* kWriteError = "ストリームへの書き込みエラー";

std::string CannotCreateMessage(const std::string& path) {
  return "ファイル " + path + " を作成できません";
}

// The folder part of `path` including the trailing slash ("" for a bare file name).
std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
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

// Makes the rename itself durable; failure here does not undo a completed replacement.
void SyncFolderQuietly(const std::string& path) {
  const std::string folder = FolderOf(path);
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Owns the temporary file until it has been renamed into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& target) {
    std::string name = FolderOf(target) + ".zumo-XXXXXX";
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    fd_ = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (fd_ < 0) throw Error(CannotCreateMessage(target));
    name_.assign(buffer.data());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    CloseQuietly();
    if (!name_.empty()) ::unlink(name_.c_str());
  }

  int fd() const { return fd_; }
  const std::string& name() const { return name_; }

  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }
  // After a successful rename there is nothing left to remove.
  void Release() { name_.clear(); }

 private:
  void CloseQuietly() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  int fd_ = -1;
  std::string name_;
};

// Writes every byte or reports failure; a short write (disk full, file size limit) is
// retried until the system reports the error itself.
bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

void WriteFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes) {
  if (path.empty()) throw Error(CannotCreateMessage(path));
  // Resolve the permissions before writing so a failure here changes nothing.
  mode_t mode = DefaultFileMode();
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0) {
    // A folder is never replaced, and a file the user may not write stays as it is even
    // though its folder would allow replacing it.
    if (S_ISDIR(existing.st_mode) || ::access(path.c_str(), W_OK) != 0) throw Error(CannotCreateMessage(path));
    mode = existing.st_mode & 07777;
  }

  TemporaryFile temporary(path);
  if (::fchmod(temporary.fd(), mode) != 0) throw Error(kWriteError);
  if (!WriteAll(temporary.fd(), bytes)) throw Error(kWriteError);
  if (::fsync(temporary.fd()) != 0) throw Error(kWriteError);
  if (!temporary.Close()) throw Error(kWriteError);
  if (::rename(temporary.name().c_str(), path.c_str()) != 0) throw Error(kWriteError);
  temporary.Release();
  SyncFolderQuietly(path);
}

}  // namespace zumo

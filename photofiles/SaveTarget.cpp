#include "photofiles/SaveTarget.h"

#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <vector>

#include "platform/Error.h"
#include "platform/Utf8.h"

namespace zumo {
namespace {

// Links followed before giving up, as the kernel does for a path (its MAXSYMLINKS).
constexpr int kMaxLinks = 40;

using messages::CannotCreate;

std::string CannotCreate(const std::string& path, const char* reason) {
  return CannotCreate(path) + "（" + reason + "）";
}

// The path with every byte that is not printable ASCII or part of valid UTF-8 shown as
// \xNN, so the message itself stays valid text.
std::string Printable(std::string_view path) {
  std::string shown;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const auto byte = static_cast<unsigned char>(path[i]);
    if (byte >= 0x20 && byte < 0x7F) {
      shown += static_cast<char>(byte);
      continue;
    }
    std::size_t length = (byte & 0xE0) == 0xC0 ? 2 : (byte & 0xF0) == 0xE0 ? 3 : (byte & 0xF8) == 0xF0 ? 4 : 0;
    if (length != 0 && i + length <= path.size() && IsValidUtf8(path.substr(i, length))) {
      shown.append(path.substr(i, length));
      i += length - 1;
      continue;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    shown += "\\x";
    shown += kHex[byte >> 4];
    shown += kHex[byte & 15];
  }
  return shown;
}

bool HasOverlongComponent(std::string_view path) {
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (end - start > NAME_MAX) return true;
    start = end + 1;
  }
  return false;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Where the link at `link` points: a relative target is relative to the link's folder.
std::string LinkDestination(const std::string& link, const std::string& target) {
  if (!target.empty() && target.front() == '/') return target;
  const auto slash = link.find_last_of('/');
  return slash == std::string::npos ? target : link.substr(0, slash + 1) + target;
}

bool ReadLink(const std::string& link, std::string& target) {
  std::vector<char> buffer(PATH_MAX);
  const ssize_t n = ::readlink(link.c_str(), buffer.data(), buffer.size());
  if (n < 0 || static_cast<std::size_t>(n) >= buffer.size()) return false;
  target.assign(buffer.data(), static_cast<std::size_t>(n));
  return true;
}

}  // namespace

SaveTarget ResolveSaveTarget(const std::string& path) {
  if (path.empty()) throw Error(CannotCreate(path));
  if (!IsValidUtf8(path)) throw Error(CannotCreate(Printable(path), "名前が UTF-8 の文字として読めません"));
  if (path.size() >= PATH_MAX || HasOverlongComponent(path)) throw Error(CannotCreate(path, "名前が長すぎます"));
  if (path.back() == '/') throw Error(CannotCreate(path, "フォルダです"));

  SaveTarget target;
  target.file = path;
  for (int links = 0;; ++links) {
    if (::lstat(target.file.c_str(), &target.info) != 0) {
      // Nothing there: the file to create, provided its folder exists (checked below).
      if (errno == ENAMETOOLONG) throw Error(CannotCreate(path, "名前が長すぎます"));
      target.exists = false;
      break;
    }
    if (!S_ISLNK(target.info.st_mode)) {
      target.exists = true;
      break;
    }
    std::string destination;
    if (links == kMaxLinks || !ReadLink(target.file, destination))
      throw Error(CannotCreate(path, "シンボリックリンクをたどれません"));
    target.file = LinkDestination(target.file, destination);
    if (target.file.size() >= PATH_MAX || HasOverlongComponent(target.file))
      throw Error(CannotCreate(path, "名前が長すぎます"));
  }
  if (target.exists && S_ISDIR(target.info.st_mode)) throw Error(CannotCreate(path, "フォルダです"));
  if (target.exists && !S_ISREG(target.info.st_mode))
    throw Error(CannotCreate(path, "通常のファイルではありません"));

  target.folder = FolderOf(target.file);
  target.name = NameOf(target.file);
  struct stat folder {};
  if (::stat(target.folder.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode)) throw Error(CannotCreate(path));
  return target;
}

}  // namespace zumo

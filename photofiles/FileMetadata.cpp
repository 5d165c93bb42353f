#include "photofiles/FileMetadata.h"

#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace zumo {
namespace {

// Reads a list or a value whose size the system reports on a first call with no buffer;
// the size can change between the calls, so it is asked again when the second fails.
template <class Call>
bool ReadSized(Call call, std::vector<char>& out) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    const ssize_t size = call(nullptr, 0);
    if (size < 0) return false;
    out.resize(static_cast<std::size_t>(size));
    if (size == 0) return true;
    const ssize_t got = call(out.data(), out.size());
    if (got >= 0) {
      out.resize(static_cast<std::size_t>(got));
      return true;
    }
    if (errno != ERANGE) return false;
  }
  return false;
}

void CopyExtendedAttributes(const std::string& from, int to) {
  std::vector<char> names;
  if (!ReadSized([&](char* buffer, std::size_t size) { return ::llistxattr(from.c_str(), buffer, size); }, names))
    return;
  std::vector<char> value;
  for (std::size_t at = 0; at < names.size();) {
    const char* name = names.data() + at;
    std::size_t length = 0;
    while (at + length < names.size() && names[at + length] != '\0') ++length;
    at += length + 1;
    if (length == 0) continue;
    if (!ReadSized([&](char* buffer, std::size_t size) { return ::lgetxattr(from.c_str(), name, buffer, size); },
                   value))
      continue;
    // A namespace this process may not write (trusted.*, some security.*) is skipped.
    ::fsetxattr(to, name, value.data(), value.size(), 0);
  }
}

}  // namespace

bool CopyFileMetadata(const std::string& from, const struct stat& from_info, int to) {
  // Owner before mode: a change of owner clears the set-user-ID and set-group-ID bits.
  bool owner_kept = ::fchown(to, from_info.st_uid, from_info.st_gid) == 0;
  if (!owner_kept) ::fchown(to, static_cast<uid_t>(-1), from_info.st_gid);
  ::fchmod(to, from_info.st_mode & 07777);
  // The access control list travels as the attribute system.posix_acl_access, after the
  // mode because setting the mode rewrites the list's mask.
  CopyExtendedAttributes(from, to);
  struct stat now {};
  if (!owner_kept && ::fstat(to, &now) == 0) owner_kept = now.st_uid == from_info.st_uid && now.st_gid == from_info.st_gid;
  return owner_kept;
}

}  // namespace zumo

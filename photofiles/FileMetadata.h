#pragma once

#include <sys/stat.h>

#include <string>

namespace zumo {

// Gives the open file `to` what the file `from` (described by `from_info`) carries besides
// its bytes: owner and group as far as this process may set them, the permission bits,
// and the extended attributes, among them the access control list. What the system
// refuses is left as it is; returns whether owner and group both came across.
bool CopyFileMetadata(const std::string& from, const struct stat& from_info, int to);

}  // namespace zumo

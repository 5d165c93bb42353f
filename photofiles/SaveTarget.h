#pragma once

#include <sys/stat.h>

#include <string>

namespace zumo {

// The file a save really writes: `path` with every symbolic link on its last component
// followed (a dangling link names the file to create), and what is known of it.
struct SaveTarget {
  std::string file;    // the path to replace or create
  std::string folder;  // its folder, "." for a bare name
  std::string name;    // its last component
  bool exists = false;
  struct stat info {};  // valid when exists
};

// Checks a save path before anything is written and resolves its links. Raises
// zumo::Error, with the path, when the name is empty, not valid UTF-8 or too long, when
// the links loop, when the target is a folder or no regular file, and "ファイル %s を作成
// できません" when its folder does not exist or is no folder.
SaveTarget ResolveSaveTarget(const std::string& path);

}  // namespace zumo

#include "platform/InputFile.h"

#include <fcntl.h>

#include "platform/Error.h"

namespace zumo {
namespace {

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

}  // namespace zumo

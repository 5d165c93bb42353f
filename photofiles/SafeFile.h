#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace zumo {

// Saves `bytes` as the file at `path` so that a save that fails leaves the old file's bytes
// as they were, and a save that succeeds leaves a complete file:
// - A symbolic link (or a chain of them) is followed: the file it points to is replaced and
//   the link stays; a dangling link creates its target.
// - Normally the bytes go into a new file beside the old one, invisible until complete
//   (O_TMPFILE; a named ".zumo-XXXXXXXXXXXX" file where the file system lacks it), flushed
//   (fsync), given the old file's owner, group, mode and extended attributes (its access
//   control list included), and renamed over the old one.
// - A file that has several hard links, that sits in a folder this process may not write
//   to, or whose owner a new file could not take is rewritten in place instead: the space
//   for the new bytes is reserved first, so a full disk fails before anything is
//   overwritten. Only a write error after that point (a failing device) can still damage
//   it; the old bytes are then written back where possible.
// - A new file gets the usual permissions (0666 & ~umask, or the folder's default ACL).
// Errors (zumo::Error, with the path): "ファイル %s を作成できません" when the file cannot be
// made or opened (the reason in brackets where it is more than missing rights or a missing
// folder), "ストリームへの書き込みエラー" when writing, flushing or renaming fails.
void WriteFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes);

namespace detail {
// Called once the new bytes are complete and flushed, just before they take the target's
// place. Tests use it to stop a save at its most exposed moment; nullptr turns it off.
using SaveCheckpoint = void (*)();
void SetSaveCheckpointForTesting(SaveCheckpoint checkpoint);
}  // namespace detail

}  // namespace zumo

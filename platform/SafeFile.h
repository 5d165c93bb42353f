#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace zumo {

// Writes `bytes` to a temporary file in the target's folder and renames it over `path`
// only when every byte is written and flushed (fsync): an existing file is never left
// half-written. Throws zumo::Error("ファイル <path> を作成できません") when the
// temporary file cannot be created, zumo::Error("ストリームへの書き込みエラー") when writing,
// flushing or the rename fails; the temporary file is removed on every failure.
// A new file gets the usual permissions (0666 & ~umask); an existing file keeps its own.
void WriteFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace zumo

#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

namespace zumo {

// The one exception type of the program. Its message is UTF-8 text in the user's
// language, ready to be shown as it stands in the error report.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  Error(const std::string& message, std::string file)
      : std::runtime_error(message), file_(std::make_shared<const std::string>(std::move(file))) {}

  // The photo file being read or written when the error arose: attached, with the reader's
  // or writer's own message kept as it is, where photos are read and written. Empty when
  // none was attached.
  const std::string& File() const noexcept {
    static const std::string kNone;
    return file_ ? *file_ : kNone;
  }

 private:
  std::shared_ptr<const std::string> file_;  // shared: copying an exception must not throw
};

// The error's message naming its file: "ファイル <file>: <message>", or the message as it
// stands when it names the file already or none is attached.
inline std::string MessageNamingFile(const Error& error) {
  const std::string message = error.what();
  const std::string& file = error.File();
  if (file.empty() || message.find(file) != std::string::npos) return message;
  return "ファイル " + file + ": " + message;
}

// Message texts shared by more than one part of the program.
namespace messages {
inline constexpr const char* kOutOfMemory = "メモリが足りません";
inline constexpr const char* kRowOutOfRange = "行の番号が範囲外です";
// Saving an empty picture: there is nothing to write, and an existing file stays as it is.
inline constexpr const char* kNothingToSave = "保存する画像がありません。先に写真を読み込んでください";
// A file that ends before the data it declares, or fails while being read.
inline constexpr const char* kReadError = "ストリームからの読み込みエラー";
// Writing, flushing or renaming a file being saved failed.
inline constexpr const char* kWriteError = "ストリームへの書き込みエラー";

inline std::string CannotOpen(const std::string& path) { return "ファイル " + path + " は開けません"; }
inline std::string CannotCreate(const std::string& path) { return "ファイル " + path + " を作成できません"; }
// A picture larger than what may be decoded (the reason for the limit may follow).
inline std::string TooLarge(long long width, long long height) {
  return "画像が大きすぎます（" + std::to_string(width) + " × " + std::to_string(height) + "）";
}
}  // namespace messages

}  // namespace zumo

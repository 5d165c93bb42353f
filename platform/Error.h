#pragma once

#include <stdexcept>
#include <string>

namespace zumo {

// The one exception type of the program. Its message is UTF-8 text in the user's
// language, ready to be shown as it stands in the error report.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Message texts shared by more than one part of the program.
namespace messages {
inline constexpr const char* kOutOfMemory = "メモリが足りません";
inline constexpr const char* kRowOutOfRange = "行の番号が範囲外です";
// Saving an empty picture: there is nothing to write, and an existing file stays as it is.
inline constexpr const char* kNothingToSave = "保存する画像がありません。先に写真を読み込んでください";
}  // namespace messages

}  // namespace zumo

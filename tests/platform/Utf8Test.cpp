// The one UTF-8 check of recipes and of the names files are saved under.
#include <gtest/gtest.h>

#include <string>

#include "platform/Utf8.h"

namespace zumo {
namespace {

TEST(IsValidUtf8, AcceptsWholeSequencesAndRefusesEveryMalformedKind) {
  using namespace std::string_literals;
  const struct {
    std::string text;
    bool valid;
  } cases[] = {
      {"", true},
      {"plain ASCII\t\n"s + '\0', true},
      {"レシピ", true},
      {"\xC2\x80", true},                  // U+0080, the smallest two-byte form
      {"\xE0\xA0\x80", true},              // U+0800
      {"\xED\x9F\xBF\xEE\x80\x80", true},  // U+D7FF and U+E000 around the surrogates
      {"\xF0\x90\x80\x80", true},          // U+10000
      {"\xF4\x8F\xBF\xBF", true},          // U+10FFFF, the largest
      {"\x80", false},                     // a continuation byte alone
      {"\xFF", false},
      {"\xF8\x88\x80\x80\x80", false},     // five-byte lead
      {"\xC0\xAF", false},                 // overlong '/'
      {"\xC1\xBF", false},
      {"\xE0\x9F\xBF", false},             // overlong U+07FF
      {"\xF0\x8F\xBF\xBF", false},         // overlong U+FFFF
      {"\xED\xA0\x80", false},             // U+D800
      {"\xED\xBF\xBF", false},             // U+DFFF
      {"\xF4\x90\x80\x80", false},         // U+110000
      {"ab\xE3\x83", false},               // cut off at the end
      {"\xE3\x83" "a", false},             // cut off by an ASCII byte
      {"\xC3\xA9\xC3", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidUtf8(c.text), c.valid) << testing::PrintToString(c.text);
}

}  // namespace
}  // namespace zumo

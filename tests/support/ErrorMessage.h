#pragma once

#include <functional>
#include <string>

#include "platform/Error.h"

namespace zumo::test {

// The message of the Error `action` raises, or "(no error)" when it raises none.
inline std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& e) {
    return e.what();
  }
  return "(no error)";
}

}  // namespace zumo::test

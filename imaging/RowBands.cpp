#include "imaging/detail/RowBands.h"

#include "platform/Threads.h"

namespace zumo::detail {

void RunRowBands(int height, std::size_t bytes, const std::function<void(int, int)>& band) {
  if (height < 2 || !UseSecondThread(bytes)) {
    band(0, height);
    return;
  }
  const int middle = height / 2;
  RunOnTwoThreads([&] { band(middle, height); }, [&] { band(0, middle); }, [&] { band(0, height); });
}

}  // namespace zumo::detail

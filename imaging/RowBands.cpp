#include "imaging/detail/RowBands.h"

#include "platform/Threads.h"

namespace zumo::detail {

void RunRowBands(int height, std::size_t bytes, const std::function<void(int, int)>& band) {
  const std::size_t row_bytes = height > 0 ? bytes / static_cast<std::size_t>(height) : bytes;
  RunBands(height, ItemsPerBand(row_bytes), height >= 2 && UseSecondThread(bytes), band);
}

}  // namespace zumo::detail

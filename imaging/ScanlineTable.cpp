#include "imaging/ABitmap.h"

namespace zumo {

std::unique_ptr<std::uint8_t*[]> TABitmap::ScanlineTable(Bitmap& bitmap) {
  const int height = bitmap.Height();
  // unique_ptr releases the array if fetching a row pointer throws.
  std::unique_ptr<std::uint8_t*[]> table(new std::uint8_t*[height > 0 ? height : 0]);
  for (int y = 0; y < height; ++y) table[y] = bitmap.ScanLine(y);
  return table;
}

}  // namespace zumo

#include "imaging/ABitmap.h"
#include "platform/ExtendedPrecision.h"

namespace zumo {

// Every bitmap of this program is 24 bits per pixel from the moment it exists: the base's
// copy and load already leave a TABitmap pinned to that format, so only the virtual
// constructor needs a form of its own.

TABitmap::TABitmap() = default;

TABitmap::TABitmap(const Bitmap& other) : Bitmap(other) {}

TABitmap::~TABitmap() = default;

std::unique_ptr<Bitmap> TABitmap::NewInstance() const { return std::make_unique<TABitmap>(); }

void TABitmap::SetSize(int W, int H) {
  SetWidth(W);
  SetHeight(H);
}

long double TABitmap::Power(int N, long double X) noexcept {
  long double result = X;
  for (int i = 0; i < N; ++i) result *= X;
  return result;
}

}  // namespace zumo

#include "imaging/ABitmap.h"
#include "platform/ExtendedPrecision.h"

namespace zumo {

// Every bitmap of this program is 24 bits per pixel, so the "then set to 24 bits" step
// that follows construction, copying and loading is SetPixelFormat24(), a no-op kept to
// state the rule.

TABitmap::TABitmap() { SetPixelFormat24(); }

TABitmap::TABitmap(const Bitmap& other) : Bitmap(other) { SetPixelFormat24(); }

TABitmap::~TABitmap() = default;

void TABitmap::Assign(const Bitmap& source) {
  Bitmap::Assign(source);
  SetPixelFormat24();
}

std::unique_ptr<Bitmap> TABitmap::NewInstance() const { return std::make_unique<TABitmap>(); }

void TABitmap::LoadFromFile(const std::string& path) {
  Bitmap::LoadFromFile(path);
  SetPixelFormat24();
}

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

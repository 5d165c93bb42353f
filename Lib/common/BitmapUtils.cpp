#include "Lib/common/BitmapUtils.h"

#include "platform/Error.h"

namespace zumo {

std::unique_ptr<Bitmap> ResampleBitmap(const Bitmap&, int, int) {
  throw Error("not built yet");
}

}  // namespace zumo

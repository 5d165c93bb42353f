#include "photofiles/PngErrors.h"

#include <cstdio>

namespace zumo {

extern "C" void KeepPngErrorAndLeave(png_structp png, png_const_charp message) {
  auto* error = static_cast<PngErrorText*>(png_get_error_ptr(png));
  std::snprintf(error->text, sizeof error->text, "%s", message);
  png_longjmp(png, 1);
}

extern "C" void DropPngWarning(png_structp, png_const_charp) {}

}  // namespace zumo

#pragma once

#include <png.h>

namespace zumo {

// How the PNG reader and writer take libpng's errors: libpng leaves an error by longjmp to the
// phase function that called it (only C frames are skipped); its message is kept here and the
// C++ exception is raised once libpng is out.
struct PngErrorText {
  char text[200] = {};
};

// The error and warning callbacks of png_create_read_struct / png_create_write_struct, whose
// error pointer must be a PngErrorText: the error's message is kept and libpng is left by
// png_longjmp; warnings are dropped.
extern "C" void KeepPngErrorAndLeave(png_structp png, png_const_charp message);
extern "C" void DropPngWarning(png_structp png, png_const_charp message);

}  // namespace zumo

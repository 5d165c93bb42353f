// Replaced by the BMP reader and writer.
#include "platform/BmpFile.h"
namespace zumo {
Bitmap ReadBmpFile(const std::string&) { throw Error("BMP reader not built yet"); }
}  // namespace zumo

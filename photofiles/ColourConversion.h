#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "photofiles/PhotoMetadata.h"
#include "platform/Bitmap.h"

namespace zumo {

namespace detail {
struct SrgbTables;     // the kernel's tables
struct SrgbTransform;  // lcms2's transform
}  // namespace detail

// How an SrgbConverter carries out its conversion.
enum class ColourRoute {
  Leave,   // nothing to do (sRGB already, no description) or nothing that can be done
  Kernel,  // a matrix/shaper RGB profile: our own tables and fixed-point matrix
  Lcms,    // any other RGB profile lcms2 can use: lcms2's own transform
};

// The conversion of pictures from the colours a description gives to sRGB, with the relative
// colorimetric intent and black point compensation, prepared once for any number of pictures.
//
// An ICC profile is read with lcms2. An RGB profile made of a matrix and three tone curves
// (what cameras, phones and editors embed: Adobe RGB, Display P3, ProPhoto, BT.2020 ...)
// goes through our own kernel, built from lcms2's reading of the profile so that it agrees
// with lcms2's own transform within one level; other RGB profiles go through lcms2's
// transform. An nclx description is made into such a matrix/shaper profile first.
//
// The description is left alone (route Leave) when it is empty, says sRGB (a profile whose
// colorants and curves do what sRGB's do, whatever its name), or is damaged, larger than
// kMaxIccBytes, unsupported, grey, CMYK, Lab or otherwise not an RGB profile lcms2 can use.
// Building one never throws for a bad description (only for lack of memory).
class SrgbConverter {
 public:
  explicit SrgbConverter(const ColourDescription& colour);
  ~SrgbConverter();
  SrgbConverter(SrgbConverter&&) noexcept;
  SrgbConverter& operator=(SrgbConverter&&) noexcept;

  ColourRoute Route() const noexcept { return route_; }
  bool Converts() const noexcept { return route_ != ColourRoute::Leave; }

  // Converts the picture in place, rows split between two threads when it is large (the bytes
  // do not depend on the split). Returns false, the picture untouched, when the route is
  // Leave or the picture is empty. May be called from several threads at once.
  bool Apply(Bitmap& picture) const;

 private:
  ColourRoute route_ = ColourRoute::Leave;
  std::unique_ptr<const detail::SrgbTables> tables_;
  std::unique_ptr<const detail::SrgbTransform> transform_;
};

// Converts `picture` in place from the colours `colour` describes to sRGB, as SrgbConverter
// does. Returns true when the pixels were converted; otherwise the picture is exactly as it was.
bool ConvertToSrgb(Bitmap& picture, const ColourDescription& colour);

// True when pictures in these colours are sRGB already and need no conversion: no
// description, an nclx with BT.709 or unspecified primaries and the sRGB or unspecified
// transfer, or an RGB profile whose colorants and tone curves are sRGB's within a small
// tolerance (a profile saved with other names or as ICC v2 or v4 included).
bool IsSrgb(const ColourDescription& colour);

}  // namespace zumo

#include "photofiles/ColourConversion.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <vector>

#include <lcms2.h>
#include <lcms2_plugin.h>  // _cmsMAT3per, _cmsMAT3inverse: the matrix arithmetic of lcms2's own optimiser

#include "photofiles/ColourKernel.h"
#include "platform/Threads.h"

namespace zumo {
namespace {

using detail::kLinearOne;

// How close a profile's colorants (D50-adapted XYZ, as stored) and curves (in 8-bit sRGB
// levels) must be to sRGB's for the profile to count as sRGB. Real sRGB profiles (v2 or v4,
// any maker) differ by some 0.0002 and 0.03 levels; the nearest other common colours (PAL's
// primaries, gamma 2.2) by 0.02 and several levels.
constexpr double kColorantTolerance = 0.001;
constexpr double kCurveToleranceLevels = 0.25;

// The profile's matrix in lcms2's pipeline carries the scale of its 16-bit XYZ encoding on
// the way in and out (1 + 32767/32768); the two cancel, but only to the last bit, which the
// 1.14 rounding of the matrix can see.
constexpr double kMaxEncodableXyz = 1.0 + 32767.0 / 32768.0;

struct ProfileCloser {
  void operator()(void* profile) const noexcept { cmsCloseProfile(profile); }
};
using ProfileHandle = std::unique_ptr<void, ProfileCloser>;

struct CurveFreer {
  void operator()(cmsToneCurve* curve) const noexcept { cmsFreeToneCurve(curve); }
};
using CurveHandle = std::unique_ptr<cmsToneCurve, CurveFreer>;

struct TransformDeleter {
  void operator()(void* transform) const noexcept { cmsDeleteTransform(transform); }
};
using TransformHandle = std::unique_ptr<void, TransformDeleter>;

// A tone curve's value at 8-bit level v, as lcms2's 8-bit pipeline samples it.
float CurveAtLevel(const cmsToneCurve* curve, int v) noexcept {
  return cmsEvalToneCurveFloat(curve, static_cast<cmsFloat32Number>(v / 255.0));
}

// What the kernel needs of sRGB, read from lcms2's own sRGB profile: its colorants, the
// inverse of its matrix (as the destination of a transform uses it) and the table from
// linear 1.14 to 8-bit levels through the inverse of its curve.
struct SrgbReference {
  cmsCIEXYZ colorants[3] = {};
  cmsMAT3 from_xyz = {};
  detail::SrgbEncoding encode = {};
  CurveHandle inverse_curve;
  bool ok = false;
};

const SrgbReference& Srgb() {
  static const SrgbReference reference = [] {
    SrgbReference r;
    const ProfileHandle profile(cmsCreate_sRGBProfile());
    if (!profile) return r;
    const cmsTagSignature tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag};
    for (int c = 0; c < 3; ++c) {
      const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile.get(), tags[c]));
      if (xyz == nullptr) return r;
      r.colorants[c] = *xyz;
    }
    cmsMAT3 to_xyz;
    for (int c = 0; c < 3; ++c) {
      to_xyz.v[0].n[c] = r.colorants[c].X;
      to_xyz.v[1].n[c] = r.colorants[c].Y;
      to_xyz.v[2].n[c] = r.colorants[c].Z;
    }
    if (!_cmsMAT3inverse(&to_xyz, &r.from_xyz)) return r;
    for (auto& row : r.from_xyz.v)
      for (double& n : row.n) n *= kMaxEncodableXyz;
    const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(profile.get(), cmsSigRedTRCTag));
    if (curve == nullptr) return r;
    r.inverse_curve.reset(cmsReverseToneCurve(curve));
    if (!r.inverse_curve) return r;
    // The level is rounded to 16 bits first and then to 8, as lcms2 does.
    for (int i = 0; i <= kLinearOne; ++i) {
      double value = cmsEvalToneCurveFloat(r.inverse_curve.get(), static_cast<cmsFloat32Number>(i / 16384.0));
      value = std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0);
      const auto word = static_cast<std::uint32_t>(std::floor(value * 65535.0 + 0.5));
      r.encode[i] = static_cast<std::uint8_t>((word * 65281u + 8388608u) >> 24);
    }
    r.ok = true;
    return r;
  }();
  return reference;
}

}  // namespace

// lcms2's transform, for RGB profiles that are not a matrix and curves.
struct detail::SrgbTransform {
  explicit SrgbTransform(TransformHandle transform) noexcept : handle(std::move(transform)) {}
  TransformHandle handle;
};

namespace {

enum class Verdict {
  Untagged,  // no description: sRGB by convention
  Srgb,      // describes sRGB
  Unusable,  // damaged, unsupported or not RGB: left alone
  Kernel,
  Lcms,
};

bool NearSrgbColorant(const cmsCIEXYZ& a, const cmsCIEXYZ& b) noexcept {
  return std::abs(a.X - b.X) <= kColorantTolerance && std::abs(a.Y - b.Y) <= kColorantTolerance &&
         std::abs(a.Z - b.Z) <= kColorantTolerance;
}

// Whether a curve, followed by sRGB's inverse curve, gives back every 8-bit level.
bool NearSrgbCurve(const cmsToneCurve* curve) noexcept {
  const cmsToneCurve* inverse = Srgb().inverse_curve.get();
  for (int v = 0; v < 256; ++v) {
    const float linear = CurveAtLevel(curve, v);
    const double level = 255.0 * cmsEvalToneCurveFloat(inverse, linear);
    if (!(std::abs(level - v) <= kCurveToleranceLevels)) return false;
  }
  return true;
}

// A matrix/shaper profile as the kernel reads it: the colorants and curves, all present.
struct MatrixShaper {
  const cmsCIEXYZ* colorants[3] = {};
  const cmsToneCurve* curves[3] = {};
};

bool ReadMatrixShaper(cmsHPROFILE profile, MatrixShaper& m) noexcept {
  const cmsTagSignature colorant_tags[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag};
  const cmsTagSignature curve_tags[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
  for (int c = 0; c < 3; ++c) {
    m.colorants[c] = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, colorant_tags[c]));
    m.curves[c] = static_cast<const cmsToneCurve*>(cmsReadTag(profile, curve_tags[c]));
    if (m.colorants[c] == nullptr || m.curves[c] == nullptr) return false;
  }
  return true;
}

bool IsSrgbMatrixShaper(const MatrixShaper& m) noexcept {
  for (int c = 0; c < 3; ++c)
    if (!NearSrgbColorant(*m.colorants[c], Srgb().colorants[c]) || !NearSrgbCurve(m.curves[c])) return false;
  return true;
}

std::int64_t ToFixed14(double value) noexcept { return static_cast<std::int64_t>(std::floor(value * 16384.0 + 0.5)); }

// The kernel's tables for a matrix/shaper profile: the matrix and curves sampled as lcms2's
// own 8-bit optimiser samples them. Null when its numbers are beyond what the kernel's
// integers hold (no real profile comes near; lcms2 then does the work).
std::unique_ptr<const detail::SrgbTables> BuildTables(const MatrixShaper& m) {
  cmsMAT3 to_xyz;
  for (int c = 0; c < 3; ++c) {
    to_xyz.v[0].n[c] = m.colorants[c]->X / kMaxEncodableXyz;
    to_xyz.v[1].n[c] = m.colorants[c]->Y / kMaxEncodableXyz;
    to_xyz.v[2].n[c] = m.colorants[c]->Z / kMaxEncodableXyz;
  }
  cmsMAT3 to_srgb;
  _cmsMAT3per(&to_srgb, &Srgb().from_xyz, &to_xyz);

  std::int64_t matrix[3][3];
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col) {
      const double n = to_srgb.v[row].n[col];
      if (!(std::abs(n) < 64.0)) return nullptr;
      matrix[row][col] = ToFixed14(n);
    }
  std::int64_t linear[3][256];
  for (int c = 0; c < 3; ++c)
    for (int v = 0; v < 256; ++v) {
      const float y = CurveAtLevel(m.curves[c], v);
      if (!(std::abs(y) < 64.0f)) return nullptr;
      linear[c][v] = ToFixed14(y);
    }
  return detail::MakeSrgbTables(matrix, linear, Srgb().encode);
}

// lcms2's default error handler prints nothing: a damaged profile just fails to open or
// to give its tags, through the global context.
ProfileHandle OpenIcc(const std::vector<std::uint8_t>& icc) noexcept {
  if (icc.empty() || icc.size() > kMaxIccBytes) return nullptr;
  return ProfileHandle(cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size())));
}

// The profile an nclx description stands for, or null for code points we do not handle.
ProfileHandle NclxProfile(const NclxColour& nclx) noexcept {
  struct Primaries {
    std::uint16_t code;
    cmsCIExyY white;
    cmsCIExyYTRIPLE rgb;
  };
  constexpr cmsCIExyY d65 = {0.3127, 0.3290, 1.0};
  static const Primaries primaries[] = {
      {1, d65, {{0.640, 0.330, 1.0}, {0.300, 0.600, 1.0}, {0.150, 0.060, 1.0}}},
      {2, d65, {{0.640, 0.330, 1.0}, {0.300, 0.600, 1.0}, {0.150, 0.060, 1.0}}},  // unspecified: BT.709's
      {9, d65, {{0.708, 0.292, 1.0}, {0.170, 0.797, 1.0}, {0.131, 0.046, 1.0}}},
      {11, {0.314, 0.351, 1.0}, {{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}}},
      {12, d65, {{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}}},
  };
  const Primaries* chosen = nullptr;
  for (const Primaries& p : primaries)
    if (p.code == nclx.primaries) chosen = &p;
  if (chosen == nullptr) return nullptr;

  // lcms2's parametric type 4: Y = (aX + b)^g for X >= d, Y = cX below.
  CurveHandle curve;
  switch (nclx.transfer) {
    case 2:  // unspecified: sRGB's
    case 13: {
      const cmsFloat64Number srgb[5] = {2.4, 1.0 / 1.055, 0.055 / 1.055, 1.0 / 12.92, 0.04045};
      curve.reset(cmsBuildParametricToneCurve(nullptr, 4, srgb));
      break;
    }
    case 1:
    case 6:
    case 14:
    case 15: {  // BT.709's (BT.601's and BT.2020's are the same curve)
      const cmsFloat64Number bt709[5] = {1.0 / 0.45, 1.0 / 1.099, 0.099 / 1.099, 1.0 / 4.5, 0.081};
      curve.reset(cmsBuildParametricToneCurve(nullptr, 4, bt709));
      break;
    }
    case 8:
      curve.reset(cmsBuildGamma(nullptr, 1.0));
      break;
    case 4:
      curve.reset(cmsBuildGamma(nullptr, 2.2));
      break;
    case 5:
      curve.reset(cmsBuildGamma(nullptr, 2.8));
      break;
    default:
      return nullptr;
  }
  if (!curve) return nullptr;
  cmsToneCurve* const curves[3] = {curve.get(), curve.get(), curve.get()};
  return ProfileHandle(cmsCreateRGBProfile(&chosen->white, &chosen->rgb, curves));
}

bool NclxSaysSrgb(const NclxColour& nclx) noexcept {
  return (nclx.primaries == 1 || nclx.primaries == 2) && (nclx.transfer == 13 || nclx.transfer == 2);
}

// Whether lcms2's transform leaves every colour of a 17-level grid within a level of where
// it was: a LUT-based profile that does what sRGB does.
bool TransformKeepsColours(cmsHTRANSFORM transform) noexcept {
  constexpr int kSteps = 17;
  std::array<std::uint8_t, 3 * kSteps * kSteps * kSteps> in, out;
  std::size_t i = 0;
  for (int b = 0; b < kSteps; ++b)
    for (int g = 0; g < kSteps; ++g)
      for (int r = 0; r < kSteps; ++r) {
        in[i++] = static_cast<std::uint8_t>(std::min(255, 16 * b));
        in[i++] = static_cast<std::uint8_t>(std::min(255, 16 * g));
        in[i++] = static_cast<std::uint8_t>(std::min(255, 16 * r));
      }
  cmsDoTransform(transform, in.data(), out.data(), kSteps * kSteps * kSteps);
  for (std::size_t j = 0; j < in.size(); ++j)
    if (std::abs(int{in[j]} - int{out[j]}) > 1) return false;
  return true;
}

struct Analysis {
  Verdict verdict = Verdict::Unusable;
  std::unique_ptr<const detail::SrgbTables> tables;
  TransformHandle transform;
};

// Everything about a profile: whether it is usable, sRGB's, and which route converts it
// (with the route's tables or transform).
Analysis AnalyseProfile(cmsHPROFILE profile) {
  Analysis a;
  if (profile == nullptr || !Srgb().ok) return a;
  if (cmsGetColorSpace(profile) != cmsSigRgbData) return a;
  switch (cmsGetDeviceClass(profile)) {
    case cmsSigInputClass:
    case cmsSigDisplayClass:
    case cmsSigOutputClass:
    case cmsSigColorSpaceClass:
      break;
    default:
      return a;  // device links, abstract and named-colour profiles
  }

  // lcms2 prefers a profile's lookup tables to its matrix and curves when it has both.
  const bool has_luts = cmsIsTag(profile, cmsSigAToB0Tag) || cmsIsTag(profile, cmsSigAToB1Tag) ||
                        cmsIsTag(profile, cmsSigDToB0Tag) || cmsIsTag(profile, cmsSigDToB1Tag);
  MatrixShaper m;
  if (!has_luts && cmsIsMatrixShaper(profile) && cmsGetPCS(profile) == cmsSigXYZData) {
    if (!ReadMatrixShaper(profile, m)) return a;
    if (IsSrgbMatrixShaper(m)) {
      a.verdict = Verdict::Srgb;
      return a;
    }
    // Black point compensation is a no-op when both blacks are zero, as they are for a
    // matrix/shaper profile whose curves start at zero; any other black goes to lcms2.
    cmsCIEXYZ black;
    if (cmsDetectBlackPoint(&black, profile, INTENT_RELATIVE_COLORIMETRIC, 0) && black.X == 0.0 && black.Y == 0.0 &&
        black.Z == 0.0) {
      a.tables = BuildTables(m);
      if (a.tables) {
        a.verdict = Verdict::Kernel;
        return a;
      }
    }
  }

  // Everything else lcms2 can do goes through its transform; a profile that it cannot make
  // one of is left alone. A LUT-based profile may still be sRGB's: then nothing is done.
  const ProfileHandle srgb(cmsCreate_sRGBProfile());
  if (!srgb) return a;
  a.transform.reset(cmsCreateTransform(profile, TYPE_BGR_8, srgb.get(), TYPE_BGR_8, INTENT_RELATIVE_COLORIMETRIC,
                                       cmsFLAGS_BLACKPOINTCOMPENSATION));
  if (!a.transform) return a;
  if (TransformKeepsColours(a.transform.get())) {
    a.transform.reset();
    a.verdict = Verdict::Srgb;
    return a;
  }
  a.verdict = Verdict::Lcms;
  return a;
}

Analysis Analyse(const ColourDescription& colour) {
  if (!colour.icc.empty()) {
    const ProfileHandle profile = OpenIcc(colour.icc);  // none when larger than kMaxIccBytes
    return AnalyseProfile(profile.get());
  }
  if (colour.nclx) {
    Analysis a;
    if (NclxSaysSrgb(*colour.nclx)) {
      a.verdict = Verdict::Srgb;
      return a;
    }
    const ProfileHandle profile = NclxProfile(*colour.nclx);
    return AnalyseProfile(profile.get());
  }
  Analysis a;
  a.verdict = Verdict::Untagged;
  return a;
}

}  // namespace

SrgbConverter::SrgbConverter(const ColourDescription& colour) {
  Analysis a = Analyse(colour);
  if (a.verdict == Verdict::Kernel) {
    route_ = ColourRoute::Kernel;
    tables_ = std::move(a.tables);
  } else if (a.verdict == Verdict::Lcms) {
    route_ = ColourRoute::Lcms;
    transform_ = std::make_unique<const detail::SrgbTransform>(std::move(a.transform));
  }
}

SrgbConverter::~SrgbConverter() = default;
SrgbConverter::SrgbConverter(SrgbConverter&&) noexcept = default;
SrgbConverter& SrgbConverter::operator=(SrgbConverter&&) noexcept = default;

bool SrgbConverter::Apply(Bitmap& picture) const {
  if (route_ == ColourRoute::Leave || picture.Empty()) return false;
  std::uint8_t* const bits = picture.MutableBits();
  const std::ptrdiff_t stride = picture.Stride();
  const int width = picture.Width();
  const int height = picture.Height();
  const auto rows = [&](int first, int end) noexcept {
    std::uint8_t* row = bits + stride * first;
    if (route_ == ColourRoute::Kernel) {
      detail::ConvertRows(*tables_, row, stride, width, end - first);
    } else if (end > first) {
      // In place: lcms2 reads each pixel before it writes it, in the same layout.
      cmsDoTransformLineStride(transform_->handle.get(), row, row, static_cast<cmsUInt32Number>(width),
                               static_cast<cmsUInt32Number>(end - first), static_cast<cmsUInt32Number>(stride),
                               static_cast<cmsUInt32Number>(stride), 0, 0);
    }
  };
  RunBands(height, ItemsPerBand(static_cast<std::size_t>(stride)),
           UseSecondThread(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height)), rows);
  return true;
}

bool ConvertToSrgb(Bitmap& picture, const ColourDescription& colour) {
  if (colour.Empty() || picture.Empty()) return false;
  return SrgbConverter(colour).Apply(picture);
}

bool IsSrgb(const ColourDescription& colour) {
  const Verdict verdict = Analyse(colour).verdict;
  return verdict == Verdict::Untagged || verdict == Verdict::Srgb;
}

}  // namespace zumo

// Converting photos to sRGB: every 8-bit colour against lcms2's own transform, and the
// descriptions that must leave a picture exactly as it is.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <lcms2.h>

#include "photofiles/ColourConversion.h"
#include "platform/Threads.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

const std::string kIccFolder = "/usr/share/color/icc/";

struct ProfileCloser {
  void operator()(void* profile) const noexcept { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) ADD_FAILURE() << path << " is missing (install icc-profiles-free and colord-data)";
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> Save(cmsHPROFILE profile) {
  cmsUInt32Number size = 0;
  EXPECT_TRUE(cmsSaveProfileToMem(profile, nullptr, &size));
  std::vector<std::uint8_t> bytes(size);
  EXPECT_TRUE(cmsSaveProfileToMem(profile, bytes.data(), &size));
  return bytes;
}

ColourDescription Icc(std::vector<std::uint8_t> bytes) { return {.icc = std::move(bytes), .nclx = {}}; }
ColourDescription Nclx(std::uint16_t primaries, std::uint16_t transfer) {
  return {.icc = {}, .nclx = NclxColour{.primaries = primaries, .transfer = transfer}};
}

Profile SrgbProfile(double version, const char* description = nullptr) {
  Profile profile(cmsCreate_sRGBProfile());
  cmsSetProfileVersion(profile.get(), version);
  if (description != nullptr) {
    cmsMLU* text = cmsMLUalloc(nullptr, 1);
    cmsMLUsetASCII(text, "en", "US", description);
    cmsWriteTag(profile.get(), cmsSigProfileDescriptionTag, text);
    cmsMLUfree(text);
  }
  return profile;
}

Profile MatrixShaperProfile(cmsCIExyY white, cmsCIExyYTRIPLE primaries, cmsToneCurve* curve) {
  cmsToneCurve* curves[3] = {curve, curve, curve};
  Profile profile(cmsCreateRGBProfile(&white, &primaries, curves));
  cmsFreeToneCurve(curve);
  return profile;
}

constexpr cmsCIExyY kD65 = {0.3127, 0.3290, 1.0};
constexpr cmsCIExyYTRIPLE kP3 = {{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
constexpr cmsCIExyYTRIPLE kBt2020 = {{0.708, 0.292, 1.0}, {0.170, 0.797, 1.0}, {0.131, 0.046, 1.0}};

cmsToneCurve* Parametric4(double g, double a, double b, double c, double d) {
  const double params[5] = {g, a, b, c, d};
  return cmsBuildParametricToneCurve(nullptr, 4, params);
}
cmsToneCurve* SrgbCurve() { return Parametric4(2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045); }
cmsToneCurve* Bt709Curve() { return Parametric4(1 / 0.45, 1 / 1.099, 0.099 / 1.099, 1 / 4.5, 0.081); }

// A profile whose A2B0 is one lookup table of `points` per side from `channels` device values
// to Lab, filled by `sampler`: what a LUT-based profile looks like to lcms2.
std::vector<std::uint8_t> LutProfile(cmsColorSpaceSignature space, int channels, int points, cmsSAMPLER16 sampler,
                                     void* cargo) {
  Profile profile(cmsCreateProfilePlaceholder(nullptr));
  cmsSetProfileVersion(profile.get(), 4.3);
  cmsSetDeviceClass(profile.get(), space == cmsSigCmykData ? cmsSigOutputClass : cmsSigDisplayClass);
  cmsSetColorSpace(profile.get(), space);
  cmsSetPCS(profile.get(), cmsSigLabData);
  // A v4 lookup table holds curves on either side of its grid (here identities).
  cmsPipeline* lut = cmsPipelineAlloc(nullptr, channels, 3);
  cmsStage* table = cmsStageAllocCLut16bit(nullptr, points, channels, 3, nullptr);
  cmsStageSampleCLut16bit(table, sampler, cargo, 0);
  cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, channels, nullptr));
  cmsPipelineInsertStage(lut, cmsAT_END, table);
  cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, nullptr));
  cmsWriteTag(profile.get(), cmsSigAToB0Tag, lut);
  cmsWriteTag(profile.get(), cmsSigMediaWhitePointTag, cmsD50_XYZ());
  cmsPipelineFree(lut);
  return Save(profile.get());
}

int SampleThroughTransform(const cmsUInt16Number in[], cmsUInt16Number out[], void* transform) {
  cmsDoTransform(transform, in, out, 1);
  return 1;
}

// An RGB LUT-based profile that does (within the table's precision) what `source` does.
std::vector<std::uint8_t> LutRgbProfile(cmsHPROFILE source, int points) {
  const Profile lab(cmsCreateLab4Profile(nullptr));
  cmsHTRANSFORM to_lab =
      cmsCreateTransform(source, TYPE_RGB_16, lab.get(), TYPE_Lab_16, INTENT_RELATIVE_COLORIMETRIC, 0);
  std::vector<std::uint8_t> lut = LutProfile(cmsSigRgbData, 3, points, SampleThroughTransform, to_lab);
  cmsDeleteTransform(to_lab);
  return lut;
}

std::vector<std::uint8_t> CmykProfile() {
  const auto ink = [](const cmsUInt16Number in[], cmsUInt16Number out[], void*) {
    out[0] = static_cast<cmsUInt16Number>(0xffff - std::max({in[0], in[1], in[2], in[3]}));
    out[1] = out[2] = 0x8080;
    return 1;
  };
  return LutProfile(cmsSigCmykData, 4, 9, ink, nullptr);
}

// Every 8-bit colour once: 4096 x 4096 pixels, blue fastest.
Bitmap EveryColour() {
  Bitmap cube(4096, 4096);
  for (int y = 0; y < 4096; ++y) {
    std::uint8_t* row = cube.ScanLine(y);
    for (int x = 0; x < 4096; ++x) {
      const int i = y * 4096 + x;
      row[3 * x] = static_cast<std::uint8_t>(i);
      row[3 * x + 1] = static_cast<std::uint8_t>(i >> 8);
      row[3 * x + 2] = static_cast<std::uint8_t>(i >> 16);
    }
  }
  return cube;
}

// lcms2's own conversion of the picture to its sRGB.
Bitmap LcmsConversion(const Bitmap& picture, cmsHPROFILE source) {
  const Profile srgb(cmsCreate_sRGBProfile());
  cmsHTRANSFORM transform = cmsCreateTransform(source, TYPE_BGR_8, srgb.get(), TYPE_BGR_8, INTENT_RELATIVE_COLORIMETRIC,
                                               cmsFLAGS_BLACKPOINTCOMPENSATION);
  EXPECT_NE(transform, nullptr);
  Bitmap result(picture.Width(), picture.Height());
  for (int y = 0; y < picture.Height() && transform != nullptr; ++y)
    cmsDoTransform(transform, picture.ScanLine(y), result.ScanLine(y), static_cast<cmsUInt32Number>(picture.Width()));
  cmsDeleteTransform(transform);
  return result;
}

int LargestDifference(const Bitmap& a, const Bitmap& b) {
  int largest = 0;
  for (int y = 0; y < a.Height(); ++y)
    for (int i = 0; i < 3 * a.Width(); ++i) largest = std::max(largest, std::abs(a.ScanLine(y)[i] - b.ScanLine(y)[i]));
  return largest;
}

// The picture converted 63 pixels to a row, narrower than the wide kernel's blocks: each row
// laid out in the rows of a 63-pixel-wide picture.
Bitmap ConvertedInNarrowRows(const SrgbConverter& converter, const Bitmap& picture) {
  constexpr int kWidth = 63;
  Bitmap result(picture.Width(), picture.Height());
  Bitmap strip(kWidth, (picture.Width() + kWidth - 1) / kWidth);
  for (int y = 0; y < picture.Height(); ++y) {
    for (int x = 0; x < picture.Width(); ++x)
      std::copy_n(picture.ScanLine(y) + 3 * x, 3, strip.ScanLine(x / kWidth) + 3 * (x % kWidth));
    converter.Apply(strip);
    for (int x = 0; x < picture.Width(); ++x)
      std::copy_n(strip.ScanLine(x / kWidth) + 3 * (x % kWidth), 3, result.ScanLine(y) + 3 * x);
  }
  return result;
}

Profile Open(const std::vector<std::uint8_t>& icc) {
  return Profile(cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size())));
}

// Whole rows of every colour go through the wide kernel where the processor has one; rows
// narrower than its blocks through the two-pixel kernel, which must give the same bytes.
TEST(ColourConversion, EveryColourWithinOneLevelOfLcms) {
  const std::vector<std::uint8_t> p3 = Save(MatrixShaperProfile(kD65, kP3, SrgbCurve()).get());
  const Profile bt2020 = MatrixShaperProfile(kD65, kBt2020, Bt709Curve());
  struct Case {
    const char* name;
    ColourDescription colour;
    cmsHPROFILE reference;
  };
  const std::vector<std::uint8_t> adobe = ReadBytes(kIccFolder + "compatibleWithAdobeRGB1998.icc");
  const std::vector<std::uint8_t> prophoto = ReadBytes(kIccFolder + "colord/ProPhotoRGB.icc");
  const Profile adobe_profile = Open(adobe), p3_profile = Open(p3), prophoto_profile = Open(prophoto);
  const Case cases[] = {
      {"Adobe RGB", Icc(adobe), adobe_profile.get()},
      {"Display P3", Icc(p3), p3_profile.get()},
      {"ProPhoto", Icc(prophoto), prophoto_profile.get()},
      {"nclx BT.2020 / BT.709 curve", Nclx(9, 1), bt2020.get()},
  };
  const Bitmap cube = EveryColour();
  for (const Case& c : cases) {
    const SrgbConverter converter(c.colour);
    EXPECT_EQ(converter.Route(), ColourRoute::Kernel) << c.name;
    Bitmap ours = cube;
    ASSERT_TRUE(converter.Apply(ours)) << c.name;
    const int difference = LargestDifference(ours, LcmsConversion(cube, c.reference));
    std::cout << "[          ] " << c.name << ": largest difference from lcms2 " << difference << " levels\n";
    EXPECT_LE(difference, 1) << c.name;
    EXPECT_TRUE(SamePixels(ConvertedInNarrowRows(converter, cube), ours)) << c.name;
  }
}

// Odd widths (a lone last pixel), a single row, and the rows split between two threads; the
// profiles lcms2 converts itself (a LUT-based one, and a matrix/shaper whose black is not
// zero, so that black point compensation moves it) come out exactly as lcms2 gives them.
TEST(ColourConversion, AnySizeOnEitherRouteAgreesWithLcms) {
  const Profile adobe = Open(ReadBytes(kIccFolder + "compatibleWithAdobeRGB1998.icc"));
  const std::vector<std::uint8_t> lut = LutRgbProfile(adobe.get(), 17);
  const cmsFloat32Number raised[] = {0.03f, 0.1f, 0.3f, 0.6f, 1.0f};
  const Profile grey_black = MatrixShaperProfile(kD65, kBt2020, cmsBuildTabulatedToneCurveFloat(nullptr, 5, raised));
  struct Case {
    const char* name;
    std::vector<std::uint8_t> icc;
    ColourRoute route;
    int tolerance;
  };
  const Case cases[] = {
      {"Adobe RGB", ReadBytes(kIccFolder + "compatibleWithAdobeRGB1998.icc"), ColourRoute::Kernel, 1},
      {"LUT-based", lut, ColourRoute::Lcms, 0},
      {"black above zero", Save(grey_black.get()), ColourRoute::Lcms, 0},
  };
  const int sizes[][2] = {{1, 1}, {2, 1}, {3, 2}, {17, 5}, {333, 7}, {64, 64}};
  for (const Threads threads : {Threads::One, Threads::Two}) {
    SetThreads(threads);
    for (const Case& c : cases) {
      const SrgbConverter converter(Icc(c.icc));
      EXPECT_EQ(converter.Route(), c.route) << c.name;
      for (const auto& size : sizes) {
        const Bitmap picture = test::RandomBitmap(size[0], size[1], static_cast<std::uint32_t>(size[0] * 31 + size[1]));
        Bitmap ours = picture;
        ASSERT_TRUE(converter.Apply(ours)) << c.name;
        EXPECT_LE(LargestDifference(ours, LcmsConversion(picture, Open(c.icc).get())), c.tolerance)
            << c.name << ' ' << size[0] << 'x' << size[1];
      }
    }
  }
  SetThreads(Threads::Auto);
}

// sRGB is decided by what a profile does: its colorants and its curves both.
TEST(ColourConversion, IsSrgbNeedsSrgbColorantsAndCurves) {
  EXPECT_FALSE(IsSrgb(Icc(ReadBytes(kIccFolder + "colord/Rec709.icc"))));  // sRGB's primaries, BT.709's curve
  EXPECT_FALSE(IsSrgb(Icc(ReadBytes(kIccFolder + "colord/SwappedRedAndGreen.icc"))));  // sRGB's curve
  EXPECT_EQ(SrgbConverter(Icc(ReadBytes(kIccFolder + "colord/Rec709.icc"))).Route(), ColourRoute::Kernel);
  EXPECT_FALSE(IsSrgb(Nclx(1, 1)));
  EXPECT_FALSE(IsSrgb(Nclx(12, 13)));
}

TEST(ColourConversion, LeavesPicturesAloneWhenNothingIsToBeDone) {
  const std::vector<std::uint8_t> adobe = ReadBytes(kIccFolder + "compatibleWithAdobeRGB1998.icc");
  ASSERT_EQ(adobe.size(), 580u);
  std::mt19937 rng(7);
  std::vector<std::uint8_t> garbage(2000);
  for (auto& byte : garbage) byte = static_cast<std::uint8_t>(rng());
  std::vector<std::uint8_t> adobe_then_garbage = adobe;  // the tag table and the tags overwritten
  for (std::size_t i = 128; i < adobe.size(); ++i) adobe_then_garbage[i] = garbage[i];
  std::vector<std::uint8_t> oversized = adobe;
  oversized.resize(kMaxIccBytes + 1);
  const Profile srgb_v2 = SrgbProfile(2.1), srgb_v4 = SrgbProfile(4.3), renamed = SrgbProfile(4.3, "Camera RGB");
  const Profile srgb_in_memory(cmsCreate_sRGBProfile());
  cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
  cmsToneCurve* curves[3] = {linear, linear, linear};
  const Profile rgb_link(cmsCreateLinearizationDeviceLink(cmsSigRgbData, curves));
  cmsFreeToneCurve(linear);
  const Profile lab(cmsCreateLab4Profile(nullptr));

  struct Case {
    const char* name;
    ColourDescription colour;
    bool srgb;  // what IsSrgb says
  };
  const Case cases[] = {
      {"no description", {}, true},
      {"lcms2's sRGB, v2", Icc(Save(srgb_v2.get())), true},
      {"lcms2's sRGB, v4", Icc(Save(srgb_v4.get())), true},
      {"sRGB under another name", Icc(Save(renamed.get())), true},
      {"icc-profiles-free sRGB", Icc(ReadBytes(kIccFolder + "sRGB.icc")), true},
      {"colord sRGB", Icc(ReadBytes(kIccFolder + "colord/sRGB.icc")), true},
      {"sRGB as a lookup table", Icc(LutRgbProfile(srgb_in_memory.get(), 33)), true},
      {"nclx BT.709 / sRGB", Nclx(1, 13), true},
      {"nclx unspecified", Nclx(2, 2), true},
      {"grey", Icc(ReadBytes(kIccFolder + "Gray.icc")), false},
      {"CMYK", Icc(CmykProfile()), false},
      {"Lab", Icc(Save(lab.get())), false},
      {"abstract", Icc(ReadBytes(kIccFolder + "CineLogCurve.icc")), false},
      {"RGB device link", Icc(Save(rgb_link.get())), false},
      {"truncated", Icc({adobe.begin(), adobe.begin() + 300}), false},
      {"header only", Icc({adobe.begin(), adobe.begin() + 128}), false},
      {"garbage", Icc(garbage), false},
      {"damaged tags", Icc(adobe_then_garbage), false},
      {"larger than the limit", Icc(oversized), false},
      {"nclx PQ", Nclx(9, 16), false},
      {"nclx HLG", Nclx(9, 18), false},
      {"nclx unknown primaries", Nclx(5, 13), false},
  };
  const Bitmap picture = test::RandomBitmap(17, 5, 3);
  for (const Case& c : cases) {
    Bitmap converted = picture;
    EXPECT_FALSE(ConvertToSrgb(converted, c.colour)) << c.name;
    EXPECT_TRUE(converted.SharesPixelsWith(picture)) << c.name << ": the pixels were touched";
    EXPECT_EQ(SrgbConverter(c.colour).Route(), ColourRoute::Leave) << c.name;
    EXPECT_EQ(IsSrgb(c.colour), c.srgb) << c.name;
  }
}

}  // namespace
}  // namespace zumo

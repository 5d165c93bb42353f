// Photos tagged with other colours than sRGB are read in sRGB, whatever kind of file carries
// the tag; sRGB and untagged photos are read exactly as decoded. lcms2, called here directly,
// gives the reference colours; ImageMagick, cwebp and heif-enc tag the files.
#include <gtest/gtest.h>

#include <lcms2.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "JpegTestTools.h"
#include "ReaderTestTools.h"
#include "photofiles/AvifWriter.h"
#include "photofiles/JpegImage.h"
#include "photofiles/PhotoFile.h"
#include "support/DisplayP3Profile.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

using Bytes = std::vector<std::uint8_t>;

// lcms2's own conversion of the picture from the profile to sRGB.
Bitmap LcmsToSrgb(const Bitmap& picture, const Bytes& icc) {
  cmsHPROFILE from = cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size()));
  cmsHPROFILE srgb = cmsCreate_sRGBProfile();
  cmsHTRANSFORM transform = cmsCreateTransform(from, TYPE_BGR_8, srgb, TYPE_BGR_8, INTENT_RELATIVE_COLORIMETRIC,
                                               cmsFLAGS_BLACKPOINTCOMPENSATION);
  Bitmap out = picture;
  for (int y = 0; y < out.Height(); ++y) cmsDoTransform(transform, picture.ScanLine(y), out.ScanLine(y), out.Width());
  cmsDeleteTransform(transform);
  cmsCloseProfile(srgb);
  cmsCloseProfile(from);
  return out;
}

TEST(PhotoColour, TaggedPhotosOfEveryKindAreReadInSrgbWithinTwoLevelsOfLcms) {
  if (!test::HaveTools("convert cwebp heif-enc")) GTEST_SKIP() << "ImageMagick, cwebp or heif-enc missing";
  test::TempDir dir;
  const std::string plain = dir.File("plain.jpg");
  test::WriteBytes(plain, EncodeJpeg(test::RandomBitmap(48, 32, 7), 95));
  const std::string p3 = dir.File("p3.icc");
  test::WriteBytes(p3, test::DisplayP3Profile());
  struct Case {
    std::string file, make;
    Bytes profile;  // what the reference converts from
  };
  const std::string adobe = "/usr/share/color/icc/compatibleWithAdobeRGB1998.icc";
  const std::vector<Case> cases = {
      {"adobe.jpg", "convert " + plain + " -profile " + adobe + " adobe.jpg", test::ReadBytes(adobe)},
      {"p3.jpg", "convert " + plain + " -profile p3.icc p3.jpg", test::DisplayP3Profile()},
      {"p3.png", "convert " + plain + " -profile p3.icc p3.png", test::DisplayP3Profile()},
      {"p3.webp", "convert " + plain + " -profile p3.icc p3w.png && cwebp -quiet -lossless -metadata icc p3w.png -o p3.webp",
       test::DisplayP3Profile()},
      {"p3icc.heic", "heif-enc -q 90 p3.jpg -o p3icc.heic", test::DisplayP3Profile()},
      {"p3nclx.avif", "true", test::DisplayP3Profile()},  // its nclx code points say what the profile says
  };
  // heif-enc writes no nclx of its own choosing here: our AVIF writer does.
  PhotoMetadata nclx;
  nclx.colour.nclx = NclxColour{12, 13, 6, true};
  test::WriteBytes(dir.File("p3nclx.avif"), EncodeAvif(test::RandomBitmap(48, 32, 7), 90, nclx));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    test::RunOrThrow("cd " + dir.path().string() + " && " + c.make + " >/dev/null 2>&1");
    const Photo stored = ReadPhoto(dir.File(c.file), 24, Turning::AsStored);
    ASSERT_FALSE(stored.metadata.colour.Empty());
    const Photo read = ReadPhoto(dir.File(c.file));
    EXPECT_TRUE(read.metadata.colour.Empty()) << "the pixels are sRGB now";
    EXPECT_LE(test::MaxByteDifference(read.picture, LcmsToSrgb(stored.picture, c.profile)), 2);
    EXPECT_GT(test::MaxByteDifference(read.picture, stored.picture), 2) << "the tag made a difference";
  }
  // Tagged sRGB (as ImageMagick's own profile says it) and untagged: exactly as decoded.
  test::RunOrThrow("cd " + dir.path().string() + " && convert " + plain +
                   " -profile /usr/share/color/icc/sRGB.icc srgb.jpg");
  for (const std::string& file : {plain, dir.File("srgb.jpg")}) {
    SCOPED_TRACE(file);
    EXPECT_TRUE(SamePixels(ReadPhoto(file).picture, ReadPhoto(file, 24, Turning::AsStored).picture));
  }
}

}  // namespace
}  // namespace zumo

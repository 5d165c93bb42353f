#include "batch/BatchRun.h"

#include <filesystem>
#include <new>
#include <ostream>

#include "Lib/common/BitmapUtils.h"
#include "Lib/common/SizeStep.h"
#include "imaging/Techniques.h"
#include "platform/Error.h"
#include "platform/PhotoFile.h"

namespace zumo::batch {

namespace {

constexpr int kZumoSmallestRadius = 5;

void ApplyStep(TABitmap& work, const Step& step) {
  const auto& v = step.ints;
  switch (step.kind) {
    case StepKind::ShiftRgb:
      work.ShiftRGB(v[0], v[1], v[2], work);
      break;
    case StepKind::Contrast:
      work.Contrast(v[0], work);
      break;
    case StepKind::Brightness:
      work.Brightness(work, static_cast<std::int16_t>(v[0]));
      break;
    case StepKind::Grayscale:
      work.Grayscale(work);
      break;
    case StepKind::Desaturate:
      work.Desaturate(work, static_cast<std::uint8_t>(v[0]));
      break;
    case StepKind::Noise:
      work.AddNoise(work, static_cast<std::uint8_t>(v[0]));
      break;
    case StepKind::Gamma:
      work.Gamma(work, step.real);
      break;
    case StepKind::BoxBlur:
      work.BoxBlur(v[0], work);
      break;
    case StepKind::Sharpen:
      work.Sharpen(v[0], work);
      break;
    case StepKind::Rank:
      work.RankFilter(work, static_cast<std::uint8_t>(v[0]));
      break;
    case StepKind::Edge:
      work.EdgeFilter(work);
      break;
    case StepKind::Resample: {
      const std::unique_ptr<Bitmap> resized = ResampleBitmap(work, v[0], v[1]);
      work.Assign(*resized);
      break;
    }
    case StepKind::Zumo: {
      const Bitmap current(work);
      work.Assign(ApplyGlow(work, current, kZumoSmallestRadius).result);
      break;
    }
    case StepKind::Technique: {
      const Bitmap current(work);
      work.Assign(ApplyTechnique(work, current, step.technique).result);
      break;
    }
  }
}

// True when both names lead to one existing file: writing the output would replace the input.
bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

}  // namespace

Bitmap ApplySteps(TABitmap& work, const Bitmap& picture, const std::vector<Step>& steps) {
  work.Assign(picture);
  for (const Step& step : steps) ApplyStep(work, step);
  return Bitmap(work);
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  Options options;
  try {
    options = ParseArguments(args);
  } catch (const UsageError& error) {
    err << "zumo-batch: " << error.what() << "\n"
        << "使い方は zumo-batch --help で表示されます (see zumo-batch --help)\n";
    return kExitUsage;
  }
  if (options.help) {
    out << UsageText();
    return kExitSuccess;
  }
  if (SameFile(options.input, options.output)) {
    err << "zumo-batch: 入力ファイルと同じファイルには保存できません: " << options.output << "\n";
    return kExitUsage;
  }

  try {
    TABitmap::FixNoiseSeed(options.seed);
    const Bitmap photo = ReadPhotoFile(options.input, 24, options.as_stored ? Turning::AsStored : Turning::Upright);
    const Bitmap sized = BringToPreset(photo, options.size);
    TABitmap work;
    const Bitmap result = ApplySteps(work, sized, options.steps);
    WritePhotoFile(result, options.output, options.format, options.quality);
  } catch (const std::bad_alloc&) {
    err << "zumo-batch: " << messages::kOutOfMemory << "\n";
    return kExitFileError;
  } catch (const std::exception& error) {
    err << "zumo-batch: " << error.what() << "\n";
    return kExitFileError;
  }
  return kExitSuccess;
}

}  // namespace zumo::batch

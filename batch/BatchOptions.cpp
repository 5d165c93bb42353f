#include "batch/BatchOptions.h"

#include <charconv>
#include <cmath>
#include <string_view>

#include "platform/Bitmap.h"

namespace zumo::batch {

namespace {

[[noreturn]] void Fail(const std::string& message) { throw UsageError(message); }

// A whole decimal number in min..max, nothing before or after it.
long long ParseInteger(std::string_view text, long long min, long long max, const std::string& option) {
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size())
    Fail(option + " の値 \"" + std::string(text) + "\" は整数ではありません");
  if (value < min || value > max)
    Fail(option + " の値 " + std::string(text) + " は範囲外です (" + std::to_string(min) + "〜" +
         std::to_string(max) + ")");
  return value;
}

int ParseInt(std::string_view text, int min, int max, const std::string& option) {
  return static_cast<int>(ParseInteger(text, min, max, option));
}

double ParseReal(std::string_view text, double min, double max, const std::string& option, const char* range) {
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    Fail(option + " の値 \"" + std::string(text) + "\" は数値ではありません");
  if (value < min || value > max) Fail(option + " の値 " + std::string(text) + " は範囲外です (" + range + ")");
  return value;
}

// Splits "a<sep>b<sep>c" into exactly `count` parts.
std::vector<std::string_view> SplitExactly(std::string_view text, char separator, std::size_t count,
                                           const std::string& option, const char* form) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
    if (at == std::string_view::npos) break;
    start = at + 1;
  }
  if (parts.size() != count) Fail(option + " の値は " + form + " の形で指定してください");
  return parts;
}

Technique ParseTechnique(std::string_view name) {
  if (name == "omakase") return Technique::Omakase;
  if (name == "furusugi") return Technique::Furusugi;
  if (name == "hadesugi") return Technique::Hadesugi;
  if (name == "yarisugi") return Technique::Yarisugi;
  Fail("--technique の値 \"" + std::string(name) + "\" は不明です (omakase, furusugi, hadesugi, yarisugi)");
}

SizePreset ParseSize(std::string_view text) {
  if (text == "as-loaded") return SizePreset::AsLoaded;
  if (text == "1600") return SizePreset::Long1600;
  if (text == "1024") return SizePreset::Long1024;
  if (text == "800") return SizePreset::Long800;
  Fail("--size の値 \"" + std::string(text) + "\" は不明です (as-loaded, 1600, 1024, 800)");
}

int ParseQuality(std::string_view text) {
  std::string allowed;
  for (const int quality : kSaveQualities) {
    if (text == std::to_string(quality)) return quality;
    allowed += (allowed.empty() ? "" : ", ") + std::to_string(quality);
  }
  Fail("--quality の値 \"" + std::string(text) + "\" は使えません (" + allowed + ")");
}

// The steps that take no value.
std::optional<StepKind> FlagStep(std::string_view option) {
  if (option == "--grayscale") return StepKind::Grayscale;
  if (option == "--edge") return StepKind::Edge;
  if (option == "--zumo") return StepKind::Zumo;
  return std::nullopt;
}

// The options that take a value (the next argument).
bool TakesValue(std::string_view option) {
  static constexpr std::string_view kNames[] = {
      "--size",       "--quality", "--seed",     "--shift-rgb", "--contrast", "--brightness", "--desaturate",
      "--noise",      "--gamma",   "--box-blur", "--sharpen",   "--rank",     "--resample",   "--technique",
      "--output-folder", "--format"};
  for (std::string_view name : kNames)
    if (option == name) return true;
  return false;
}

// The steps that take one value; std::nullopt for any other option.
std::optional<Step> ValueStep(const std::string& option, std::string_view value) {
  Step step{StepKind::Contrast};
  if (option == "--shift-rgb") {
    step.kind = StepKind::ShiftRgb;
    const auto parts = SplitExactly(value, ',', 3, option, "R,G,B");
    for (int i = 0; i < 3; ++i) step.ints[i] = ParseInt(parts[i], -255, 255, option);
  } else if (option == "--contrast") {
    step.kind = StepKind::Contrast;
    step.ints[0] = ParseInt(value, -100, 100, option);
  } else if (option == "--brightness") {
    step.kind = StepKind::Brightness;
    step.ints[0] = ParseInt(value, -255, 255, option);
  } else if (option == "--desaturate") {
    step.kind = StepKind::Desaturate;
    step.ints[0] = ParseInt(value, 0, 255, option);
  } else if (option == "--noise") {
    step.kind = StepKind::Noise;
    step.ints[0] = ParseInt(value, 0, 255, option);
  } else if (option == "--gamma") {
    step.kind = StepKind::Gamma;
    step.real = ParseReal(value, 0.75, 3.0, option, "0.75〜3.0");
  } else if (option == "--box-blur") {
    step.kind = StepKind::BoxBlur;
    step.ints[0] = ParseInt(value, 0, 90, option);
  } else if (option == "--sharpen") {
    step.kind = StepKind::Sharpen;
    step.ints[0] = ParseInt(value, 0, 255, option);
  } else if (option == "--rank") {
    step.kind = StepKind::Rank;
    step.ints[0] = ParseInt(value, 1, 9, option);
  } else if (option == "--resample") {
    step.kind = StepKind::Resample;
    std::string lowered(value);
    for (char& c : lowered)
      if (c == 'X') c = 'x';
    const auto parts = SplitExactly(lowered, 'x', 2, option, "幅x高さ (例 1600x1200)");
    step.ints[0] = ParseInt(parts[0], 1, Bitmap::kMaxWidth, option);
    step.ints[1] = ParseInt(parts[1], 1, Bitmap::kMaxHeight, option);
  } else if (option == "--technique") {
    step.kind = StepKind::Technique;
    step.technique = ParseTechnique(value);
  } else {
    return std::nullopt;
  }
  return step;
}

}  // namespace

Options ParseArguments(const std::vector<std::string>& args) {
  Options options;
  std::vector<std::string> files;
  bool size_seen = false, quality_seen = false, only_files = false, format_seen = false;

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (only_files || arg == "-" || arg.size() < 2 || arg[0] != '-') {
      files.push_back(arg);
      continue;
    }
    if (arg == "--") {
      only_files = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      return options;
    }
    if (arg == "--version") {
      options.version = true;
      return options;
    }
    if (arg == "--overwrite") {
      options.overwrite = true;
      continue;
    }
    if (arg == "--as-stored") {
      options.as_stored = true;
      continue;
    }
    if (const auto flag = FlagStep(arg)) {
      options.steps.push_back(Step{*flag});
      continue;
    }

    // Every other option takes the next argument as its value, even one starting with '-'
    // (negative numbers).
    if (!TakesValue(arg)) Fail("不明な指定です: " + arg);
    if (i + 1 >= args.size()) Fail(arg + " の値がありません");
    const std::string& value = args[++i];

    if (arg == "--output-folder") {
      if (!options.output_folder.empty()) Fail("--output-folder が二度指定されています");
      if (value.empty()) Fail("--output-folder の値が空です");
      options.output_folder = value;
    } else if (arg == "--format") {
      if (format_seen) Fail("--format が二度指定されています");
      format_seen = true;
      if (value == "bmp")
        options.format = SaveFormat::Bmp;
      else if (value == "jpg")
        options.format = SaveFormat::Jpeg;
      else
        Fail("--format の値 \"" + value + "\" は使えません (bmp, jpg)");
    } else if (arg == "--size") {
      if (size_seen) Fail("--size が二度指定されています");
      size_seen = true;
      options.size = ParseSize(value);
    } else if (arg == "--quality") {
      if (quality_seen) Fail("--quality が二度指定されています");
      quality_seen = true;
      options.quality = ParseQuality(value);
    } else if (arg == "--seed") {
      if (options.seed) Fail("--seed が二度指定されています");
      unsigned long long seed = 0;
      const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seed);
      if (value.empty() || error != std::errc() || end != value.data() + value.size())
        Fail("--seed の値 \"" + value + "\" は 0 以上の整数ではありません");
      options.seed = seed;
    } else {
      options.steps.push_back(*ValueStep(arg, value));
    }
  }

  if (!options.output_folder.empty()) {
    if (files.empty()) Fail("入力ファイルを指定してください");
    if (!format_seen) options.format = SaveFormat::Jpeg;
    options.inputs = files;
    return options;
  }
  if (format_seen) Fail("--format は --output-folder と一緒に指定してください");
  if (files.size() < 2) Fail("入力ファイルと出力ファイルを指定してください");
  if (files.size() > 2) Fail("ファイル名が多すぎます: " + files[2]);
  options.input = files[0];
  options.output = files[1];
  switch (PhotoKindByName(options.output)) {
    case PhotoKind::Bmp:
      options.format = SaveFormat::Bmp;
      break;
    case PhotoKind::Jpeg:
      options.format = SaveFormat::Jpeg;
      break;
    case PhotoKind::Unknown:
      Fail("出力ファイルの拡張子は .bmp, .jpg, .jpeg のいずれかにしてください: " + options.output);
  }
  return options;
}

std::string UsageText() {
  return R"(使い方: zumo-batch [--size 大きさ] [--quality 画質] [--seed N] [--as-stored] [処理 ...] 入力 出力
Usage:  zumo-batch [--size SIZE] [--quality Q] [--seed N] [--as-stored] [STEP ...] INPUT OUTPUT
        zumo-batch [設定 / SETTINGS] [STEP ...] --output-folder DIR [--format bmp|jpg] [--overwrite] INPUT...

入力の写真 (JPEG または BMP) を読み込み、大きさをそろえ、処理を指定の順に画像全体へ
かけて、出力に保存します。EXIF の向きの指定がある JPEG は正しい向きに直して読みます。
Reads a photo (JPEG or BMP), turned upright as its EXIF orientation says, brings it to a
size, runs the steps in the order given on the whole picture and saves the result.

入力 INPUT
  拡張子 .jpg .jpeg .bmp (大文字小文字を問わない) で形式を決めます。それ以外の名前は
  中身で判断します (PNG, WebP, HEIF/HEIC, AVIF も読めます)。 / Read by its extension
  (.jpg, .jpeg, .bmp in any letter case), any other name by its content (PNG, WebP,
  HEIF/HEIC and AVIF too).
出力 OUTPUT
  .bmp なら BMP、.jpg / .jpeg なら JPEG で保存します。それ以外の拡張子は使えません。
  失敗したときは出力ファイルを作らず、元からあるファイルもそのまま残します。
  .bmp saves a BMP, .jpg/.jpeg a JPEG; no other extension. A failed run leaves no
  output behind and keeps an existing file as it was. The input is never changed.

まとめて / Many photos
  --output-folder DIR  すべての入力に同じ処理をかけ、DIR に入力と同じ名前で保存します。
                       二つの CPU で並べて処理します。失敗した写真は報告して、残りを続けます。
                       runs the steps on every INPUT, two at a time, and writes each result
                       into DIR under its input's name; a photo that fails is reported and
                       the others go on (exit status 1 if any failed)
  --format bmp|jpg     まとめて保存する形式 (既定 jpg) / the format of those results (default jpg)
  --overwrite          DIR に同じ名前のファイルがあっても上書きします (既定は上書きしない)
                       replace existing results (by default an existing file is never replaced)

設定 / Settings
  --size as-loaded|1600|1024|800  長辺の上限 (既定 as-loaded: そのまま)
                                  long-side limit (default as-loaded: keep the size)
  --quality 90|85|80              JPEG の画質 (既定 85) / JPEG quality (default 85)
  --seed N                        ノイズの乱数を固定 (0 以上の整数)
                                  fixes the noise generator (N >= 0)
  --as-stored                     JPEG の EXIF の向きを無視し、保存されたままの向きで読む
                                  ignore a JPEG's EXIF orientation (read it as stored)
  --version                       版を表示 / print the version

処理 / Steps (一つの処理を何度でも指定できます / any step may repeat)
  --shift-rgb R,G,B   色のずらし (各 -255〜255) / add to red, green, blue
  --contrast P        コントラスト (-100〜100 %) / contrast in percent
  --brightness D      明るさ (-255〜255) / brightness
  --grayscale         モノクロ / grey
  --desaturate A      彩度を下げる (0〜255) / mix towards grey
  --noise N           ノイズ (0〜255) / noise
  --gamma G           トーンカーブ (0.75〜3.0) / tone curve
  --box-blur R        ぼかし、半径 R (0〜90) / box blur of radius R
  --sharpen A         シャープ、強さ A (0〜255) / sharpen with weight A
  --rank K            3x3 の K 番目 (1〜9、5 でメディアン) / 3x3 rank filter (5: median)
  --edge              エッジ抽出 / edge map
  --resample WxH      幅 W、高さ H に縮小・拡大 / area-averaging resize to W x H
  --zumo              Zumoフィルタ / the Zumo glow filter
  --technique T       丼勘定技: omakase (おまかせ！), furusugi (古杉), hadesugi (派手杉),
                      yarisugi (槍杉) / the preset techniques

終了コード / Exit status
  0 成功 / success
  1 ファイルを読めない・書けない / a file could not be read or written
  2 指定の誤り / bad arguments

例 / Examples
  zumo-batch --size 1024 --technique omakase photo.jpg result.jpg
  zumo-batch --contrast 20 --brightness -10 --zumo --quality 90 in.bmp out.jpg
  zumo-batch --size 1600 --technique omakase --output-folder done photos/*.heic
)";
}

}  // namespace zumo::batch

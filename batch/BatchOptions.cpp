#include "batch/BatchOptions.h"

#include <charconv>
#include <string_view>

#include "Lib/recipe/FramingText.h"
#include "platform/Bitmap.h"

namespace zumo::batch {

namespace {

[[noreturn]] void Fail(const std::string& message) { throw UsageError(message); }

// "  --name VALUE" padded to the column where the help's descriptions start.
std::string OptionColumn(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text + " ";
}

// Splits "a<sep>b<sep>c" into exactly `count` parts.
std::vector<std::string_view> SplitExactly(std::string_view text, char separator, std::size_t count,
                                           const std::string& option, std::string_view form) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
    if (at == std::string_view::npos) break;
    start = at + 1;
  }
  if (parts.size() != count) Fail(option + " の値は " + std::string(form) + " の形で指定してください");
  return parts;
}

SizePreset ParseSize(std::string_view text) {
  if (const std::optional<SizePreset> preset = SizePresetByName(text)) return *preset;
  std::string names;
  for (const auto& [preset, name] : SizePresetNames()) names += (names.empty() ? "" : ", ") + std::string(name);
  Fail("--size の値 \"" + std::string(text) + "\" は不明です (" + names + ")");
}

int ParseQuality(std::string_view text) {
  int quality = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), quality);
  // Written as a plain number: no sign, no leading zero.
  const bool plain = !text.empty() && text[0] != '0' && error == std::errc() && end == text.data() + text.size();
  if (!plain || quality < 1 || quality > 100) Fail("--quality の値 \"" + std::string(text) + "\" は使えません (1 から 100)");
  return quality;
}

// The kinds that take a quality or lossless, for the messages that refuse them.
std::string KindsTaking(bool (*takes)(const OutputKind&)) {
  std::string names;
  for (const OutputKind& kind : OutputKinds())
    if (takes(kind)) names.append(names.empty() ? "" : ", ").append(kind.name);
  return names;
}

// A quality or lossless that the output's kind does not take is a usage error.
void CheckKindSettings(const Options& options) {
  const OutputKind& kind = OutputKindOf(options.format);
  if (options.quality_given && !kind.TakesQuality())
    Fail("--quality は " + std::string(kind.label) + " には指定できません (" +
         KindsTaking([](const OutputKind& k) { return k.TakesQuality(); }) + " だけです)");
  if (options.lossless && !kind.takes_lossless)
    Fail("--lossless は " + std::string(kind.label) + " には指定できません (" +
         KindsTaking([](const OutputKind& k) { return k.takes_lossless; }) + " だけです)");
}

// ".bmp, .jpg, .jpeg, ..." for the message about an output name.
std::string ExtensionList() {
  std::string list;
  for (const OutputKind& kind : OutputKinds())
    for (std::string_view extension : kind.extensions) list.append(list.empty() ? "" : ", ").append(extension);
  return list;
}

// The step an option names, if any.
const StepInfo* StepOption(std::string_view option) {
  return option.starts_with("--") ? FindStep(option.substr(2)) : nullptr;
}

// The options of the settings and the many-photo form that take a value (the next argument).
bool SettingTakesValue(std::string_view option) {
  static constexpr std::string_view kNames[] = {
      "--size",   "--quality", "--seed",        "--output-folder", "--format", "--recipe", "--recipe-from",
      "--print-recipe", "--write-recipe", "--turn", "--flip", "--straighten", "--crop", "--crop-ratio"};
  for (std::string_view name : kNames)
    if (option == name) return true;
  return false;
}

// A framing value read by the recipes' own readers; their refusals are usage errors.
template <class Reader>
auto FramingValue(Reader read, std::string_view text, const std::string& option) {
  try {
    return read(text, option);
  } catch (const StepValueError& error) {
    Fail(error.what());
  }
}

// A step with its value as the command line writes it: "R,G,B", "WxH" (or "WXH"), or one value.
Step ValueStep(const StepInfo& info, const std::string& option, std::string_view value) {
  Step step = DefaultStep(info);
  std::vector<std::string_view> parts{value};
  std::string lowered;
  if (info.value == StepValue::Triple) {
    parts = SplitExactly(value, ',', 3, option, info.value_form);
  } else if (info.value == StepValue::Size) {
    lowered = value;
    for (char& c : lowered)
      if (c == 'X') c = 'x';
    parts = SplitExactly(lowered, 'x', 2, option, "幅x高さ (例 1600x1200)");
  }
  try {
    for (std::size_t i = 0; i < parts.size(); ++i) ReadParameter(step, static_cast<int>(i), parts[i], option);
  } catch (const StepValueError& error) {
    Fail(error.what());
  }
  return step;
}

}  // namespace

Options ParseArguments(const std::vector<std::string>& args) {
  Options options;
  std::vector<std::string> files;
  bool size_seen = false, quality_seen = false, only_files = false, format_seen = false;
  bool turn_seen = false, straighten_seen = false;

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
    if (arg == "--lossless") {
      options.lossless = true;
      continue;
    }
    if (arg == "--as-stored") {
      options.as_stored = true;
      continue;
    }
    if (arg == "--strip-location" || arg == "--strip-metadata") {
      // Stripping everything also strips the location, whatever the order.
      if (arg == "--strip-metadata")
        options.metadata = MetadataChoice::None;
      else if (options.metadata == MetadataChoice::All)
        options.metadata = MetadataChoice::WithoutLocation;
      continue;
    }
    const StepInfo* const step = StepOption(arg);
    if (step && step->value == StepValue::None) {
      options.steps.push_back(DefaultStep(*step));
      continue;
    }

    // Every other option takes the next argument as its value, even one starting with '-'
    // (negative numbers).
    if (!step && !SettingTakesValue(arg)) Fail("不明な指定です: " + arg);
    if (i + 1 >= args.size()) Fail(arg + " の値がありません");
    const std::string& value = args[++i];

    if (step) {
      options.steps.push_back(ValueStep(*step, arg, value));
      continue;
    }

    if (arg == "--output-folder") {
      if (!options.output_folder.empty()) Fail("--output-folder が二度指定されています");
      if (value.empty()) Fail("--output-folder の値が空です");
      options.output_folder = value;
    } else if (arg == "--format") {
      if (format_seen) Fail("--format が二度指定されています");
      format_seen = true;
      const OutputKind* kind = OutputKindByName(value);
      if (kind == nullptr) Fail("--format の値 \"" + value + "\" は使えません (" + OutputKindNames(", ") + ")");
      options.format = kind->format;
    } else if (arg == "--recipe" || arg == "--recipe-from") {
      if (!options.recipe_file.empty() || !options.recipe_photo.empty())
        Fail("レシピは一つだけ指定してください (--recipe か --recipe-from)");
      if (value.empty()) Fail(arg + " の値が空です");
      (arg == "--recipe" ? options.recipe_file : options.recipe_photo) = value;
    } else if (arg == "--print-recipe") {
      if (args.size() != 2) Fail("--print-recipe は写真一つだけと指定してください: zumo-batch --print-recipe 写真.jpg");
      options.print_recipe = value;
      return options;
    } else if (arg == "--write-recipe") {
      if (!options.write_recipe.empty()) Fail("--write-recipe が二度指定されています");
      if (value.empty()) Fail(arg + " の値が空です");
      options.write_recipe = value;
    } else if (arg == "--turn") {
      if (turn_seen) Fail("--turn が二度指定されています");
      turn_seen = true;
      options.framing.quarter_turns = FramingValue(ReadTurn, value, arg);
    } else if (arg == "--flip") {
      bool& flip = FramingValue(ReadFlipIsHorizontal, value, arg) ? options.framing.flip_horizontal
                                                                   : options.framing.flip_vertical;
      if (flip) Fail("--flip " + value + " が二度指定されています");
      flip = true;
    } else if (arg == "--straighten") {
      if (straighten_seen) Fail("--straighten が二度指定されています");
      straighten_seen = true;
      options.framing.straighten_tenths = FramingValue(ReadDegrees, value, arg);
    } else if (arg == "--crop" || arg == "--crop-ratio") {
      if (!std::holds_alternative<std::monostate>(options.framing.crop))
        Fail("切り抜きは一つだけ指定してください (--crop か --crop-ratio)");
      if (arg == "--crop")
        options.framing.crop = FramingValue(ReadCropNumbers, value, arg);
      else
        options.framing.crop = FramingValue(ReadRatio, value, arg);
    } else if (arg == "--size") {
      if (size_seen) Fail("--size が二度指定されています");
      size_seen = true;
      options.size = ParseSize(value);
    } else if (arg == "--quality") {
      if (quality_seen) Fail("--quality が二度指定されています");
      quality_seen = true;
      options.quality = ParseQuality(value);
      options.quality_given = true;
    } else if (arg == "--seed") {
      if (options.seed) Fail("--seed が二度指定されています");
      unsigned long long seed = 0;
      const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seed);
      if (value.empty() || error != std::errc() || end != value.data() + value.size())
        Fail("--seed の値 \"" + value + "\" は 0 以上の整数ではありません");
      options.seed = seed;
    }
  }

  if (const std::string problem = FramingProblem(options.framing); !problem.empty()) Fail(problem);
  const bool with_recipe = !options.recipe_file.empty() || !options.recipe_photo.empty();
  if (size_seen && with_recipe) Fail("--size はレシピと一緒には指定できません (大きさはレシピが決めます)");
  if (options.framing != Framing{} && with_recipe)
    Fail("--turn, --flip, --straighten, --crop, --crop-ratio はレシピと一緒には指定できません (フレーミングはレシピが決めます)");
  // A recipe describes the photo as the window shows it: upright.
  if (options.as_stored && with_recipe) Fail("--as-stored はレシピと一緒には指定できません");
  if (!options.output_folder.empty()) {
    if (files.empty()) Fail("入力ファイルを指定してください");
    if (!format_seen) options.format = SaveFormat::Jpeg;
    options.inputs = files;
    CheckKindSettings(options);
    return options;
  }
  if (format_seen) Fail("--format は --output-folder と一緒に指定してください");
  // Only a recipe to write: nothing is read or saved.
  if (!options.write_recipe.empty() && files.empty()) return options;
  if (files.size() < 2) Fail("入力ファイルと出力ファイルを指定してください");
  if (files.size() > 2) Fail("ファイル名が多すぎます: " + files[2]);
  options.input = files[0];
  options.output = files[1];
  const OutputKind* kind = OutputKindByPath(options.output);
  if (kind == nullptr)
    Fail("出力ファイルの拡張子は " + ExtensionList() + " のいずれかにしてください: " + options.output);
  options.format = kind->format;
  CheckKindSettings(options);
  return options;
}

void CheckFramingFits(const Framing& framing, const Bitmap& photo) {
  const FrameSize uncropped = UncroppedSize(framing, {photo.Width(), photo.Height()});
  if (const std::string problem = CropProblem(ResolveCrop(framing.crop, uncropped), uncropped); !problem.empty())
    throw UsageError(problem);
}

std::string UsageText() {
  std::string sizes;
  for (const auto& [preset, name] : SizePresetNames()) sizes.append(sizes.empty() ? "" : "|").append(name);
  const std::string formats = OutputKindNames("|");
  std::string text = R"(使い方: zumo-batch [--size 大きさ] [--quality 画質] [--seed N] [--as-stored] [フレーミング] [処理 ...] 入力 出力
Usage:  zumo-batch [--size SIZE] [--quality Q] [--seed N] [--as-stored] [FRAMING] [STEP ...] INPUT OUTPUT
        zumo-batch [設定 / SETTINGS] [STEP ...] --output-folder DIR [--format )" + formats + R"(] [--overwrite] INPUT...

入力の写真を読み込み、大きさをそろえ、処理を指定の順に画像全体へかけて、出力に保存します。
EXIF の向きの指定がある JPEG は正しい向きに直し、sRGB 以外の色の写真は sRGB に直して読みます。
Reads a photo, turned upright as its EXIF orientation says and its colours converted to sRGB,
brings it to a size, runs the steps in the order given on the whole picture and saves the result.

入力 INPUT
  拡張子 .jpg .jpeg .bmp (大文字小文字を問わない) で形式を決めます。それ以外の名前は
  中身で判断します (PNG, WebP, HEIF/HEIC, AVIF も読めます)。 / Read by its extension
  (.jpg, .jpeg, .bmp in any letter case), any other name by its content (PNG, WebP,
  HEIF/HEIC and AVIF too).
出力 OUTPUT
  拡張子 (大文字小文字を問わない) で形式を決めます / the extension (any letter case) picks the kind:
)";
  for (const OutputKind& kind : OutputKinds()) {
    std::string extensions = "    ";
    for (std::string_view extension : kind.extensions) extensions.append(extension).append(" ");
    text += OptionColumn(extensions, 17) + std::string(kind.label);
    if (kind.TakesQuality())
      text += " (--quality 1..100, 既定 / default " + std::to_string(kind.default_quality) +
              (kind.takes_lossless ? "; --lossless" : "") + ")";
    text += '\n';
  }
  text += R"(  失敗したときは出力ファイルを作らず、元からあるファイルもそのまま残します。
  JPEG, PNG, WebP, AVIF は写真の EXIF・XMP (JPEG は IPTC も) とレシピを持ちます。
  A failed run leaves no output behind and keeps an existing file as it was. The input is
  never changed. JPEG, PNG, WebP and AVIF carry the photo's EXIF and XMP (JPEG its IPTC too)
  and the recipe.

まとめて / Many photos
  --output-folder DIR  すべての入力に同じ処理をかけ、DIR に入力と同じ名前で保存します。
                       二つの CPU で並べて処理します。失敗した写真は報告して、残りを続けます。
                       runs the steps on every INPUT, two at a time, and writes each result
                       into DIR under its input's name; a photo that fails is reported and
                       the others go on (exit status 1 if any failed)
  --format KIND        まとめて保存する形式 )" + formats + R"( (既定 jpg)
                       the kind of those results (default jpg)
  --overwrite          DIR に同じ名前のファイルがあっても上書きします (既定は上書きしない)
                       replace existing results (by default an existing file is never replaced)

設定 / Settings
)";
  text += OptionColumn("  --size " + sizes, 33) + "長辺の上限 (既定 as-loaded: そのまま)\n" + std::string(34, ' ') +
          "long-side limit (default as-loaded: keep the size)\n";
  text += OptionColumn("  --quality 1..100", 33) + "画質 (既定は形式ごと、上の表) / quality (default: per kind, above)\n";
  text += OptionColumn("  --lossless", 33) + "WebP をロスレスで保存 / lossless WebP\n";
  text += R"(  --seed N                        ノイズの乱数を固定 (0 以上の整数)
                                  fixes the noise generator (N >= 0)
  --as-stored                     JPEG の EXIF の向きも写真の色の指定も無視し、保存されたままに読む
                                  read as stored: no EXIF turn, no colour conversion to sRGB
  --strip-location                位置情報 (GPS) を保存しない / drop every GPS tag (EXIF, XMP)
  --strip-metadata                EXIF・XMP・IPTC を保存しない / write no EXIF, XMP or IPTC
  --version                       版を表示 / print the version

フレーミング / Framing (読み込んだ直後、--size の前に、この順で / right after reading, before
--size, in this order, wherever they stand)
  --turn 90|180|270               時計回りに回転 / turn clockwise
  --flip horizontal|vertical      左右 (horizontal) か上下 (vertical) に反転、両方なら二度指定
                                  mirror left-right or top-bottom; give it twice for both
  --straighten DEGREES            傾きを補正 (-45..45、小数一桁、正は時計回り)。四隅が空かないよう
                                  写真と同じ縦横比の最大の長方形に切り抜きます
                                  straighten (-45..45, one decimal, positive clockwise), cut to
                                  the largest rectangle of the photo's proportions inside it
  --crop X,Y,W,H                  回転・補正後の画像の座標で切り抜き / crop, in the pixels of the
                                  turned and straightened picture
  --crop-ratio W:H                その比率の最大の長方形を中央で切り抜き (例 1:1, 4:3, 3:4)
                                  the largest centred crop of that ratio
  切り抜きが画像からはみ出す、大きさ 0、角度が範囲外は指定の誤りで、何も書きません。
  A crop outside the picture, a zero size or an angle out of range is a usage error.

レシピ / Recipes
  --recipe FILE                   レシピ (.zumo) の大きさと処理を先にかけます (--size とは併用不可)
                                  runs a recipe file's size and steps first (not with --size)
  --recipe-from PHOTO             Zumoミキサーで保存した写真 (JPEG, PNG, WebP, AVIF) に残る
                                  レシピを先にかけます / the same with the recipe a photo
                                  saved by the window carries (JPEG, PNG, WebP, AVIF)
  --print-recipe PHOTO            その写真のレシピを表示します / prints that recipe
  --write-recipe FILE             指定したフレーミング・大きさ・処理をレシピ (.zumo) に書きます。
                                  入力と出力を省くとレシピだけを書きます / writes the framing,
                                  size and steps given as a recipe file; without INPUT and
                                  OUTPUT only the recipe is written

処理 / Steps (一つの処理を何度でも指定できます / any step may repeat)
)";
  for (const StepInfo& step : StepTable()) {
    std::string option = "  --";
    option.append(step.name);
    if (step.value != StepValue::None) option.append(" ").append(step.value_form);
    text.append(OptionColumn(option, 21)).append(step.help_ja);
    if (step.value == StepValue::Technique)  // a list of names: on a line of its own
      text.append(" / ").append(step.help_en).append(":\n").append(22, ' ').append(RangeOf(step));
    else if (step.value == StepValue::None)
      text.append(" / ").append(step.help_en);
    else
      text.append(" (").append(RangeOf(step)).append(") / ").append(step.help_en);
    text += '\n';
  }
  text += R"(
終了コード / Exit status
  0 成功 / success
  1 ファイルを読めない・書けない / a file could not be read or written
  2 指定の誤り / bad arguments

例 / Examples
  zumo-batch --size 1024 --technique omakase photo.jpg result.jpg
  zumo-batch --contrast 20 --brightness -10 --zumo --quality 90 in.bmp out.jpg
  zumo-batch --size 1600 --technique omakase --output-folder done photos/*.heic
  zumo-batch --recipe look.zumo --output-folder done photos/*.jpg
  zumo-batch --straighten -2 --crop-ratio 1:1 --size 800 holiday.jpg profile.jpg
)";
  return text;
}

}  // namespace zumo::batch

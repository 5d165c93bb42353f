#include "batch/BatchRun.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <new>
#include <ostream>
#include <limits>
#include <set>

#include "Lib/recipe/Develop.h"
#include "Lib/recipe/Recipe.h"
#include "photofiles/PhotoFile.h"
#include "platform/Error.h"
#include "platform/Threads.h"

namespace zumo::batch {

namespace {


// True when both names lead to one existing file: writing the output would replace the input.
bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

// Reads, sizes, retouches and writes one photo; raises on failure. `before_slow_save` runs
// before a save of a kind that may take seconds.
void RunOne(const Options& options, const std::string& input, const std::string& output,
            const std::function<void()>& before_slow_save = {}) {
  const Photo photo = ReadPhoto(input, 24, options.as_stored ? Turning::AsStored : Turning::Upright);
  CheckFramingFits(options.framing, photo.picture);
  TABitmap work;
  const Bitmap result = Develop(work, photo.picture, options.ToRecipe());
  OutputSettings settings;
  settings.quality = options.quality_given ? options.quality : 0;  // 0: the kind's own default
  settings.lossless = options.lossless;
  settings.metadata = MetadataToSave(photo.metadata, result, options.metadata, options.format);
  if (OutputKindOf(options.format).slow && before_slow_save) before_slow_save();
  WriteOutputFile(result, output, options.format, settings);
}

// The recipe asked for, put in front: its framing and size become the framing and size, its
// steps come before the command line's. Raises when the recipe cannot be read.
void PutRecipeFirst(Options& options) {
  if (options.recipe_file.empty() && options.recipe_photo.empty()) return;
  Recipe recipe = options.recipe_file.empty() ? ReadRecipeFromPhoto(options.recipe_photo)
                                              : ReadRecipeFile(options.recipe_file);
  options.size = recipe.size;
  options.framing = recipe.framing;
  recipe.steps.insert(recipe.steps.end(), options.steps.begin(), options.steps.end());
  options.steps = std::move(recipe.steps);
}

// The many-photo form: the photos are pieces that this thread and the helper thread take, the
// next one not yet started, as they are free (RunPieces). Each result is what the one-photo
// form would write for it.
int RunMany(const Options& options, std::ostream& err, bool terminal) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::create_directories(options.output_folder, error);
  if (!fs::is_directory(options.output_folder)) {
    err << "zumo-batch: 出力フォルダ " << options.output_folder << " を作れません\n";
    return kExitFileError;
  }
  const std::string extension(OutputKindOf(options.format).Extension());
  const std::size_t count = options.inputs.size();
  // Output names decided up front: two inputs of one name must not write one file.
  std::vector<std::string> outputs(count);
  std::vector<std::string> refusals(count);
  std::set<std::string> taken;
  for (std::size_t i = 0; i < count; ++i) {
    outputs[i] = (fs::path(options.output_folder) / fs::path(options.inputs[i]).stem()).string() + extension;
    if (!taken.insert(outputs[i]).second)
      refusals[i] = "出力 " + outputs[i] + " は前の入力と同じ名前になります";
    else if (!options.overwrite && fs::exists(outputs[i]))
      refusals[i] = "出力 " + outputs[i] + " は既にあります (上書きするには --overwrite)";
    else if (SameFile(options.inputs[i], outputs[i]))
      refusals[i] = "入力ファイルと同じファイルには保存できません: " + outputs[i];
  }

  std::mutex report;
  std::size_t started = 0;
  std::atomic<bool> any_failed{false};
  auto say = [&](const std::string& line) {  // with `report` held
    if (terminal) err << "\r\033[K";
    err << line;
  };
  auto photo = [&](std::size_t i) {
    {
      const std::lock_guard<std::mutex> lock(report);
      ++started;
      if (terminal) {
        say(std::to_string(started) + "/" + std::to_string(count) + " " + options.inputs[i]);
        err.flush();
      }
    }
    std::string failure = refusals[i];
    if (failure.empty()) {
      try {
        RunOne(options, options.inputs[i], outputs[i]);
      } catch (const std::bad_alloc&) {
        failure = messages::kOutOfMemory;
      } catch (const std::exception& e) {
        failure = e.what();
      }
    }
    if (!failure.empty()) {
      any_failed = true;
      const std::lock_guard<std::mutex> lock(report);
      say("zumo-batch: " + options.inputs[i] + ": " + failure + "\n");
    }
  };
  // Every photo is work enough for a thread of its own.
  RunPieces(count, UseSecondThread(std::numeric_limits<std::size_t>::max(), count >= 2), photo);
  if (terminal) {
    say(std::to_string(count) + "/" + std::to_string(count) + " 完了 / done\n");
  }
  return any_failed ? kExitFileError : kExitSuccess;
}

}  // namespace

std::string VersionText() { return "zumo-batch " ZUMO_VERSION "\n"; }

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool terminal) {
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
  if (options.version) {
    out << VersionText();
    return kExitSuccess;
  }
  try {
    if (!options.print_recipe.empty()) {
      out << FormatRecipe(ReadRecipeFromPhoto(options.print_recipe));
      return kExitSuccess;
    }
    PutRecipeFirst(options);
    if (!options.write_recipe.empty()) {
      WriteRecipeFile(options.ToRecipe(), options.write_recipe);
      if (options.input.empty() && options.inputs.empty()) return kExitSuccess;
    }
  } catch (const std::exception& error) {
    err << "zumo-batch: " << error.what() << "\n";
    return kExitFileError;
  }
  if (!options.output_folder.empty()) {
    TABitmap::FixNoiseSeed(options.seed);
    return RunMany(options, err, terminal);
  }
  if (SameFile(options.input, options.output)) {
    err << "zumo-batch: 入力ファイルと同じファイルには保存できません: " << options.output << "\n";
    return kExitUsage;
  }

  try {
    TABitmap::FixNoiseSeed(options.seed);
    RunOne(options, options.input, options.output, [&] {
      // On a terminal a long save says what it is doing, as the many-photo form does.
      if (terminal) err << "保存しています / saving " << options.output << " (" << OutputKindOf(options.format).label << ")\n";
    });
  } catch (const UsageError& error) {  // a crop that does not fit the photo
    err << "zumo-batch: " << error.what() << "\n"
        << "使い方は zumo-batch --help で表示されます (see zumo-batch --help)\n";
    return kExitUsage;
  } catch (const std::bad_alloc&) {
    err << "zumo-batch: " << messages::kOutOfMemory << "\n";
    return kExitFileError;
  } catch (const Error& error) {  // a reader's or writer's error, with the file it is about
    err << "zumo-batch: " << MessageNamingFile(error) << "\n";
    return kExitFileError;
  } catch (const std::exception& error) {
    err << "zumo-batch: " << error.what() << "\n";
    return kExitFileError;
  }
  return kExitSuccess;
}

}  // namespace zumo::batch

#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Lib/common/SizeStep.h"
#include "Lib/recipe/Recipe.h"
#include "imaging/Framing.h"
#include "photofiles/PhotoFile.h"

namespace zumo::batch {

// The steps of the command line are the engine's steps as values.
using zumo::Step;

struct Options {
  bool help = false;
  bool as_stored = false;  // decode as stored: no EXIF turn, no colour conversion
  // How much of each input's metadata its result carries (--strip-location, --strip-metadata).
  MetadataChoice metadata = MetadataChoice::All;
  bool version = false;
  // The many-photo form: every file name is an input, each result goes into this folder
  // under its input's name with the extension of `format` (default jpg).
  std::string output_folder;
  std::vector<std::string> inputs;
  bool overwrite = false;
  SizePreset size = SizePreset::AsLoaded;
  // --quality as given (1..100), or the JPEG default; only a given quality reaches kinds
  // with other defaults (WebP, AVIF).
  int quality = kDefaultSaveQuality;
  bool quality_given = false;
  bool lossless = false;  // --lossless: WebP only
  std::optional<std::uint64_t> seed;
  // --turn, --flip, --straighten, --crop, --crop-ratio: applied to each photo as it is read,
  // before the size, wherever they stand on the command line.
  Framing framing;
  std::vector<Step> steps;
  // The framing, the size and the steps as one recipe, the form every photo is developed by.
  Recipe ToRecipe() const { return Recipe{size, steps, framing}; }
  // A recipe to run before the steps (its size and its steps): from a recipe file, or from
  // the comment of a JPEG the window saved. At most one; not with --size.
  std::string recipe_file;
  std::string recipe_photo;
  // --print-recipe: print the recipe this JPEG carries, do nothing else.
  std::string print_recipe;
  // --write-recipe: write the recipe of the framing, size and steps (after a recipe asked
  // for) to this file; with no file names, that is all the run does.
  std::string write_recipe;
  std::string input;
  std::string output;
  SaveFormat format = SaveFormat::Bmp;
};

// A malformed command line; the message is ready to be shown to the user.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses the arguments after the program name. Raises UsageError for an unknown option, a
// missing, malformed or out-of-range value, a missing or extra file name, or an output name
// whose extension picks no format. With --help the rest is not checked.
Options ParseArguments(const std::vector<std::string>& args);

// Raises UsageError when the framing's crop does not fit `photo` once turned and
// straightened (the only check that needs the photo).
void CheckFramingFits(const Framing& framing, const Bitmap& photo);

// The text of --help.
std::string UsageText();

}  // namespace zumo::batch

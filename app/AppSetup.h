#pragma once

#include <string>
#include <vector>

class QApplication;

namespace zumo::app {

// The program's name, as the error report's title shows it.
inline constexpr const char* kProgramName = "zumo-mixer";

// Everything the application object needs before the window is built: the program's name,
// the Fusion style, the window's Japanese gothic font at 12 pixels, and Qt's own Japanese
// translations so that the file dialogs and message boxes speak Japanese. Shared by the
// program, its tests and its benchmarks so they all see the same window.
void ConfigureApplication(QApplication& app);

}  // namespace zumo::app

namespace zumo::app {

// What the command line asks for: `zumo-mixer [FILE]`, `--help`, `--version`; "--" ends the
// options (a file whose name starts with '-'). Anything else is a usage error.
struct CommandLine {
  enum class Action { Run, Help, Version, UsageError };
  Action action = Action::Run;
  std::string file;     // Run: the photo to load once the window is shown (may be empty)
  std::string message;  // UsageError: what was wrong
};

CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The texts of --help and --version.
std::string HelpText();
std::string VersionText();

}  // namespace zumo::app

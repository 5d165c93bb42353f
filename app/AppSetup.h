#pragma once

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

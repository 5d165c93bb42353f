#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "AppSetup.h"
#include "Unit1.h"

namespace {

constexpr const char* kNoDisplay =
    "zumo-mixer: 画面に接続できません。デスクトップ(X11 または Wayland)の中で起動してください。\n"
    "zumo-mixer: cannot reach a display; start it from a desktop session (DISPLAY or WAYLAND_DISPLAY).\n";

bool DisplayAvailable() {
  // An explicitly chosen platform (offscreen, vnc...) is the user's business.
  if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) return true;
  return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// Qt ends the process with abort() when no platform plugin can start (for instance when
// DISPLAY names a server that is gone); say so plainly and leave with an error status.
void ReportFatal(QtMsgType type, const QMessageLogContext&, const QString& message) {
  const QByteArray text = message.toLocal8Bit();
  std::fprintf(stderr, "%s\n", text.constData());
  if (type == QtFatalMsg) {
    if (message.contains(QLatin1String("platform plugin")) || message.contains(QLatin1String("display")))
      std::fputs(kNoDisplay, stderr);
    std::_Exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  // The command line is read before anything of the window exists: help, version and usage
  // errors need no display.
  const zumo::app::CommandLine line = zumo::app::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  switch (line.action) {
    case zumo::app::CommandLine::Action::Help:
      std::fputs(zumo::app::HelpText().c_str(), stdout);
      return 0;
    case zumo::app::CommandLine::Action::Version:
      std::fputs(zumo::app::VersionText().c_str(), stdout);
      return 0;
    case zumo::app::CommandLine::Action::UsageError:
      std::fprintf(stderr, "zumo-mixer: %s\nzumo-mixer --help で使い方を表示します (see zumo-mixer --help)\n",
                   line.message.c_str());
      return 2;
    case zumo::app::CommandLine::Action::Run:
      break;
  }
  if (!DisplayAvailable()) {
    std::fputs(kNoDisplay, stderr);
    return 1;
  }
  qInstallMessageHandler(ReportFatal);
  QApplication app(argc, argv);
  qInstallMessageHandler(nullptr);
  zumo::app::ConfigureApplication(app);
  TForm1 Form1;
  Form1.show();
  if (!line.file.empty()) {
    // Loaded once the window is up, as if the name had been confirmed in the open dialog.
    const QString path = QFile::decodeName(QByteArray::fromStdString(line.file));
    QTimer::singleShot(0, &Form1, [&Form1, path] { Form1.OpenNamedPhoto(path); });
  }
  return app.exec();
}

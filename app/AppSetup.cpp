#include "AppSetup.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QStyleFactory>
#include <QTranslator>

namespace zumo::app {

namespace {

void InstallJapaneseTranslations(QApplication& app) {
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  for (const char* catalogue : {"qtbase_ja", "qt_ja"}) {
    auto* translator = new QTranslator(&app);
    if (translator->load(QString::fromLatin1(catalogue), folder)) {
      QApplication::installTranslator(translator);
      return;  // qt_ja only bundles qtbase_ja and friends: one is enough
    }
    delete translator;
  }
}

}  // namespace

void ConfigureApplication(QApplication& app) {
  QApplication::setApplicationName(QString::fromLatin1(kProgramName));
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  // An explicit font, so that the metrics never depend on what fallback a machine picks.
  QFont font(QStringLiteral("IPAPGothic"));
  font.setPixelSize(12);
  QApplication::setFont(font);
  InstallJapaneseTranslations(app);
}

}  // namespace zumo::app

namespace zumo::app {

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  std::vector<std::string> files;
  bool only_files = false;
  for (const std::string& arg : args) {
    if (!only_files && arg == "--") {
      only_files = true;
    } else if (!only_files && (arg == "--help" || arg == "-h")) {
      line.action = CommandLine::Action::Help;
      return line;
    } else if (!only_files && arg == "--version") {
      line.action = CommandLine::Action::Version;
      return line;
    } else if (!only_files && arg.size() > 1 && arg[0] == '-') {
      return {CommandLine::Action::UsageError, {}, "不明な指定です: " + arg};
    } else {
      files.push_back(arg);
    }
  }
  if (files.size() > 1) return {CommandLine::Action::UsageError, {}, "開ける写真は一つだけです: " + files[1]};
  if (!files.empty()) line.file = files.front();
  return line;
}

std::string HelpText() {
  return "使い方: zumo-mixer [写真]\n"
         "Usage:  zumo-mixer [PHOTO]\n\n"
         "写真を加工するウィンドウを開きます。写真を指定すると、開いたあとすぐに読み込みます。\n"
         "Opens the retouching window; a PHOTO named here is loaded as soon as the window shows.\n\n"
         "  --help     この説明 / this text\n"
         "  --version  版 / the version\n";
}

std::string VersionText() { return std::string(kProgramName) + " " ZUMO_VERSION "\n"; }

}  // namespace zumo::app

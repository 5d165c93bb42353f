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

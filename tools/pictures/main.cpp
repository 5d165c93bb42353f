// zumo-draw-pictures: draws the window's label and button pictures as JPEG files and
// writes the resource list that compiles them into the program.
//
//   zumo-draw-pictures [output-dir] [--preview preview.png]
//
// output-dir defaults to app/pictures of the source tree.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStyleFactory>

#include <cstdio>
#include <exception>

#include "Drawing.h"
#include "Pictures.h"
#include "Preview.h"

namespace {

void WriteResourceList(const QString& folder, const std::vector<zumo::art::NamedPicture>& pictures) {
  QFile file(folder + QStringLiteral("/pictures.qrc"));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
    throw std::runtime_error("cannot write " + file.fileName().toStdString());
  QString text;
  text += QStringLiteral(
      "<!-- The window's label and button pictures, drawn by tools/pictures (zumo-draw-pictures).\n"
      "     Resource paths: \":/pictures/<file>\", e.g. \":/pictures/Image8.jpg\".\n"
      "     Buttons: \":/pictures/Button<Name>\" + OFF.jpg (normal), FCS.jpg (hover), ON.jpg (pressed),\n"
      "     Name = Quit (RGButton1), Load (RGButton2), Save (RGButton3), Run (RGButton4 and RGButton5).\n"
      "     ImageN.jpg is the picture control ImageN's stored picture: Image1.jpg the placeholder,\n"
      "     Image2/3/11.jpg the plain white start pictures of the hidden stores. -->\n"
      "<RCC>\n  <qresource prefix=\"/pictures\">\n");
  for (const auto& entry : pictures) text += QStringLiteral("    <file>%1</file>\n").arg(entry.file);
  text += QStringLiteral("  </qresource>\n</RCC>\n");
  file.write(text.toUtf8());
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

  QString folder = QStringLiteral(ZUMO_SOURCE_DIR "/app/pictures");
  QString preview_path;
  const QStringList args = QApplication::arguments();
  for (int i = 1; i < args.size(); ++i) {
    if (args[i] == QLatin1String("--preview") && i + 1 < args.size())
      preview_path = args[++i];
    else
      folder = args[i];
  }

  try {
    if (!QDir().mkpath(folder)) throw std::runtime_error("cannot create " + folder.toStdString());
    std::vector<zumo::art::NamedPicture> pictures = zumo::art::LabelPictures();
    for (auto& button : zumo::art::ButtonPictures()) pictures.push_back(std::move(button));
    for (const auto& entry : pictures) zumo::art::SaveJpeg(entry.picture, folder + QLatin1Char('/') + entry.file);
    WriteResourceList(folder, pictures);
    std::printf("%zu pictures written to %s\n", pictures.size(), qPrintable(folder));
    if (!preview_path.isEmpty()) {
      if (!zumo::art::AssemblePreview(folder).save(preview_path))
        throw std::runtime_error("cannot write " + preview_path.toStdString());
      std::printf("preview: %s\n", qPrintable(preview_path));
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zumo-draw-pictures: %s\n", e.what());
    return 1;
  }
  return 0;
}

#include <gtest/gtest.h>

#include <QFile>
#include <QMap>
#include <QRegularExpression>

#include "controls/PictureControl.h"

namespace zumo {
namespace {

const QString kFolder = QStringLiteral(ZUMO_SOURCE_DIR "/app/pictures/");

// Every picture the resource list names exists, decodes, and has the size the window
// lays its controls out for; every picture the window needs is listed.
TEST(WindowPictures, ResourceListNamesEveryPictureAtItsSize) {
  QFile qrc(kFolder + QStringLiteral("pictures.qrc"));
  ASSERT_TRUE(qrc.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(qrc.readAll());
  QStringList listed;
  for (const auto& match : QRegularExpression(QStringLiteral("<file>([^<]+)</file>")).globalMatch(text))
    listed << match.captured(1);

  QMap<QString, QSize> expected = {
      {"Image8.jpg", {1000, 700}}, {"Image1.jpg", {826, 569}}, {"Image4.jpg", {150, 130}},
      {"Image5.jpg", {492, 26}},   {"Image6.jpg", {150, 200}},            {"Image7.jpg", {150, 220}},
      {"Image9.jpg", {149, 63}},   {"Image10.jpg", {801, 40}},            {"Image2.jpg", {100, 100}},
      {"Image3.jpg", {100, 100}},  {"Image11.jpg", {100, 100}},
  };
  for (const char* button : {"ButtonQuit", "ButtonLoad", "ButtonSave", "ButtonRun"})
    for (const char* look : {"OFF", "FCS", "ON"})
      expected.insert(QString::fromLatin1(button) + QString::fromLatin1(look) + ".jpg", {129, 28});

  EXPECT_EQ(listed.size(), expected.size());
  for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
    SCOPED_TRACE(it.key().toStdString());
    EXPECT_TRUE(listed.contains(it.key()));
    const TPicture picture = TPicture::FromJpegFile(kFolder + it.key());
    EXPECT_TRUE(picture.IsJpeg());
    EXPECT_EQ(QSize(picture.Width(), picture.Height()), it.value());
  }
}

}  // namespace
}  // namespace zumo

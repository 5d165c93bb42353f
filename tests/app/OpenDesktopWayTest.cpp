// Opening a photo the desktop way: a drop on the window and the command line.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QFileDialog>
#include <QMimeData>
#include <QSlider>
#include <QTest>
#include <QUrl>

#include "AppSetup.h"
#include "ModalScript.h"
#include "Unit1Controls.h"
#include "photofiles/PhotoFile.h"
#include "support/TestPictures.h"

namespace {

using zumo::Bitmap;

class DesktopOpen : public ::testing::Test {
 protected:
  void SetUp() override {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  }
  std::string Photo(const std::string& name, int w, int h, std::uint32_t seed) {
    const std::string path = dir.File(name);
    zumo::WritePhotoFile(zumo::test::PhotoLikeBitmap(w, h, seed), path, zumo::SaveFormat::Bmp);
    return path;
  }
  // Drops `urls` on the window; true when the drop was accepted.
  bool Drop(const QList<QUrl>& urls, const QString& text = {}) {
    QMimeData data;
    if (!urls.isEmpty()) data.setUrls(urls);
    if (!text.isEmpty()) data.setText(text);
    const QPoint at(300, 300);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &drop);
    return drop.isAccepted();
  }
  Ui::TForm1& ui() { return form.Controls(); }

  zumo::test::TempDir dir;
  TForm1 form;
};

TEST_F(DesktopOpen, DroppingLoadsTheFirstLocalFileLikeTheLoadButton) {
  const std::string first = Photo("first.bmp", 60, 40, 1);
  const std::string second = Photo("second.bmp", 30, 20, 2);
  ui().TrackBar4->setValue(20);
  ASSERT_TRUE(Drop({QUrl::fromLocalFile(QString::fromStdString(first)), QUrl::fromLocalFile(QString::fromStdString(second))}));
  const Bitmap expected = zumo::ReadPhotoFile(first);
  EXPECT_TRUE(zumo::SamePixels(ui().Image3->Picture().HeldBitmap(), expected));
  EXPECT_TRUE(zumo::SamePixels(ui().Image1->Picture().HeldBitmap(), expected));
  EXPECT_EQ(ui().TrackBar4->value(), 0);  // Set_Int ran
  // The open dialog proposes the dropped name next.
  QString proposed;
  ModalScript script;
  script.CancelFile([&](QFileDialog* dialog) { proposed = dialog->selectedFiles().value(0); });
  QTest::mouseClick(ui().RGButton2, Qt::LeftButton, {}, QPoint(20, 10));
  ASSERT_TRUE(script.Done());
  EXPECT_EQ(proposed, QString::fromStdString(first));

  // Not a local file, or no file at all: not accepted, nothing changes.
  EXPECT_FALSE(Drop({QUrl(QStringLiteral("https://example.org/photo.jpg"))}));
  EXPECT_FALSE(Drop({}, QStringLiteral("some text")));
  EXPECT_TRUE(zumo::SamePixels(ui().Image3->Picture().HeldBitmap(), expected));
}

TEST_F(DesktopOpen, AFailedOpenIsReportedAndLeavesThePictures) {
  form.OpenNamedPhoto(QString::fromStdString(Photo("good.bmp", 50, 30, 3)));
  const Bitmap before = ui().Image1->Picture().HeldBitmap();
  const std::string missing = dir.File("missing.png");
  ModalScript script;
  script.AcknowledgeMessage();
  form.OpenNamedPhoto(QString::fromStdString(missing));
  ASSERT_TRUE(script.Done());
  ASSERT_EQ(script.Messages().size(), 1);
  EXPECT_EQ(script.Messages().front(), QString::fromUtf8("ファイル ") + QString::fromStdString(missing) +
                                           QString::fromUtf8(" は開けません."));
  EXPECT_TRUE(zumo::SamePixels(ui().Image1->Picture().HeldBitmap(), before));
}

TEST(CommandLine, OneFileHelpVersionAndUsageErrors) {
  using Action = zumo::app::CommandLine::Action;
  struct Case {
    std::vector<std::string> args;
    Action action;
    std::string file;
  };
  const Case cases[] = {
      {{}, Action::Run, ""},
      {{"photo.heic"}, Action::Run, "photo.heic"},
      {{"--", "-odd.jpg"}, Action::Run, "-odd.jpg"},
      {{"--help"}, Action::Help, ""},
      {{"a.jpg", "--version"}, Action::Version, ""},
      {{"a.jpg", "b.jpg"}, Action::UsageError, ""},
      {{"--frobnicate"}, Action::UsageError, ""},
      {{"-x", "a.jpg"}, Action::UsageError, ""},
  };
  for (const Case& c : cases) {
    const zumo::app::CommandLine line = zumo::app::ParseCommandLine(c.args);
    EXPECT_EQ(line.action, c.action) << testing::PrintToString(c.args);
    EXPECT_EQ(line.file, c.file) << testing::PrintToString(c.args);
    EXPECT_EQ(line.message.empty(), c.action != Action::UsageError);
  }
}

}  // namespace

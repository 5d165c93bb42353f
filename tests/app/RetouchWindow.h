#pragma once

// A shown window with a photo loaded through the window's own load path, for the
// retouching suites. Pictures are compared against the engine's operations and against
// byte rules written out here.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSlider>
#include <QTest>

#include <functional>
#include <string>

#include "ModalScript.h"
#include "Unit1Controls.h"
#include "controls/RGButton.h"
#include "photofiles/PhotoFile.h"
#include "support/TestPictures.h"

namespace zumo::test {

class RetouchWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  }
  void TearDown() override {
    EXPECT_TRUE(script.Unexpected().isEmpty()) << script.Unexpected().join(u'\n').toStdString();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the busy cursor is back to normal";
  }

  Ui::TForm1& ui() { return form.Controls(); }

  // What the load button does around its dialog: ActiveGroup 0, Set_Int (whose first run
  // moves TrackBar7 from 1 to 0), then the photo read from a BMP file.
  Bitmap Load(int width, int height, std::uint32_t seed = 7) {
    ActiveGroup = 0;
    form.Set_Int();
    return LoadWithoutReset(width, height, seed);
  }
  // Only the part after the dialog: the sliders and ActiveGroup stay as they are.
  Bitmap LoadWithoutReset(int width, int height, std::uint32_t seed = 7) {
    const Bitmap photo = PhotoLikeBitmap(width, height, seed);
    const std::string path = dir.File("photo.bmp");
    WritePhotoFile(photo, path, SaveFormat::Bmp);
    form.LoadPhoto(QString::fromStdString(path));
    return photo;
  }

  // The shown picture as the view holds it; the hidden stores as the window's state holds
  // them (an empty bitmap for a store still holding its start picture).
  const Bitmap& Shown() { return ui().Image1->Picture().HeldBitmap(); }
  const Bitmap& Base() { return Store(form.State().base); }
  const Bitmap& Scratch() { return Store(form.State().scratch); }
  const Bitmap& Loaded() { return Store(form.State().loaded); }
  static const Bitmap& Store(const std::optional<Bitmap>& store) {
    static const Bitmap none;
    return store ? *store : none;
  }

  // A press and a release of the mouse on an image button.
  void Press(TImage* button) {
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(30, 12));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(30, 12));
  }

  void ExpectSlidersAtZero() {
    for (QSlider* slider : form.findChildren<QSlider*>()) EXPECT_EQ(slider->value(), 0) << slider->objectName().toStdString();
  }

  TempDir dir;
  TForm1 form;
  ModalScript script;  // any error report would show up as an unexpected modal window
};

// `picture` after `operation` ran on a copy of it, in a working bitmap of its own.
inline Bitmap Applied(const Bitmap& picture, const std::function<void(TABitmap&)>& operation) {
  TABitmap work(picture);
  operation(work);
  return Bitmap(work);
}

// `picture` with every byte replaced by rule(byte, channel), channel 0 blue, 1 green, 2 red.
inline Bitmap EveryByte(const Bitmap& picture, const std::function<int(int, int)>& rule) {
  Bitmap result(picture);
  for (int y = 0; y < result.Height(); ++y) {
    std::uint8_t* row = result.ScanLine(y);
    for (int i = 0; i < 3 * result.Width(); ++i) row[i] = static_cast<std::uint8_t>(rule(row[i], i % 3));
  }
  return result;
}

// Every non-zero byte one lower: Desaturate with amount 0.
inline Bitmap OneLower(const Bitmap& picture) {
  return EveryByte(picture, [](int v, int) { return v > 0 ? v - 1 : 0; });
}

}  // namespace zumo::test

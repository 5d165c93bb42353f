// Load, size presets and save, driven through the window's own buttons and dialogs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "ErrorReport.h"
#include "QtPrinting.h"
#include "ModalScript.h"
#include "Unit1Controls.h"
#include "controls/RGButton.h"
#include "photofiles/JpegImage.h"
#include "photofiles/PhotoFile.h"
#include "support/TestPictures.h"

namespace {

using zumo::Bitmap;
using zumo::test::PhotoLikeBitmap;
using zumo::test::TempDir;

QString Q(const std::string& path) { return QString::fromStdString(path); }

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class WindowFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  }

  Ui::TForm1& ui() { return form.Controls(); }
  void Click(zumo::TImage* button) { QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(20, 10)); }

  // A photo written as a BMP file (exact pixels when read back).
  std::string BmpPhoto(const std::string& name, int width, int height, std::uint32_t seed = 1) {
    const std::string path = dir.File(name);
    zumo::WritePhotoFile(PhotoLikeBitmap(width, height, seed), path, zumo::SaveFormat::Bmp);
    return path;
  }

  // What the window holds, to compare before and after an operation.
  struct Snapshot {
    Bitmap image1, image2, image3, work;
  };
  Snapshot Take() {
    return {ui().Image1->Picture().HeldBitmap(), ui().Image2->Picture().HeldBitmap(),
            ui().Image3->Picture().HeldBitmap(), *WorkBitmap};
  }
  void ExpectUnchanged(const Snapshot& before) {
    EXPECT_TRUE(zumo::SamePixels(ui().Image1->Picture().HeldBitmap(), before.image1));
    EXPECT_TRUE(zumo::SamePixels(ui().Image2->Picture().HeldBitmap(), before.image2));
    EXPECT_TRUE(zumo::SamePixels(ui().Image3->Picture().HeldBitmap(), before.image3));
    EXPECT_TRUE(zumo::SamePixels(*WorkBitmap, before.work));
    EXPECT_EQ(ui().Image1->size(), QSize(before.image1.Width(), before.image1.Height()));
  }
  void ExpectSlidersAtZero() {
    for (QSlider* slider : form.findChildren<QSlider*>()) EXPECT_EQ(slider->value(), 0) << slider->objectName().toStdString();
  }

  TempDir dir;
  TForm1 form;
};

TEST(ErrorReport, AppendsAFullStopOnlyAfterCharactersThatSortAfterIt) {
  using zumo::app::ErrorReportText;
  EXPECT_EQ(ErrorReportText(QString::fromUtf8("ビットマップイメージが不正です")), QString::fromUtf8("ビットマップイメージが不正です."));
  EXPECT_EQ(ErrorReportText(QStringLiteral("JPEG #12")), QStringLiteral("JPEG #12."));
  EXPECT_EQ(ErrorReportText(QStringLiteral("done.")), QStringLiteral("done."));
  EXPECT_EQ(ErrorReportText(QStringLiteral("stop!")), QStringLiteral("stop!"));  // '!' sorts before '.'
  EXPECT_EQ(ErrorReportText(QStringLiteral("a-")), QStringLiteral("a-"));
  EXPECT_EQ(ErrorReportText(QString()), QString());
}

TEST_F(WindowFiles, BeforeAnyLoadAPresetBlanksTheViewWithoutAnError) {
  ModalScript script;
  ui().RadioButton10->click();
  QApplication::processEvents();
  EXPECT_TRUE(script.Unexpected().isEmpty()) << script.Unexpected().join(u'\n').toStdString();
  EXPECT_TRUE(ui().Image1->Picture().IsBitmap());
  EXPECT_TRUE(ui().Image1->Picture().Empty());
  EXPECT_TRUE(ui().Image2->Picture().Empty());
  ExpectSlidersAtZero();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WindowFiles, SavingBeforeAnyLoadWritesNothingAndSaysSo) {
  ModalScript script;
  script.AcknowledgeMessage();
  Click(ui().RGButton3);
  ASSERT_TRUE(script.Done());
  EXPECT_EQ(script.Messages().front(), QString::fromUtf8("保存する画像がありません。先に写真を読み込んでください."));
  EXPECT_EQ(script.Titles().front(), QStringLiteral("zumo-mixer"));
  EXPECT_EQ(script.Icons().front(), QMessageBox::Critical);
  EXPECT_TRUE(script.MessageHadOk());
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  EXPECT_TRUE(form.isVisible()) << "the window goes on running";
}

TEST_F(WindowFiles, LoadThroughTheOpenDialogFillsEveryStoreAndRemembersTheName) {
  const std::string path = BmpPhoto("photo.bmp", 321, 203);
  ui().TrackBar3->setValue(-7);
  {
    ModalScript script;
    script.ChooseFile(Q(path));
    Click(ui().RGButton2);
    ASSERT_TRUE(script.Done());
    EXPECT_TRUE(script.Unexpected().isEmpty()) << script.Unexpected().join(u'\n').toStdString();
  }
  const Bitmap photo = zumo::ReadPhotoFile(path);
  EXPECT_TRUE(zumo::SamePixels(ui().Image3->Picture().HeldBitmap(), photo));
  EXPECT_TRUE(zumo::SamePixels(ui().Image1->Picture().HeldBitmap(), photo));
  EXPECT_TRUE(zumo::SamePixels(ui().Image2->Picture().HeldBitmap(), photo));
  EXPECT_TRUE(zumo::SamePixels(*WorkBitmap, photo));
  EXPECT_EQ(ui().Image1->size(), QSize(321, 203));
  ExpectSlidersAtZero();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  QFileDialog& dialog = form.OpenDialog1();
  // The window's own kinds first and selected; a second entry lists every kind that is read.
  ASSERT_EQ(dialog.nameFilters().size(), 2);
  EXPECT_EQ(dialog.nameFilters().front(), QString::fromUtf8("画像ファイル (*.jpg *.bmp)"));
  EXPECT_EQ(dialog.selectedNameFilter(), dialog.nameFilters().front());
  for (const char* pattern : {"*.jpg", "*.bmp", "*.png", "*.webp", "*.heic", "*.avif"})
    EXPECT_TRUE(dialog.nameFilters().back().contains(QLatin1String(pattern))) << pattern;
  EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));

  // The next load proposes the name chosen last; cancelling it changes no picture.
  const Snapshot before = Take();
  QString proposed;
  ModalScript script;
  script.CancelFile([&](QFileDialog* open) {
    proposed = open->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
  });
  Click(ui().RGButton2);
  ASSERT_TRUE(script.Done());
  EXPECT_EQ(proposed, QStringLiteral("photo.bmp"));
  ExpectUnchanged(before);
}

TEST_F(WindowFiles, TheFirstLoadResetsTheSlidersBeforeTheDialogOpens) {
  ASSERT_EQ(ui().TrackBar7->value(), 1);
  int trackbar7_in_dialog = -1;
  ModalScript script;
  script.CancelFile([&](QFileDialog*) { trackbar7_in_dialog = ui().TrackBar7->value(); });
  Click(ui().RGButton2);
  ASSERT_TRUE(script.Done());
  EXPECT_EQ(trackbar7_in_dialog, 0);
  ExpectSlidersAtZero();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  // The reset of TrackBar7 ran its handler: group 5, and the placeholder is gone from view.
  EXPECT_EQ(ActiveGroup, 5);
  EXPECT_TRUE(ui().Image1->Picture().IsBitmap());
  EXPECT_TRUE(ui().Image1->Picture().HeldBitmap().Empty());
}

TEST_F(WindowFiles, ExtensionsInAnyCaseAndUnknownNamesByContent) {
  const Bitmap source = PhotoLikeBitmap(97, 61, 3);
  const std::vector<std::uint8_t> jpeg = zumo::EncodeJpeg(source, 85);
  WriteBytes(dir.File("upper.JPG"), jpeg);
  WriteBytes(dir.File("mixed.Jpeg"), jpeg);
  WriteBytes(dir.File("jpeg-without-extension"), jpeg);
  zumo::WritePhotoFile(source, dir.File("upper.BMP"), zumo::SaveFormat::Bmp);
  std::filesystem::copy_file(dir.File("upper.BMP"), dir.File("bitmap.photo"));
  const Bitmap decoded = zumo::DecodeJpeg(jpeg);

  for (const char* name : {"upper.JPG", "mixed.Jpeg", "jpeg-without-extension", "upper.BMP", "bitmap.photo"}) {
    SCOPED_TRACE(name);
    form.LoadPhoto(Q(dir.File(name)));
    const bool is_jpeg = std::string(name).find("peg") != std::string::npos || std::string(name).find("JPG") != std::string::npos;
    EXPECT_TRUE(zumo::SamePixels(ui().Image3->Picture().HeldBitmap(), is_jpeg ? decoded : source));
    EXPECT_TRUE(zumo::SamePixels(ui().Image1->Picture().HeldBitmap(), ui().Image3->Picture().HeldBitmap()));
  }
}

// On a screen of 8 bits per pixel or fewer a colour JPEG takes libjpeg's 236-colour
// output; a wider screen takes full colour.
TEST_F(WindowFiles, ScreenDepthDecidesJpegQuantisation) {
  const std::vector<std::uint8_t> jpeg = zumo::EncodeJpeg(zumo::test::RandomBitmap(40, 30, 4), 95);
  zumo::JpegDecodeOptions quantised;
  quantised.quantize = true;
  const Bitmap narrow = zumo::DecodeJpeg(jpeg, quantised);
  const Bitmap wide = zumo::DecodeJpeg(jpeg);
  ASSERT_FALSE(zumo::SamePixels(narrow, wide));
  for (const char* name : {"colour.jpg", "colour-by-content"}) {
    WriteBytes(dir.File(name), jpeg);
    for (int depth : {8, 24, 4, 16, 32}) {
      form.SetScreenBitsPerPixel(depth);
      form.LoadPhoto(Q(dir.File(name)));
      EXPECT_TRUE(zumo::SamePixels(ui().Image3->Picture().HeldBitmap(), depth <= 8 ? narrow : wide))
          << name << " at " << depth << " bits";
    }
  }
}

TEST_F(WindowFiles, AFailedLoadLeavesEveryPictureAsItWas) {
  form.LoadPhoto(Q(BmpPhoto("good.bmp", 120, 80)));
  ui().RadioButton9->click();  // a preset, so that the shown picture is not the loaded photo's copy

  std::vector<std::uint8_t> bmp = ReadBytes(dir.File("good.bmp"));
  std::vector<std::uint8_t> bad_magic = bmp;
  bad_magic[0] = 'X';
  WriteBytes(dir.File("damaged.bmp"), bad_magic);
  WriteBytes(dir.File("short.bmp"), std::vector<std::uint8_t>(bmp.begin(), bmp.begin() + 200));
  WriteBytes(dir.File("damaged.jpg"), {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1});
  WriteBytes(dir.File("notes.txt"), {'h', 'e', 'l', 'l', 'o'});
  std::vector<std::uint8_t> huge = bmp;
  huge[18] = 0x20;  // width 20000 (0x4E20): beyond the limit of a row
  huge[19] = 0x4E;
  WriteBytes(dir.File("huge.bmp"), huge);
  ASSERT_EQ(::mkfifo(dir.File("pipe.jpg").c_str(), 0600), 0);  // would block a plain open

  struct Case {
    std::string name;
    std::string message;  // as the user reads it, the full stop included
  };
  const auto named = [&](const char* name, const char* text) { return "ファイル " + dir.File(name) + text; };
  const Case cases[] = {
      {"missing.jpg", named("missing.jpg", " は開けません.")},
      {"damaged.bmp", "ビットマップイメージが不正です."},
      {"short.bmp", "ストリームからの読み込みエラー."},
      {"damaged.jpg", "JPEG エラー #" + std::to_string(JERR_NO_IMAGE) + "."},  // headers that end before a picture
      {"notes.txt", named("notes.txt", " は JPEG でも BMP でもありません.")},
      {"huge.bmp", "画像が大きすぎます（20000 × 80）。扱える大きさは幅 10922 ピクセル、高さ 32767 ピクセルまでです."},
      {"pipe.jpg", named("pipe.jpg", " は開けません（FIFO（名前付きパイプ）です）.")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Snapshot before = Take();
    ModalScript script;
    script.ChooseFile(Q(dir.File(c.name))).AcknowledgeMessage();
    Click(ui().RGButton2);
    ASSERT_TRUE(script.Done());
    ASSERT_EQ(script.Messages().size(), 1);
    EXPECT_EQ(script.Messages().front().toStdString(), c.message);
    ExpectUnchanged(before);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the busy cursor is restored after an error";
  }
}

struct PresetExample {
  int width, height;
  const char* preset;
  int expected_width, expected_height;
};

class SizePresets : public WindowFiles, public ::testing::WithParamInterface<PresetExample> {};

TEST_P(SizePresets, ShowTheLoadedPhotoAtThePresetAndBackAsLoaded) {
  const PresetExample example = GetParam();
  const std::string path = BmpPhoto("photo.bmp", example.width, example.height, 5);
  form.LoadPhoto(Q(path));
  const Bitmap photo = ui().Image3->Picture().HeldBitmap();

  form.findChild<QRadioButton*>(QString::fromLatin1(example.preset))->click();
  const Bitmap& shown = ui().Image1->Picture().HeldBitmap();
  EXPECT_EQ(shown.Width(), example.expected_width);
  EXPECT_EQ(shown.Height(), example.expected_height);
  EXPECT_EQ(ui().Image1->size(), QSize(example.expected_width, example.expected_height));
  EXPECT_TRUE(zumo::SamePixels(ui().Image2->Picture().HeldBitmap(), shown));
  EXPECT_TRUE(zumo::SamePixels(ui().Image3->Picture().HeldBitmap(), photo)) << "the loaded photo never changes";
  ExpectSlidersAtZero();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  ui().RadioButton8->click();
  EXPECT_TRUE(zumo::SamePixels(ui().Image1->Picture().HeldBitmap(), photo));
  EXPECT_TRUE(zumo::SamePixels(ui().Image2->Picture().HeldBitmap(), photo));
}

INSTANTIATE_TEST_SUITE_P(Examples, SizePresets,
                         ::testing::Values(PresetExample{1087, 1087, "RadioButton10", 1023, 1024},
                                           PresetExample{1944, 1215, "RadioButton9", 1600, 999},
                                           PresetExample{1025, 656, "RadioButton11", 800, 511},
                                           PresetExample{1601, 1200, "RadioButton9", 1600, 1199},
                                           PresetExample{1024, 2000, "RadioButton10", 524, 1024},
                                           PresetExample{1600, 1200, "RadioButton9", 1600, 1200},
                                           PresetExample{640, 480, "RadioButton11", 640, 480}));

TEST_F(WindowFiles, ALoadAppliesTheSelectedPresetAndReclickingItChangesNothing) {
  ui().RadioButton11->click();
  form.LoadPhoto(Q(BmpPhoto("photo.bmp", 1025, 656)));
  EXPECT_EQ(ui().Image1->Picture().HeldBitmap().Width(), 800);
  EXPECT_EQ(ui().Image1->Picture().HeldBitmap().Height(), 511);
  EXPECT_EQ(ui().Image3->Picture().HeldBitmap().Width(), 1025);

  const Bitmap marker(7, 7);
  ui().Image1->AssignBitmap(marker);
  ui().RadioButton11->click();  // already selected: no event
  EXPECT_TRUE(zumo::SamePixels(ui().Image1->Picture().HeldBitmap(), marker));
}

TEST_F(WindowFiles, SaveInEveryFormatThroughTheSaveDialog) {
  form.LoadPhoto(Q(BmpPhoto("source.bmp", 203, 131, 9)));
  const Bitmap shown = ui().Image1->Picture().HeldBitmap();
  QFileDialog& dialog = form.SaveDialog1();

  struct Case {
    QRadioButton* button;
    const char* typed;
    const char* written;
    int quality;  // 0: BMP
  };
  const Case cases[] = {{ui().RadioButton5, "photo", "photo.BMP", 0},
                        {ui().RadioButton6, "nice.jpg", "nice.jpg", 90},
                        {ui().RadioButton7, "normal", "normal.JPG", 85},
                        {ui().RadioButton1, "fair.jpg", "fair.jpg", 80}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.written);
    c.button->click();
    ModalScript script;
    script.ChooseFile(Q(dir.File(c.typed)));
    Click(ui().RGButton3);
    ASSERT_TRUE(script.Done());
    EXPECT_TRUE(script.Unexpected().isEmpty()) << script.Unexpected().join(u'\n').toStdString();
    const std::string written = dir.File(c.written);
    ASSERT_TRUE(std::filesystem::exists(written));
    if (c.quality == 0) {
      EXPECT_EQ(dialog.defaultSuffix(), QStringLiteral("BMP"));
      EXPECT_EQ(dialog.nameFilters(), QStringList{QString::fromUtf8("ビットマップファイル (*.bmp)")});
      EXPECT_TRUE(zumo::SamePixels(zumo::ReadPhotoFile(written), shown));
    } else {
      EXPECT_EQ(dialog.defaultSuffix(), QStringLiteral("JPG"));
      EXPECT_EQ(dialog.nameFilters(), QStringList{QString::fromUtf8("JPEGファイル (*.jpg)")});
      EXPECT_EQ(ReadBytes(written), zumo::EncodeJpeg(shown, c.quality)) << "quality " << c.quality;
    }
  }
  EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
  EXPECT_TRUE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
  EXPECT_TRUE(zumo::SamePixels(ui().Image1->Picture().HeldBitmap(), shown)) << "saving changes no picture";
}

// A camera photo loaded and saved as JPEG keeps its date and camera, upright with
// orientation 1; with 位置情報を保存しない checked its place is left out. Read by exiftool.
TEST_F(WindowFiles, ACameraPhotoSavedAsJpegKeepsItsDateAndCameraUprightAndItsPlaceOnlyWhenAsked) {
  const std::string camera = dir.File("camera.jpg");
  WriteBytes(camera, zumo::EncodeJpeg(PhotoLikeBitmap(64, 40, 3), 90));
  ASSERT_EQ(std::system(("exiftool -q -overwrite_original -Make=TestCam -DateTimeOriginal='2024:05:01 10:20:30' "
                         "-Orientation#=6 -GPSLatitude=35.68 -GPSLatitudeRef=N " + camera).c_str()), 0);
  form.LoadPhoto(Q(camera));
  ASSERT_EQ(ui().Image1->Picture().HeldBitmap().Width(), 40) << "loaded upright";
  QAction* strip_location = nullptr;
  for (QAction* action : form.PhotoMenu().actions())
    if (action->text() == QString::fromUtf8("位置情報を保存しない")) strip_location = action;
  ASSERT_NE(strip_location, nullptr);
  for (const bool without_place : {false, true}) {
    strip_location->setChecked(without_place);
    ui().RadioButton7->click();
    ModalScript script;
    script.ChooseFile(Q(dir.File("saved.jpg")));
    Click(ui().RGButton3);
    ASSERT_TRUE(script.Done());
    const std::string tags = dir.File("tags.txt");
    ASSERT_EQ(std::system(("exiftool -f -m -q -p '$Orientation#|$DateTimeOriginal|$Make|$GPSLatitude#' " +
                           dir.File("saved.jpg") + " > " + tags).c_str()), 0);
    const std::vector<std::uint8_t> text = ReadBytes(tags);
    EXPECT_EQ(std::string(text.begin(), text.end()),
              std::string("1|2024:05:01 10:20:30|TestCam|") + (without_place ? "-" : "35.68") + "\n");
    EXPECT_EQ(zumo::ReadPhotoFile(dir.File("saved.jpg")).Width(), 40) << "never turned again";
  }
}

// 形式を選んで保存…: each kind's filter and quality, the picture as shown (exactly, for the
// lossless kinds), the dialog remembering its last name and kind; before a load it says what
// the save button says.
TEST_F(WindowFiles, SaveAsWritesEveryKindAtItsQualityAndRemembersNameAndKind) {
  {
    ModalScript script;
    script.AcknowledgeMessage();
    form.SaveAs();
    ASSERT_TRUE(script.Done());
    EXPECT_EQ(script.Messages(), QStringList{QString::fromUtf8("保存する画像がありません。先に写真を読み込んでください.")});
  }
  form.LoadPhoto(Q(BmpPhoto("source.bmp", 203, 131, 9)));
  const Bitmap shown = ui().Image1->Picture().HeldBitmap();
  struct Case {
    const char* filter;
    const char* typed;
    const char* written;
    int quality;  // for the spin box; 0 leaves it
    bool lossless;
  };
  const Case cases[] = {{"PNGファイル (*.png)", "a", "a.png", 0, false},
                        {"WebPファイル (*.webp)", "b", "b.webp", 0, true},
                        {"JPEGファイル (*.jpg *.jpeg)", "c", "c.jpg", 37, false},
                        {"AVIFファイル (*.avif)", "d.avif", "d.avif", 50, false},
                        {"ビットマップファイル (*.bmp)", "e.png", "e.png", 0, false}};  // a typed kind wins
  for (const Case& c : cases) {
    SCOPED_TRACE(c.written);
    ModalScript script;
    script.ChooseFile(Q(dir.File(c.typed)), [&](QFileDialog* dialog) {
      dialog->selectNameFilter(QString::fromUtf8(c.filter));
      emit dialog->filterSelected(QString::fromUtf8(c.filter));
      if (c.quality) dialog->findChild<QSpinBox*>(QStringLiteral("QualitySpinBox"))->setValue(c.quality);
      dialog->findChild<QCheckBox*>(QStringLiteral("LosslessCheckBox"))->setChecked(c.lossless);
    });
    // The command as its shortcut names it.
    const QKeySequence keys(QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_S));
    for (QAction* action : form.actions())
      if (action->shortcuts().contains(keys)) action->trigger();
    ASSERT_TRUE(script.Done());
    EXPECT_TRUE(script.Unexpected().isEmpty()) << script.Unexpected().join(u'\n').toStdString();
    const std::string written = dir.File(c.written);
    if (std::string(c.written).ends_with(".jpg")) {
      EXPECT_EQ(ReadBytes(written), zumo::EncodeJpeg(shown, 37));
    } else {
      const Bitmap read = zumo::ReadPhotoFile(written);
      if (std::string(c.written).ends_with(".avif"))
        EXPECT_EQ(read.Width(), shown.Width());
      else
        EXPECT_TRUE(zumo::SamePixels(read, shown));
    }
  }
  // The next save-as proposes the last name, under the last kind.
  QString proposed, kind;
  ModalScript script;
  script.CancelFile([&](QFileDialog* dialog) {
    proposed = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
    kind = dialog->selectedNameFilter();
  });
  form.SaveAs();
  ASSERT_TRUE(script.Done());
  EXPECT_EQ(proposed, QStringLiteral("e.png"));
  EXPECT_EQ(kind, QString::fromUtf8("ビットマップファイル (*.bmp)"));
  EXPECT_TRUE(zumo::SamePixels(ui().Image1->Picture().HeldBitmap(), shown)) << "saving changes no picture";
}

TEST_F(WindowFiles, SaveProposesTheLastNameReplacesWithoutAskingAndCancelWritesNothing) {
  form.LoadPhoto(Q(BmpPhoto("source.bmp", 64, 48)));
  ui().RadioButton5->click();
  {
    ModalScript script;
    script.ChooseFile(Q(dir.File("out.bmp")));
    Click(ui().RGButton3);
    ASSERT_TRUE(script.Done());
  }
  // A JPEG right after proposes the BMP's name, extension included, and replaces it.
  ui().RadioButton6->click();
  {
    QString proposed;
    ModalScript script;
    script.CancelFile([&](QFileDialog* save) {
      proposed = save->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
    });
    Click(ui().RGButton3);
    ASSERT_TRUE(script.Done());
    EXPECT_EQ(proposed, QStringLiteral("out.bmp"));
    EXPECT_EQ(ReadBytes(dir.File("out.bmp"))[0], 'B') << "a cancelled save writes nothing";
  }
  {
    ModalScript script;
    script.ChooseFile(Q(dir.File("out.bmp")));
    Click(ui().RGButton3);
    ASSERT_TRUE(script.Done());
    EXPECT_TRUE(script.Unexpected().isEmpty()) << "no overwrite question";
  }
  const std::vector<std::uint8_t> replaced = ReadBytes(dir.File("out.bmp"));
  ASSERT_GE(replaced.size(), 2u);
  EXPECT_EQ(replaced[0], 0xFF);
  EXPECT_EQ(replaced[1], 0xD8);
}

// Only a confirmed name is proposed again: the first save proposes nothing, and a name
// typed into a cancelled dialog is forgotten, in whichever format comes next.
TEST_F(WindowFiles, SaveProposesOnlyConfirmedNames) {
  form.LoadPhoto(Q(BmpPhoto("source.bmp", 16, 8)));
  const auto proposed_then_cancel = [&](QRadioButton* format, const QString& type) {
    format->click();
    QString proposed;
    ModalScript script;
    script.CancelFile([&](QFileDialog* save) {
      auto* field = save->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      proposed = field->text();
      field->setText(type);
    });
    Click(ui().RGButton3);
    EXPECT_TRUE(script.Done());
    return proposed;
  };
  EXPECT_EQ(proposed_then_cancel(ui().RadioButton5, QStringLiteral("typed.bmp")), QString());
  EXPECT_EQ(proposed_then_cancel(ui().RadioButton6, QStringLiteral("again")), QString());
  EXPECT_EQ(proposed_then_cancel(ui().RadioButton5, QString()), QString());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "nothing was written";
}

TEST_F(WindowFiles, AFailedSaveIsReportedAndTheWindowGoesOn) {
  form.LoadPhoto(Q(BmpPhoto("source.bmp", 64, 48)));
  const std::vector<std::uint8_t> original = ReadBytes(dir.File("source.bmp"));
  ui().RadioButton7->click();
  const Snapshot before = Take();
  ModalScript script;
  // A name below a file, not a folder: nothing can be created there.
  script.ChooseFile(Q(dir.File("source.bmp") + "/photo.jpg")).AcknowledgeMessage();
  Click(ui().RGButton3);
  ASSERT_TRUE(script.Done()) << script.Unexpected().join(u'\n').toStdString();
  EXPECT_EQ(script.Messages().front().toStdString(), "ファイル " + dir.File("source.bmp") + "/photo.jpg を作成できません.");
  EXPECT_EQ(script.Icons().front(), QMessageBox::Critical);
  EXPECT_EQ(ReadBytes(dir.File("source.bmp")), original);
  ExpectUnchanged(before);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_TRUE(form.isVisible());
}

}  // namespace

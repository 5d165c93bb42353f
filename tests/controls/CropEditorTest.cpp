#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLayout>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <memory>
#include <ostream>

#include "ControlsTestSupport.h"
#include "controls/CropCanvas.h"
#include "controls/CropEditor.h"

namespace zumo {

void PrintTo(const CropRect& r, std::ostream* os) {
  *os << r.x << "," << r.y << " " << r.width << "x" << r.height << " of " << r.picture_width << "x"
      << r.picture_height;
}

namespace {

constexpr FrameSize kPicture{400, 300};

CropRect Rect(int x, int y, int w, int h) { return {x, y, w, h, kPicture.width, kPicture.height}; }

// An editor of the window's size on a 400 x 300 picture (shown at about 1.7 screen pixels
// per picture pixel).
std::unique_ptr<TCropEditor> Editor(const Crop& crop, int tenths = 0, const Bitmap& picture = test::Solid(400, 300, 128, 128, 128)) {
  auto editor = std::make_unique<TCropEditor>();
  editor->resize(840, 579);
  editor->layout()->activate();  // laid out without a window on screen
  editor->Start(picture, tenths, crop);
  return editor;
}

QComboBox* Ratios(TCropEditor& e) { return e.findChild<QComboBox*>(); }
QCheckBox* Portrait(TCropEditor& e) { return e.findChild<QCheckBox*>(); }
QSlider* AngleSlider(TCropEditor& e) { return e.findChild<QSlider*>(); }
QDoubleSpinBox* AngleSpin(TCropEditor& e) { return e.findChild<QDoubleSpinBox*>(); }

void ChooseRatio(TCropEditor& e, const QString& label, bool portrait) {
  Portrait(e)->setChecked(portrait);
  const int index = Ratios(e)->findText(label);
  ASSERT_GE(index, 0) << label.toStdString();
  Ratios(e)->setCurrentIndex(index);
}

// Screen pixels per picture pixel and the picture's place on the canvas.
QPointF OnCanvas(TCropEditor& e, double x, double y) {
  const QRectF area = e.Canvas()->PictureArea();
  return {area.left() + x * area.width() / e.PictureSize().width, area.top() + y * area.height() / e.PictureSize().height};
}

// Presses at picture point (x, y) and drags by (dx, dy) picture pixels.
void Drag(TCropEditor& e, double x, double y, double dx, double dy) {
  TCropCanvas* canvas = e.Canvas();
  const double scale = canvas->PictureArea().width() / e.PictureSize().width;
  const QPoint from = OnCanvas(e, x, y).toPoint();
  const QPoint to = from + QPoint(int(std::lrint(dx * scale)), int(std::lrint(dy * scale)));
  QTest::mousePress(canvas, Qt::LeftButton, {}, from);
  QTest::mouseMove(canvas, (from + to) / 2);
  QTest::mouseMove(canvas, to);
  QTest::mouseRelease(canvas, Qt::LeftButton, {}, to);
}

TEST(CropEditor, DragsResizeAndMoveTheBoxAndKeepItInsideThePicture) {
  struct Case {
    const char* what;
    const char* ratio;  // chosen before the drag ("" keeps the start's free box)
    double x, y, dx, dy;
    CropRect expected;
  };
  const Case cases[] = {
      {"corner outwards", "", 300, 230, 40, 20, Rect(100, 80, 240, 170)},
      {"left edge past the picture", "", 100, 155, -120, 0, Rect(0, 80, 300, 150)},
      {"inside, moved past the top", "", 200, 155, 150, -100, Rect(200, 0, 200, 150)},
      {"top edge past the bottom", "", 200, 80, 0, 200, Rect(100, 229, 200, 1)},
      // 1:1 makes the box 300 x 300 around its centre, moved down to the picture: 50,0.
      {"corner at 1:1 follows the longer side", "1:1", 50, 0, 100, 40, Rect(90, 40, 260, 260)},
      {"edge at 1:1 about the centre line", "1:1", 350, 150, -120, 0, Rect(50, 60, 180, 180)},
      // 16:9 makes it 400 x 225 around its centre: 0,42.
      {"corner at 16:9 follows the longer side", "16:9", 400, 267, -100, -50, Rect(0, 42, 311, 175)},
      {"edge at 16:9 about the centre line", "16:9", 0, 154, 100, 0, Rect(100, 70, 300, 169)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto editor = Editor(Rect(100, 80, 200, 150));
    if (*c.ratio) ChooseRatio(*editor, QString::fromUtf8(c.ratio), false);
    Drag(*editor, c.x, c.y, c.dx, c.dy);
    EXPECT_EQ(editor->Box(), c.expected);
    EXPECT_EQ(editor->CropResult(), Crop(c.expected)) << "a dragged box is a rectangle of the straightened size";
  }
}

TEST(CropEditor, ShowsThePictureStraightenedWithTheOutsideDimmed) {
  // Left half dark, right half light. Turned clockwise by 10 degrees, the dividing line leans
  // right at the top (by a quarter of the height times tan 10 degrees: about 11 pixels there)
  // and left at the bottom; the kept rectangle has no empty corner.
  Bitmap halves = test::Solid(400, 300, 60, 60, 60);
  for (int y = 0; y < 300; ++y) std::fill_n(halves.ScanLine(y) + 3 * 200, 3 * 200, std::uint8_t{200});
  auto turned = Editor(std::monostate{}, 100, halves);
  const QImage shown = turned->Canvas()->grab().toImage();
  const FrameSize size = turned->PictureSize();
  auto level = [&](double x, double y) { return qGreen(shown.pixel(OnCanvas(*turned, x, y).toPoint())); };
  const double middle = size.width / 2.0, quarter = size.height / 4.0;
  EXPECT_NEAR(level(middle + 5, quarter), 60, 3);
  EXPECT_NEAR(level(middle - 5, 3 * quarter), 200, 3);
  const QRect area = turned->Canvas()->PictureArea().toRect().adjusted(8, 8, -9, -9);  // clear of the handles
  EXPECT_NEAR(qGreen(shown.pixel(area.topLeft())), 60, 8);
  EXPECT_NEAR(qGreen(shown.pixel(area.bottomLeft())), 60, 8);
  EXPECT_NEAR(qGreen(shown.pixel(area.topRight())), 200, 8);
  EXPECT_NEAR(qGreen(shown.pixel(area.bottomRight())), 200, 8);

  // Outside the box the picture shows darker, inside as it is.
  auto boxed = Editor(Rect(100, 80, 200, 150));
  const QImage dimmed = boxed->Canvas()->grab().toImage();
  auto grey = [&](double x, double y) { return qGreen(dimmed.pixel(OnCanvas(*boxed, x, y).toPoint())); };
  EXPECT_NEAR(grey(120, 100), 128, 2) << "inside";
  for (const QPointF outside : {QPointF(50, 50), QPointF(200, 40), QPointF(350, 280), QPointF(60, 150)})
    EXPECT_NEAR(grey(outside.x(), outside.y()), 128 * 115 / 255, 2) << outside.x() << "," << outside.y();
}

TEST(CropEditor, RatioTakesTheLargestBoxOfItAroundTheBoxCentre) {
  // From the untouched whole picture, one ratio after the other: each the largest centred box
  // (as the engine centres it: an odd width rounds the offset down), never one fitted into the
  // previous box, and still a ratio for the recipe.
  struct Step {
    const char* ratio;
    bool portrait;
    CropRect expected;
    CropRatio result;
  };
  auto odd = [](int x, int y, int w, int h) { return CropRect{x, y, w, h, 401, 300}; };
  const Step steps[] = {{"1:1", false, odd(50, 0, 300, 300), {1, 1}},
                        {"4:3", true, odd(88, 0, 225, 300), {3, 4}},
                        {"16:9", false, odd(0, 37, 401, 225), {16, 9}},
                        {"3:2", false, odd(0, 16, 401, 267), {3, 2}},
                        {"元の比率", false, odd(0, 0, 401, 300), {401, 300}}};
  auto editor = Editor(std::monostate{}, 0, test::Solid(401, 300, 128, 128, 128));
  for (const Step& s : steps) {
    SCOPED_TRACE(s.ratio);
    ChooseRatio(*editor, QString::fromUtf8(s.ratio), s.portrait);
    EXPECT_EQ(editor->Box(), s.expected);
    EXPECT_EQ(editor->CropResult(), Crop(s.result));
  }

  // A moved box keeps its centre as far as the picture lets it, and is a rectangle.
  auto moved = Editor(Rect(200, 100, 100, 100));
  ChooseRatio(*moved, QStringLiteral("1:1"), false);
  EXPECT_EQ(moved->Box(), Rect(100, 0, 300, 300));
  EXPECT_EQ(moved->CropResult(), Crop(Rect(100, 0, 300, 300)));
  ChooseRatio(*moved, QStringLiteral("自由"), false);
  EXPECT_EQ(moved->Box(), Rect(100, 0, 300, 300)) << "free keeps the box";
}

TEST(CropEditor, ArrowsNudgeTheBoxByOneOrTenPixelsUpToTheEdge) {
  struct Case {
    CropRect start;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    CropRect expected;
  };
  const Case cases[] = {{Rect(10, 10, 100, 100), Qt::Key_Left, Qt::NoModifier, Rect(9, 10, 100, 100)},
                        {Rect(10, 10, 100, 100), Qt::Key_Down, Qt::ShiftModifier, Rect(10, 20, 100, 100)},
                        {Rect(5, 10, 100, 100), Qt::Key_Left, Qt::ShiftModifier, Rect(0, 10, 100, 100)},
                        {Rect(10, 0, 100, 100), Qt::Key_Up, Qt::NoModifier, Rect(10, 0, 100, 100)},
                        {Rect(295, 195, 100, 100), Qt::Key_Right, Qt::ShiftModifier, Rect(300, 195, 100, 100)},
                        {Rect(295, 195, 100, 100), Qt::Key_Down, Qt::ShiftModifier, Rect(295, 200, 100, 100)}};
  for (const Case& c : cases) {
    auto editor = Editor(c.start);
    QTest::keyClick(editor->Canvas(), c.key, c.modifiers);  // the canvas passes keys to the editor
    EXPECT_EQ(editor->Box(), c.expected) << c.start.x << "," << c.start.y << " key " << c.key;
  }

  // A nudged ratio box is no longer the ratio's centred box.
  auto editor = Editor(CropRatio{1, 1});
  ASSERT_EQ(editor->CropResult(), Crop(CropRatio{1, 1}));
  QTest::keyClick(editor->Canvas(), Qt::Key_Right);
  EXPECT_EQ(editor->CropResult(), Crop(Rect(51, 0, 300, 300)));
}

TEST(CropEditor, EnterAcceptsAndEscapeCancelsFromTheCanvasAndTheAngleBox) {
  struct Case {
    Qt::Key key;
    bool in_spin_box;
    int accepted, cancelled;
  };
  const Case cases[] = {{Qt::Key_Return, false, 1, 0}, {Qt::Key_Enter, false, 1, 0}, {Qt::Key_Escape, false, 0, 1},
                        {Qt::Key_Return, true, 1, 0},  {Qt::Key_Escape, true, 0, 1},  {Qt::Key_A, false, 0, 0}};
  for (const Case& c : cases) {
    auto editor = Editor(std::monostate{});
    QSignalSpy accepted(editor.get(), &TCropEditor::accepted), cancelled(editor.get(), &TCropEditor::cancelled);
    QTest::keyClick(c.in_spin_box ? static_cast<QWidget*>(AngleSpin(*editor)) : editor->Canvas(), c.key);
    EXPECT_EQ(accepted.count(), c.accepted) << c.key << " in spin box " << c.in_spin_box;
    EXPECT_EQ(cancelled.count(), c.cancelled) << c.key << " in spin box " << c.in_spin_box;
  }
}

TEST(CropEditor, StraighteningKeepsTheBoxInsideTheNewSizeAndRecordsIt) {
  auto editor = Editor(Rect(100, 80, 200, 150));
  struct Step {
    double degrees;
    int tenths;
  };
  for (const Step s : {Step{10.0, 100}, Step{-45.0, -450}, Step{2.5, 25}}) {
    AngleSpin(*editor)->setValue(s.degrees);
    EXPECT_EQ(editor->StraightenTenths(), s.tenths);
    EXPECT_EQ(AngleSlider(*editor)->value(), s.tenths);
    const CropRect kept = StraightenedRect(kPicture, s.tenths);
    ASSERT_EQ(editor->PictureSize(), (FrameSize{kept.width, kept.height}));
    const CropRect box = editor->Box();
    EXPECT_EQ(CropProblem(box, editor->PictureSize()), "") << s.tenths;
    const Crop crop = editor->CropResult();
    const auto* result = std::get_if<CropRect>(&crop);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->picture_width, kept.width);
    EXPECT_EQ(result->picture_height, kept.height);
  }
  // The slider's own keys move the angle by a tenth.
  QTest::keyClick(AngleSlider(*editor), Qt::Key_Right);
  EXPECT_EQ(editor->StraightenTenths(), 26);
  EXPECT_DOUBLE_EQ(AngleSpin(*editor)->value(), 2.6);
  // Back at 0 the box is where it started: the angle never wears it down.
  AngleSlider(*editor)->setValue(0);
  EXPECT_EQ(editor->Box(), Rect(100, 80, 200, 150));

  // Resizing the box keeps the angle.
  AngleSpin(*editor)->setValue(-7.3);
  const CropRect before = editor->Box();
  Drag(*editor, before.x + before.width, before.y + before.height, -30, -20);
  EXPECT_EQ(editor->StraightenTenths(), -73);
  EXPECT_EQ(editor->Box().width, before.width - 30);

  // An untouched ratio stays the ratio's centred box of each straightened size.
  auto ratio = Editor(CropRatio{16, 9}, 0);
  AngleSpin(*ratio)->setValue(12.0);
  const CropRect kept = StraightenedRect(kPicture, 120);
  const CropRect centred = LargestCentred({16, 9}, {kept.width, kept.height});
  EXPECT_EQ(ratio->Box(), (CropRect{centred.x, centred.y, centred.width, centred.height, kept.width, kept.height}));
  EXPECT_EQ(ratio->CropResult(), Crop(CropRatio{16, 9}));
}

TEST(CropEditor, StartsFromEachKindOfCropAndGivesItBackUntouched) {
  struct Case {
    const char* what;
    Crop crop;
    CropRect box;
    Crop result;
    const char* ratio_shown;
    bool portrait_shown;
  };
  const Case cases[] = {
      {"none", std::monostate{}, Rect(0, 0, 400, 300), std::monostate{}, "自由", false},
      {"the whole picture", Rect(0, 0, 400, 300), Rect(0, 0, 400, 300), std::monostate{}, "自由", false},
      {"drawn on a picture twice the size", CropRect{50, 40, 200, 100, 800, 600}, Rect(25, 20, 100, 50),
       Rect(25, 20, 100, 50), "自由", false},
      {"portrait ratio", CropRatio{3, 4}, Rect(87, 0, 225, 300), CropRatio{3, 4}, "4:3", true},
      {"unlisted ratio, given back as written", CropRatio{10, 8}, Rect(12, 0, 375, 300), CropRatio{10, 8}, "5:4", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto editor = Editor(c.crop);
    EXPECT_EQ(editor->Box(), c.box);
    EXPECT_EQ(editor->CropResult(), c.result);
    EXPECT_EQ(Ratios(*editor)->currentText(), QString::fromUtf8(c.ratio_shown));
    EXPECT_EQ(Portrait(*editor)->isChecked(), c.portrait_shown);
  }
}

}  // namespace
}  // namespace zumo

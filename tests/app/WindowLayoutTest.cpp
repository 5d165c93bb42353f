// The window as built from its description: frame, controls, settings, tooltips, order.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QFrame>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>

#include <map>
#include <vector>

#include "QtPrinting.h"
#include "Unit1Controls.h"
#include "controls/RGButton.h"

namespace {

struct Placement {
  const char* name;
  const char* parent;
  QRect rect;
};

// Every control with its parent and its rectangle in the parent's coordinates, in
// creation order within each parent.
const Placement kPlacements[] = {
    {"Image8", "TForm1", {0, 0, 1000, 700}},       {"Image2", "TForm1", {8, 704, 100, 100}},
    {"Image3", "TForm1", {120, 704, 100, 100}},    {"RGButton1", "TForm1", {698, 664, 129, 28}},
    {"Image10", "TForm1", {22, 619, 801, 40}},     {"RGButton5", "TForm1", {640, 626, 129, 28}},
    {"Image11", "TForm1", {232, 704, 100, 100}},   {"Panel1", "TForm1", {16, 662, 649, 31}},
    {"ScrollBox1", "TForm1", {4, 40, 840, 579}},   {"Panel2", "TForm1", {846, 40, 152, 132}},
    {"Panel3", "TForm1", {846, 180, 152, 201}},    {"Panel4", "TForm1", {846, 386, 152, 221}},
    {"Panel5", "TForm1", {846, 612, 152, 78}},     {"RadioButton2", "TForm1", {156, 632, 17, 17}},
    {"RadioButton3", "TForm1", {295, 632, 17, 17}}, {"RadioButton4", "TForm1", {388, 632, 17, 17}},
    {"RadioButton12", "TForm1", {507, 632, 17, 17}},
    {"Image5", "Panel1", {8, 4, 492, 26}},         {"RGButton3", "Panel1", {512, 2, 129, 28}},
    {"RadioButton5", "Panel1", {93, 7, 17, 17}},   {"RadioButton6", "Panel1", {223, 7, 17, 17}},
    {"RadioButton7", "Panel1", {315, 7, 17, 17}},  {"RadioButton1", "Panel1", {396, 7, 17, 17}},
    {"Image4", "Panel2", {1, 1, 150, 130}},        {"RGButton2", "Panel2", {12, 3, 129, 28}},
    {"RadioButton8", "Panel2", {10, 35, 17, 17}},  {"RadioButton9", "Panel2", {10, 61, 17, 17}},
    {"RadioButton10", "Panel2", {10, 87, 17, 17}}, {"RadioButton11", "Panel2", {10, 113, 17, 17}},
    {"Image6", "Panel3", {0, 0, 150, 200}},        {"TrackBar1", "Panel3", {11, 68, 33, 120}},
    {"TrackBar2", "Panel3", {59, 68, 33, 120}},    {"TrackBar3", "Panel3", {107, 68, 33, 120}},
    {"Image7", "Panel4", {0, 0, 150, 220}},        {"TrackBar4", "Panel4", {7, 50, 30, 150}},
    {"TrackBar5", "Panel4", {77, 50, 30, 150}},    {"TrackBar6", "Panel4", {42, 50, 26, 150}},
    {"TrackBar7", "Panel4", {112, 50, 30, 150}},   {"Image9", "Panel5", {0, 0, 149, 63}},
    {"RGButton4", "Panel5", {14, 40, 129, 28}},
};

QWidget* Find(TForm1& form, const char* name) {
  if (form.objectName() == QLatin1String(name)) return &form;
  return form.findChild<QWidget*>(QString::fromLatin1(name));
}

class WindowLayout : public ::testing::Test {
 protected:
  TForm1 form;
};

TEST_F(WindowLayout, FrameCaptionFontAndColour) {
  EXPECT_EQ(form.size(), QSize(1002, 696));
  EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "the window must not be resizable";
  EXPECT_EQ(form.windowTitle(), QString::fromUtf8("だれでもかれでもZumoミキサー風で行こう！"));
  const Qt::WindowFlags flags = form.windowFlags();
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(form.font().pixelSize(), 12);
  EXPECT_EQ(form.font().family(), QStringLiteral("IPAPGothic"));
  EXPECT_EQ(form.palette().color(QPalette::Window), QColor(Qt::white));
}

TEST_F(WindowLayout, EveryControlHasItsParentPlaceAndSize) {
  std::map<QString, std::vector<QString>> order_by_parent;
  for (const Placement& placement : kPlacements) {
    SCOPED_TRACE(placement.name);
    QWidget* control = Find(form, placement.name);
    ASSERT_NE(control, nullptr);
    const QString parent = QString::fromLatin1(placement.parent);
    EXPECT_EQ(control->parentWidget()->objectName(), parent);
    EXPECT_EQ(control->geometry(), placement.rect);
    order_by_parent[parent].push_back(QString::fromLatin1(placement.name));
  }
  // Creation order is stacking order: later controls lie over earlier ones.
  for (const auto& [parent, expected] : order_by_parent) {
    std::vector<QString> actual;
    for (QObject* child : Find(form, parent.toLatin1().constData())->children())
      if (child->isWidgetType() && !child->objectName().isEmpty() && !child->objectName().startsWith(QStringLiteral("qt_")) &&
          child->objectName() != QStringLiteral("OpenDialog1") && child->objectName() != QStringLiteral("SaveDialog1"))
        actual.push_back(child->objectName());
    EXPECT_EQ(actual, expected) << parent.toStdString();
  }
}

TEST_F(WindowLayout, PhotoViewShowsImage1AtItsTopLeftWithScrollBarsOnlyWhenLarger) {
  auto* scroll_box = form.findChild<QScrollArea*>(QStringLiteral("ScrollBox1"));
  ASSERT_NE(scroll_box, nullptr);
  EXPECT_EQ(scroll_box->widget(), form.Controls().Image1);
  EXPECT_EQ(form.Controls().Image1->pos(), QPoint(0, 0));
  EXPECT_FALSE(scroll_box->widgetResizable());
  form.show();

  form.Controls().Image1->AssignBitmap(zumo::Bitmap(200, 100));
  QApplication::processEvents();
  EXPECT_EQ(form.Controls().Image1->size(), QSize(200, 100));
  EXPECT_FALSE(scroll_box->horizontalScrollBar()->isVisible());
  EXPECT_FALSE(scroll_box->verticalScrollBar()->isVisible());

  form.Controls().Image1->AssignBitmap(zumo::Bitmap(2000, 1500));
  QApplication::processEvents();
  EXPECT_EQ(form.Controls().Image1->size(), QSize(2000, 1500));
  EXPECT_TRUE(scroll_box->horizontalScrollBar()->isVisible());
  EXPECT_TRUE(scroll_box->verticalScrollBar()->isVisible());
  EXPECT_EQ(form.Controls().Image1->mapTo(scroll_box->viewport(), QPoint(0, 0)), QPoint(0, 0));
}

TEST_F(WindowLayout, HiddenStoresLieBelowTheClientArea) {
  for (QWidget* store : {static_cast<QWidget*>(form.Controls().Image2), static_cast<QWidget*>(form.Controls().Image3),
                         static_cast<QWidget*>(form.Controls().Image11)}) {
    EXPECT_GE(store->y(), form.height()) << store->objectName().toStdString();
    // However large their pictures grow, they stay out of sight.
    static_cast<zumo::TImage*>(store)->AssignBitmap(zumo::Bitmap(3000, 2000));
    EXPECT_GE(store->y(), form.height());
    EXPECT_EQ(form.size(), QSize(1002, 696));
  }
}

TEST_F(WindowLayout, SlidersHaveTheirRangesStepsTicksAndStartPositions) {
  struct Expected {
    QSlider* slider;
    int minimum, maximum, line, tick, start;
  };
  Ui::TForm1& ui = form.Controls();
  const Expected sliders[] = {
      {ui.TrackBar1, -50, 50, 1, 10, 0},    {ui.TrackBar2, -50, 50, 1, 10, 0},    {ui.TrackBar3, -50, 50, 1, 10, 0},
      {ui.TrackBar4, -100, 100, 1, 20, 0},  {ui.TrackBar5, -120, 120, 10, 24, 0}, {ui.TrackBar6, -100, 100, 1, 20, 0},
      {ui.TrackBar7, 0, 255, 10, 26, 1},
  };
  for (const Expected& e : sliders) {
    SCOPED_TRACE(e.slider->objectName().toStdString());
    EXPECT_EQ(e.slider->orientation(), Qt::Vertical);
    EXPECT_TRUE(e.slider->invertedAppearance()) << "the minimum is at the top";
    EXPECT_TRUE(e.slider->invertedControls());
    EXPECT_EQ(e.slider->minimum(), e.minimum);
    EXPECT_EQ(e.slider->maximum(), e.maximum);
    EXPECT_EQ(e.slider->singleStep(), e.line);
    EXPECT_EQ(e.slider->pageStep(), 2);
    EXPECT_EQ(e.slider->tickInterval(), e.tick);
    EXPECT_EQ(e.slider->tickPosition(), QSlider::TicksRight);
    EXPECT_EQ(e.slider->value(), e.start);
  }
}

TEST_F(WindowLayout, RadioGroupsStartSelectedAndNeverClearEachOther) {
  Ui::TForm1& ui = form.Controls();
  EXPECT_TRUE(ui.RadioButton8->isChecked());
  EXPECT_TRUE(ui.RadioButton7->isChecked());
  EXPECT_TRUE(ui.RadioButton2->isChecked());
  for (QRadioButton* button : form.findChildren<QRadioButton*>()) EXPECT_TRUE(button->text().isEmpty());

  ui.RadioButton3->click();
  ui.RadioButton1->click();
  EXPECT_TRUE(ui.RadioButton8->isChecked());
  EXPECT_TRUE(ui.RadioButton1->isChecked());
  EXPECT_FALSE(ui.RadioButton7->isChecked());
  EXPECT_TRUE(ui.RadioButton3->isChecked());
  EXPECT_FALSE(ui.RadioButton2->isChecked());
}

TEST_F(WindowLayout, ExactlyNineTooltips) {
  const std::map<QString, QString> expected = {
      {QStringLiteral("RadioButton8"), QString::fromUtf8("そのまんまの大きさで読み込みます")},
      {QStringLiteral("RadioButton9"), QString::fromUtf8("長辺を1600dotにします。")},
      {QStringLiteral("RadioButton10"), QString::fromUtf8("長辺を1024dotにします。")},
      {QStringLiteral("RadioButton11"), QString::fromUtf8("長辺を800dotにします。")},
      {QStringLiteral("TrackBar4"), QString::fromUtf8("派手←→地味")},
      {QStringLiteral("TrackBar5"), QString::fromUtf8("くっきり←→ぼけぼけ")},
      {QStringLiteral("TrackBar6"), QString::fromUtf8("明るい←→暗い")},
      {QStringLiteral("TrackBar7"), QString::fromUtf8("カラー←→モノクロ")},
      {QStringLiteral("RGButton4"), QString::fromUtf8("現在表示されている画像にZumoフィルタをかけます")},
  };
  std::map<QString, QString> actual;
  for (QWidget* widget : form.findChildren<QWidget*>())
    if (widget->window() == &form && !widget->toolTip().isEmpty()) actual[widget->objectName()] = widget->toolTip();
  if (!form.toolTip().isEmpty()) actual[form.objectName()] = form.toolTip();
  EXPECT_EQ(actual, expected);
}

TEST_F(WindowLayout, TabOrderFollowsTheWindowThenEachPanel) {
  const std::vector<QString> expected = {
      "ScrollBox1",   "RadioButton5", "RadioButton6", "RadioButton7",  "RadioButton1",  "RadioButton8", "RadioButton9",
      "RadioButton10", "RadioButton11", "TrackBar1",  "TrackBar2",     "TrackBar3",     "TrackBar4",    "TrackBar5",
      "TrackBar6",    "TrackBar7",    "RadioButton2", "RadioButton3",  "RadioButton4",  "RadioButton12"};
  std::vector<QString> chain;
  QWidget* widget = Find(form, "ScrollBox1");
  for (std::size_t i = 0; i < expected.size(); ++i) {
    chain.push_back(widget->objectName());
    do widget = widget->nextInFocusChain();
    while (std::find(expected.begin(), expected.end(), widget->objectName()) == expected.end());
  }
  EXPECT_EQ(chain, expected);
}

TEST_F(WindowLayout, ButtonsArePushButtonsShowingTheirNormalPicture) {
  for (zumo::TRGButton* button : form.findChildren<zumo::TRGButton*>()) {
    SCOPED_TRACE(button->objectName().toStdString());
    EXPECT_TRUE(button->BtnEnabled());
    EXPECT_FALSE(button->BtnSW());
    EXPECT_FALSE(button->OnOff());
    EXPECT_EQ(button->BtnViewNo(), 0);
    ASSERT_FALSE(button->BtnImgOFF().Empty()) << "every button has its pictures";
    EXPECT_FALSE(button->BtnImgFCS().Empty());
    EXPECT_FALSE(button->BtnImgON().Empty());
    EXPECT_EQ(button->size(), QSize(129, 28));
    EXPECT_EQ(button->Picture().JpegBytes(), button->BtnImgOFF().JpegBytes());
  }
}

TEST_F(WindowLayout, BuildingTheWindowRaisesNoSliderEventAndStartsClean) {
  EXPECT_EQ(ActiveGroup, 0);
  EXPECT_EQ(form.Controls().TrackBar7->value(), 1);
  ASSERT_NE(WorkBitmap, nullptr);
  ASSERT_NE(WorkJpeg, nullptr);
  EXPECT_TRUE(WorkBitmap->Empty());
  EXPECT_GT(form.ScreenBitsPerPixel(), 0);
  // Every slider handler reads the shown or the base picture as a bitmap, which discards
  // its stored picture; so the stores still holding theirs shows that no handler ran.
  for (zumo::TImage* store : {static_cast<zumo::TImage*>(form.Controls().Image1), form.Controls().Image2, form.Controls().Image3,
                              form.Controls().Image11}) {
    EXPECT_FALSE(store->Picture().IsBitmap()) << store->objectName().toStdString();
    EXPECT_FALSE(store->Picture().JpegBytes().isEmpty()) << store->objectName().toStdString();
  }
}

TEST_F(WindowLayout, SetIntMovesTheSlidersToZeroInOrderRaisingTheirChangeEvents) {
  Ui::TForm1& ui = form.Controls();
  // Set_Int's own order, without the window's slider handlers (which re-enter Set_Int).
  for (QSlider* slider : form.findChildren<QSlider*>()) QObject::disconnect(slider, &QSlider::valueChanged, &form, nullptr);
  ui.TrackBar6->setValue(-30);
  ui.TrackBar2->setValue(12);
  std::vector<QString> changed;
  for (QSlider* slider : form.findChildren<QSlider*>())
    QObject::connect(slider, &QSlider::valueChanged, [&changed, slider, &form = form] {
      changed.push_back(slider->objectName());
      // Each event runs with the earlier sliders already at 0 and the later ones not yet.
      if (slider->objectName() == QStringLiteral("TrackBar6")) {
        EXPECT_EQ(form.Controls().TrackBar2->value(), 0);
        EXPECT_EQ(form.Controls().TrackBar7->value(), 1);
      }
    });
  form.Set_Int();
  EXPECT_EQ(changed, (std::vector<QString>{"TrackBar2", "TrackBar6", "TrackBar7"}));
  for (QSlider* slider : form.findChildren<QSlider*>()) EXPECT_EQ(slider->value(), 0);
  changed.clear();
  form.Set_Int();
  EXPECT_TRUE(changed.empty()) << "sliders already at 0 raise nothing";
}

TEST_F(WindowLayout, QuitReleasesTheScratchObjectsAndClosesTheWindow) {
  form.show();
  ASSERT_TRUE(form.isVisible());
  form.RGButton1Click();
  EXPECT_EQ(WorkJpeg, nullptr);
  EXPECT_EQ(WorkBitmap, nullptr);
  EXPECT_FALSE(form.isVisible());
}

}  // namespace

namespace {

TEST(WindowDialogs, SpeakJapanese) {
  TForm1 form;
  const QString open = form.OpenDialog1().labelText(QFileDialog::Accept);
  const QString save = form.SaveDialog1().labelText(QFileDialog::Accept);
  const QString cancel = form.OpenDialog1().labelText(QFileDialog::Reject);
  for (const QString& label : {open, save, cancel}) {
    EXPECT_FALSE(label.isEmpty());
    EXPECT_TRUE(std::any_of(label.begin(), label.end(), [](QChar c) { return c.unicode() >= 0x3000; }))
        << label.toStdString();
  }
}

}  // namespace

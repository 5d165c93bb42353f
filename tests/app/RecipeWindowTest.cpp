// The recipes of the window against zumo-batch: every kind of step is driven with the real
// sliders and buttons, the shown picture's recipe is saved with Ctrl+E, and the batch tool
// replaying it on the same photo must give the shown picture byte for byte.
#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QProcess>
#include <QRadioButton>

#include <fstream>
#include <functional>
#include <sstream>

#include "Lib/recipe/Recipe.h"
#include "RetouchWindow.h"
#include "controls/CropCanvas.h"

namespace {

using zumo::Bitmap;
using zumo::SamePixels;
using zumo::TABitmap;

constexpr std::uint64_t kSeed = 4242;  // the noise of 古杉, fixed in the window and the tool

std::string Q2S(const QString& text) { return text.toStdString(); }

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class RecipeWindow : public zumo::test::RetouchWindow {
 public:
  // What the scenarios below drive the window with.
  using RetouchWindow::LoadWithoutReset;
  using RetouchWindow::Press;
  using RetouchWindow::form;
  using RetouchWindow::ui;

 protected:
  void SetUp() override {
    RetouchWindow::SetUp();
    TABitmap::FixNoiseSeed(kSeed);
  }
  void TearDown() override {
    TABitmap::FixNoiseSeed(std::nullopt);
    RetouchWindow::TearDown();
  }

  // The command bound to Ctrl+key (with Shift when asked), triggered as the key would.
  void Command(Qt::Key key, bool shift = false) {
    const QKeySequence keys(QKeyCombination(shift ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier, key));
    for (QAction* action : form.actions())
      if (action->shortcuts().contains(keys)) return action->trigger();
    ADD_FAILURE() << "no command for " << Q2S(keys.toString());
  }

  std::string SaveRecipe(const std::string& name) {
    const std::string path = dir.File(name);
    script.ChooseFile(QString::fromStdString(path));
    Command(Qt::Key_E);
    EXPECT_TRUE(script.Done());
    return path;
  }

  // zumo-batch run as a program; returns its exit status.
  int Batch(QStringList args, QString* out = nullptr) {
    QProcess tool;
    tool.start(QStringLiteral(ZUMO_BATCH_PROGRAM), args);
    EXPECT_TRUE(tool.waitForFinished(60000));
    if (out) *out = QString::fromUtf8(tool.readAllStandardOutput());
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
  }
  // The loaded photo (the file the window read) put through a recipe by zumo-batch.
  Bitmap Replayed(const QString& how, const std::string& source) {
    const std::string out = dir.File("replayed.bmp");
    EXPECT_EQ(Batch({QStringLiteral("--seed"), QString::number(kSeed), how, QString::fromStdString(source),
                     QString::fromStdString(dir.File("photo.bmp")), QString::fromStdString(out)}),
              0);
    return zumo::ReadPhotoFile(out);
  }

 public:
  void Slide(QSlider* slider, int position) { slider->setValue(position); }
  void Technique(QRadioButton* choice) {
    choice->click();
    Press(ui().RGButton5);
  }
  // Ctrl+Shift+E with a recipe file of this text chosen; with `refused` an error report follows.
  void ApplyRecipeText(const std::string& text, bool refused = false) {
    const std::string path = dir.File("given.zumo");
    std::ofstream(path, std::ios::binary) << text;
    script.ChooseFile(QString::fromStdString(path));
    if (refused) script.AcknowledgeMessage();
    Command(Qt::Key_E, /*shift=*/true);
    EXPECT_TRUE(script.Done());
  }
};

struct Scenario {
  const char* name;
  std::function<void(RecipeWindow&)> drive;
  friend void PrintTo(const Scenario& s, std::ostream* out) { *out << s.name; }
};

class EveryKindOfStep : public RecipeWindow, public ::testing::WithParamInterface<Scenario> {};

TEST_P(EveryKindOfStep, TheToolReplaysTheShownPictureExactly) {
  Load(1100, 700);
  GetParam().drive(*this);
  const std::string recipe = SaveRecipe("look.zumo");
  SCOPED_TRACE(FileText(recipe));
  EXPECT_EQ(zumo::ReadRecipeFile(recipe), form.Recipes().shown);
  EXPECT_TRUE(SamePixels(Replayed(QStringLiteral("--recipe"), recipe), Shown()));
}

// Each drive is given the window as the test left it: a 1100 x 700 photo loaded as it is.
const Scenario kScenarios[] = {
    {"FramingAfterRetouchingKeepsIt", [](RecipeWindow& w) {
       w.Slide(w.ui().TrackBar5, 60);  // a blur: does not commute with the turns
       w.form.TurnClockwise();
       w.form.FlipHorizontally();
       w.ui().RadioButton11->click();  // the size choice develops the framed photo
       w.Slide(w.ui().TrackBar1, -30);
       w.form.TurnAnticlockwise();
     }},
    {"CropModeStraightensAndCrops", [](RecipeWindow& w) {
       w.Slide(w.ui().TrackBar4, -40);
       w.form.StartCropMode();
       zumo::TCropEditor& editor = w.form.CropEditor();
       editor.findChild<QDoubleSpinBox*>()->setValue(-2.5);
       editor.findChild<QComboBox*>()->setCurrentIndex(4);  // 3:2
       QTest::keyClick(editor.Canvas(), Qt::Key_Down, Qt::ShiftModifier);
       QTest::keyClick(editor.Canvas(), Qt::Key_Return);
       w.Technique(w.ui().RadioButton3);  // 古杉 from the framed photo
     }},
    {"ColourSliders", [](RecipeWindow& w) {
       w.Slide(w.ui().TrackBar1, -30);
       w.Slide(w.ui().TrackBar2, 25);
       w.Slide(w.ui().TrackBar3, -100);
     }},
    {"ContrastThenBrightnessFoldsTheContrastIntoTheBase", [](RecipeWindow& w) {
       w.Slide(w.ui().TrackBar4, -60);
       w.Slide(w.ui().TrackBar6, 40);
     }},
    {"BlurThenSharpenAcrossASwitch", [](RecipeWindow& w) {
       w.Slide(w.ui().TrackBar5, 75);
       w.Slide(w.ui().TrackBar4, 10);
       w.Slide(w.ui().TrackBar5, -90);
     }},
    {"SwitchingToMonochromeAppliesDesaturateZero", [](RecipeWindow& w) {
       w.Slide(w.ui().TrackBar7, 120);
       w.Press(w.ui().RGButton4);
       w.Slide(w.ui().TrackBar1, -1);
       w.Slide(w.ui().TrackBar1, -20);
       w.Slide(w.ui().TrackBar7, 50);  // a switch: the reset applies Desaturate 0, which darkens
     }},
    {"FilterBetweenSliderMoves", [](RecipeWindow& w) {
       w.Slide(w.ui().TrackBar6, -30);
       w.Press(w.ui().RGButton4);
       w.Slide(w.ui().TrackBar4, -40);
       w.Press(w.ui().RGButton4);
     }},
    {"Omakase", [](RecipeWindow& w) { w.Technique(w.ui().RadioButton2); }},
    {"FurusugiThenASlider", [](RecipeWindow& w) {
       w.Slide(w.ui().TrackBar7, 60);
       w.Technique(w.ui().RadioButton3);
       w.Slide(w.ui().TrackBar6, -20);
     }},
    {"HadesugiAtASizePreset", [](RecipeWindow& w) {
       w.ui().RadioButton10->click();
       w.Technique(w.ui().RadioButton4);
     }},
    {"YarisugiAfterTheFilter", [](RecipeWindow& w) {
       w.Press(w.ui().RGButton4);
       w.Technique(w.ui().RadioButton12);
     }},
    {"SizePresetsWithSlidersBetween", [](RecipeWindow& w) {
       w.ui().RadioButton11->click();
       w.Slide(w.ui().TrackBar1, -50);
       w.ui().RadioButton10->click();
       w.Slide(w.ui().TrackBar5, -40);
       w.ui().RadioButton8->click();
       w.Slide(w.ui().TrackBar2, 70);
     }},
    {"LoadedAtAPreset", [](RecipeWindow& w) {
       w.ui().RadioButton11->click();
       w.LoadWithoutReset(1100, 700);
       w.Slide(w.ui().TrackBar3, 44);
     }},
    {"UndoAndRedo", [](RecipeWindow& w) {
       w.Slide(w.ui().TrackBar4, -50);
       w.Slide(w.ui().TrackBar6, 30);
       w.Press(w.ui().RGButton4);
       w.form.Undo();
       w.form.Undo();
       w.form.Redo();
     }},
    {"ARecipeAppliedInTheWindowThenMore", [](RecipeWindow& w) {
       w.ApplyRecipeText("zumo-recipe 1\nsize 800\ncontrast percent=20\nzumo\n");
       w.Slide(w.ui().TrackBar6, -25);
     }},
};

INSTANTIATE_TEST_SUITE_P(Recipes, EveryKindOfStep, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RecipeWindow, AppliedRecipeIsTheToolsPictureAndOneUndoableStep) {
  Load(900, 600);
  Slide(ui().TrackBar4, -1);  // the switch to the group resets the sliders
  Slide(ui().TrackBar4, -30);
  const Bitmap before = Shown();
  const std::string text = "zumo-recipe 1\nsize 800\nshift-rgb red=10 green=0 blue=-5\nbox-blur radius=2\n"
                           "technique name=omakase\nsharpen weight=40\n";
  ApplyRecipeText(text);
  EXPECT_TRUE(SamePixels(Shown(), Replayed(QStringLiteral("--recipe"), dir.File("given.zumo"))));
  EXPECT_TRUE(SamePixels(Base(), Shown()));
  EXPECT_EQ(ActiveGroup, 0);
  ExpectSlidersAtZero();
  EXPECT_TRUE(ui().RadioButton11->isChecked()) << "the size choice follows the recipe";
  form.Undo();
  EXPECT_TRUE(SamePixels(Shown(), before));
  EXPECT_EQ(ui().TrackBar4->value(), -30);
  EXPECT_TRUE(ui().RadioButton8->isChecked());
}

TEST_F(RecipeWindow, ASavedJpegCarriesItsRecipeAndTheToolReadsIt) {
  Load(640, 480);
  Slide(ui().TrackBar6, -1);
  Slide(ui().TrackBar6, -35);
  Press(ui().RGButton4);
  const std::string recipe = SaveRecipe("look.zumo");
  const std::string jpeg = dir.File("saved.jpg");
  ui().RadioButton6->click();
  script.ChooseFile(QString::fromStdString(jpeg));
  Press(ui().RGButton3);
  ASSERT_TRUE(script.Done());

  QString printed;
  EXPECT_EQ(Batch({QStringLiteral("--print-recipe"), QString::fromStdString(jpeg)}, &printed), 0);
  EXPECT_EQ(Q2S(printed), FileText(recipe));
  EXPECT_TRUE(SamePixels(Replayed(QStringLiteral("--recipe-from"), jpeg), Shown()));
  // The comment changes no pixel: the file decodes as the same picture saved without it.
  EXPECT_TRUE(SamePixels(zumo::ReadPhotoFile(jpeg), zumo::DecodeJpeg(zumo::EncodeJpeg(Shown(), 90))));

  const std::string bmp = dir.File("saved.bmp");
  ui().RadioButton5->click();
  script.ChooseFile(QString::fromStdString(bmp));
  Press(ui().RGButton3);
  ASSERT_TRUE(script.Done());
  EXPECT_EQ(FileText(bmp).find("zumo-recipe"), std::string::npos) << "a BMP carries no recipe";
}

TEST_F(RecipeWindow, BeforeAnyPhotoBothCommandsSaySoAndDoNothing) {
  const std::string path = dir.File("none.zumo");
  for (const bool apply : {false, true}) {
    script.AcknowledgeMessage();
    Command(Qt::Key_E, apply);
    EXPECT_TRUE(script.Done());
  }
  ASSERT_EQ(script.Messages().size(), 2);
  for (const QString& message : script.Messages()) EXPECT_TRUE(message.contains(QString::fromUtf8("写真が読み込まれていません")));
  EXPECT_FALSE(form.History().CanUndo());
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(RecipeWindow, ABadRecipeIsReportedWithItsLineAndChangesNothing) {
  Load(300, 200);
  Slide(ui().TrackBar1, -1);
  Slide(ui().TrackBar1, -10);
  const Bitmap before = Shown();
  const auto steps = form.History().Steps();
  ApplyRecipeText("zumo-recipe 1\nsize 800\nbox-blur radius=91\n", /*refused=*/true);
  ASSERT_EQ(script.Messages().size(), 1);
  EXPECT_TRUE(script.Messages()[0].contains(QString::fromUtf8("3 行目"))) << Q2S(script.Messages()[0]);
  EXPECT_TRUE(SamePixels(Shown(), before));
  EXPECT_EQ(ui().TrackBar1->value(), -10);
  EXPECT_EQ(form.History().Steps(), steps + 1) << "only the slider's gesture, closed by the command";
}

// 古杉's noise is drawn from the clock in the window, as ever; its recipe records the seed it
// drew, so the tool replays the picture without being given one.
TEST_F(RecipeWindow, FurusugiReplaysFromItsRecipeWithoutASeed) {
  TABitmap::FixNoiseSeed(std::nullopt);
  Load(320, 240);
  Technique(ui().RadioButton3);
  const Bitmap first = Shown();
  const std::string recipe = SaveRecipe("furusugi.zumo");
  EXPECT_NE(FileText(recipe).find("technique name=furusugi seed="), std::string::npos) << FileText(recipe);
  const std::string out = dir.File("replayed.bmp");
  ASSERT_EQ(Batch({QStringLiteral("--recipe"), QString::fromStdString(recipe), QString::fromStdString(dir.File("photo.bmp")),
                   QString::fromStdString(out)}),
            0);
  EXPECT_TRUE(SamePixels(zumo::ReadPhotoFile(out), first));
  Technique(ui().RadioButton3);
  EXPECT_FALSE(SamePixels(Shown(), first)) << "a second run draws new noise";
}

}  // namespace

#include "controls/CropEditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "controls/CropBox.h"
#include "controls/CropCanvas.h"
#include "controls/PhotoView.h"

namespace zumo {
namespace {

// The long side of the reduced picture the editor draws from: enough for an 840 x 579 view
// at any angle (straightening at 45 degrees shows about 60 % of the picture).
constexpr int kPreviewSide = 2048;
// How long the fine grid stays after the angle last changed by keys or the spin box.
constexpr int kGridMilliseconds = 700;

// The ratio choices; 0:0 is free, -1:-1 the picture's own proportions.
struct RatioChoice {
  const char* label;
  int width, height;
};
constexpr RatioChoice kRatios[] = {{"自由", 0, 0}, {"元の比率", -1, -1}, {"1:1", 1, 1},
                                   {"4:3", 4, 3},  {"3:2", 3, 2},        {"16:9", 16, 9}};
constexpr int kOriginalIndex = 1;

// `ratio` reduced, in its landscape form (width >= height).
QSize Landscape(int width, int height) {
  const int divisor = std::max(1, std::gcd(width, height));
  return {std::max(width, height) / divisor, std::min(width, height) / divisor};
}

bool SameRatio(const CropRatio& a, const CropRatio& b) {
  return static_cast<long long>(a.width) * b.height == static_cast<long long>(a.height) * b.width;
}

bool SameRect(const CropRect& a, const CropRect& b) {
  return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

CropRect Whole(FrameSize size) { return {0, 0, size.width, size.height, size.width, size.height}; }

CropRect Recorded(CropRect box, FrameSize size) {
  box.picture_width = size.width;
  box.picture_height = size.height;
  return box;
}

}  // namespace

TCropEditor::TCropEditor(QWidget* owner) : QWidget(owner) {
  canvas_ = new TCropCanvas(this);
  ratio_ = new QComboBox(this);
  for (const RatioChoice& choice : kRatios)
    ratio_->addItem(QString::fromUtf8(choice.label), QSize(choice.width, choice.height));
  ratio_->setAccessibleName(QStringLiteral("切り抜きの比率"));
  ratio_->setToolTip(QStringLiteral("切り抜く範囲の縦横の比率"));
  portrait_ = new QCheckBox(QStringLiteral("縦"), this);
  portrait_->setAccessibleName(QStringLiteral("縦長の比率"));
  portrait_->setToolTip(QStringLiteral("比率を縦長にします"));

  angle_slider_ = new QSlider(Qt::Horizontal, this);
  angle_slider_->setRange(-Framing::kMaxStraightenTenths, Framing::kMaxStraightenTenths);
  angle_slider_->setSingleStep(1);
  angle_slider_->setPageStep(10);
  angle_slider_->setAccessibleName(QStringLiteral("傾き補正"));
  angle_slider_->setToolTip(QStringLiteral("写真の傾きを 0.1 度ずつ補正します (右へ回すと時計回り)"));
  angle_spin_ = new QDoubleSpinBox(this);
  angle_spin_->setRange(-Framing::kMaxStraightenTenths / 10.0, Framing::kMaxStraightenTenths / 10.0);
  angle_spin_->setDecimals(1);
  angle_spin_->setSingleStep(0.1);
  angle_spin_->setSuffix(QStringLiteral("°"));
  angle_spin_->setAccessibleName(QStringLiteral("傾き補正の角度"));
  grid_timer_ = new QTimer(this);
  grid_timer_->setSingleShot(true);
  grid_timer_->setInterval(kGridMilliseconds);

  auto* accept = new QPushButton(QStringLiteral("決定"), this);
  auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
  accept->setAccessibleName(QStringLiteral("切り抜きを決定"));
  cancel->setAccessibleName(QStringLiteral("切り抜きをキャンセル"));
  accept->setAutoDefault(true);  // Enter on a focused button presses it, as in a dialog
  cancel->setAutoDefault(true);

  auto* ratio_label = new QLabel(QStringLiteral("比率"), this);
  ratio_label->setBuddy(ratio_);
  auto* angle_label = new QLabel(QStringLiteral("傾き"), this);
  angle_label->setBuddy(angle_spin_);
  auto* bar = new QHBoxLayout;
  bar->setContentsMargins(8, 0, 8, 4);
  bar->addWidget(ratio_label);
  bar->addWidget(ratio_);
  bar->addWidget(portrait_);
  bar->addSpacing(16);
  bar->addWidget(angle_label);
  bar->addWidget(angle_slider_, 1);
  bar->addWidget(angle_spin_);
  bar->addSpacing(16);
  bar->addWidget(accept);
  bar->addWidget(cancel);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(4);
  column->addWidget(canvas_, 1);
  column->addLayout(bar);
  setFocusProxy(canvas_);

  connect(canvas_, &TCropCanvas::boxDragged, this, [this] { Edited(canvas_->Box()); });
  connect(ratio_, &QComboBox::currentIndexChanged, this, [this] { ApplyRatio(); });
  connect(portrait_, &QCheckBox::toggled, this, [this] { ApplyRatio(); });
  connect(angle_slider_, &QSlider::valueChanged, this, [this](int tenths) {
    const QSignalBlocker blocker(angle_spin_);
    angle_spin_->setValue(tenths / 10.0);
    SetAngle(tenths);
  });
  connect(angle_spin_, &QDoubleSpinBox::valueChanged, this, [this](double degrees) {
    const int tenths = static_cast<int>(std::lrint(degrees * 10));
    const QSignalBlocker blocker(angle_slider_);
    angle_slider_->setValue(tenths);
    SetAngle(tenths);
  });
  connect(angle_slider_, &QSlider::sliderPressed, this, [this] { canvas_->SetGridShown(true); });
  connect(angle_slider_, &QSlider::sliderReleased, grid_timer_, qOverload<>(&QTimer::start));
  connect(grid_timer_, &QTimer::timeout, this, [this] {
    if (!angle_slider_->isSliderDown()) canvas_->SetGridShown(false);
  });
  connect(accept, &QPushButton::clicked, this, &TCropEditor::accepted);
  connect(cancel, &QPushButton::clicked, this, &TCropEditor::cancelled);
}

TCropEditor::~TCropEditor() = default;

const CropRect& TCropEditor::Box() const { return canvas_->Box(); }

FrameSize TCropEditor::PictureSize() const { return canvas_->PictureSize(); }

void TCropEditor::Start(const Bitmap& turned, int straighten_tenths, const Crop& crop) {
  turned_ = {turned.Width(), turned.Height()};
  tenths_ = std::clamp(straighten_tenths, -Framing::kMaxStraightenTenths, Framing::kMaxStraightenTenths);
  QImage preview;
  if (!turned.Empty()) {
    const int long_side = std::max(turned_.width, turned_.height);
    const int target = std::min(long_side, kPreviewSide);
    preview = AreaAveraged(turned, std::max(1, static_cast<int>(static_cast<long long>(turned_.width) * target / long_side)),
                           std::max(1, static_cast<int>(static_cast<long long>(turned_.height) * target / long_side)));
  }
  canvas_->SetPicture(std::move(preview), turned_, tenths_);
  canvas_->SetGridShown(false);
  {
    const QSignalBlocker slider_blocker(angle_slider_), spin_blocker(angle_spin_);
    angle_slider_->setValue(tenths_);
    angle_spin_->setValue(tenths_ / 10.0);
  }
  {
    const QSignalBlocker ratio_blocker(ratio_), portrait_blocker(portrait_);
    while (ratio_->count() > static_cast<int>(std::size(kRatios))) ratio_->removeItem(ratio_->count() - 1);
    ratio_->setCurrentIndex(0);
    portrait_->setChecked(turned_.height > turned_.width);  // the photo's own orientation first
  }

  const FrameSize size = canvas_->PictureSize();
  follows_ratio_ = false;
  start_ratio_.reset();
  edited_ = Whole(size);
  if (const auto* rect = std::get_if<CropRect>(&crop)) {
    edited_ = *rect;
  } else if (const auto* ratio = std::get_if<CropRatio>(&crop); ratio && ratio->width > 0 && ratio->height > 0) {
    SelectRatio(*ratio);
    follows_ratio_ = true;
    start_ratio_ = *ratio;
  }
  const std::optional<CropRatio> chosen = ChosenRatio();
  canvas_->SetRatio(chosen);
  portrait_->setEnabled(chosen && chosen->width != chosen->height);
  ShowBox();
  edited_ = canvas_->Box();
}

std::optional<CropRatio> TCropEditor::ChosenRatio() const {
  QSize ratio = ratio_->currentData().toSize();
  if (ratio.width() == 0) return std::nullopt;
  if (ratio.width() < 0) {
    if (turned_.width < 1 || turned_.height < 1) return std::nullopt;
    ratio = Landscape(turned_.width, turned_.height);
  }
  const int long_side = std::max(ratio.width(), ratio.height()), short_side = std::min(ratio.width(), ratio.height());
  return portrait_->isChecked() ? CropRatio{short_side, long_side} : CropRatio{long_side, short_side};
}

void TCropEditor::SelectRatio(const CropRatio& ratio) {
  const QSize wanted = Landscape(ratio.width, ratio.height);
  int index = -1;
  for (int i = kOriginalIndex + 1; i < ratio_->count() && index < 0; ++i)
    if (ratio_->itemData(i).toSize() == wanted) index = i;
  if (index < 0 && turned_.width > 0 && turned_.height > 0 && Landscape(turned_.width, turned_.height) == wanted)
    index = kOriginalIndex;
  if (index < 0) {
    // A ratio of a recipe that the list does not offer: offered from now on.
    ratio_->addItem(QStringLiteral("%1:%2").arg(wanted.width()).arg(wanted.height()), wanted);
    index = ratio_->count() - 1;
  }
  const QSignalBlocker ratio_blocker(ratio_), portrait_blocker(portrait_);
  ratio_->setCurrentIndex(index);
  if (ratio.width != ratio.height) portrait_->setChecked(ratio.width < ratio.height);
}

void TCropEditor::ApplyRatio() {
  const std::optional<CropRatio> ratio = ChosenRatio();
  canvas_->SetRatio(ratio);
  portrait_->setEnabled(ratio && ratio->width != ratio->height);
  const FrameSize size = canvas_->PictureSize();
  if (!ratio || size.width < 1 || size.height < 1) {
    Edited(canvas_->Box());
    return;
  }
  const CropRect box = CropAtRatio(canvas_->Box(), *ratio, size);
  canvas_->SetBox(box);
  edited_ = box;
  follows_ratio_ = SameRect(box, LargestCentred(*ratio, size));
}

void TCropEditor::SetAngle(int tenths) {
  if (tenths == tenths_) return;
  tenths_ = tenths;
  canvas_->SetStraighten(tenths);
  ShowBox();
  canvas_->SetGridShown(true);
  grid_timer_->start();
}

void TCropEditor::ShowBox() {
  const FrameSize size = canvas_->PictureSize();
  if (size.width < 1 || size.height < 1) {
    canvas_->SetBox({});
    return;
  }
  const std::optional<CropRatio> ratio = ChosenRatio();
  CropRect box;
  if (ratio && follows_ratio_) {
    box = LargestCentred(*ratio, size);
  } else {
    box = ClampCrop(ScaleCrop(edited_, size), size);
    const bool scaled = edited_.picture_width > 0 && (edited_.picture_width != size.width || edited_.picture_height != size.height);
    if (ratio && scaled) box = KeepRatio(box, *ratio, size);
  }
  canvas_->SetBox(Recorded(box, size));
}

void TCropEditor::Edited(const CropRect& box) {
  edited_ = Recorded(box, canvas_->PictureSize());
  follows_ratio_ = false;
}

Crop TCropEditor::CropResult() const {
  const FrameSize size = canvas_->PictureSize();
  if (size.width < 1 || size.height < 1) return std::monostate{};
  if (const std::optional<CropRatio> ratio = ChosenRatio(); ratio && follows_ratio_)
    return start_ratio_ && SameRatio(*start_ratio_, *ratio) ? *start_ratio_ : *ratio;  // as the recipe wrote it
  const CropRect& box = canvas_->Box();
  if (SameRect(box, Whole(size))) return std::monostate{};
  return Recorded(box, size);
}

void TCropEditor::keyPressEvent(QKeyEvent* event) {
  int dx = 0, dy = 0;
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: emit accepted(); return;
    case Qt::Key_Escape: emit cancelled(); return;
    case Qt::Key_Left: dx = -1; break;
    case Qt::Key_Right: dx = 1; break;
    case Qt::Key_Up: dy = -1; break;
    case Qt::Key_Down: dy = 1; break;
    default: return QWidget::keyPressEvent(event);
  }
  const int step = (event->modifiers() & Qt::ShiftModifier) ? 10 : 1;
  const FrameSize size = canvas_->PictureSize();
  if (size.width < 1 || size.height < 1) return;
  const CropRect nudged = MoveCropBy(canvas_->Box(), dx * step, dy * step, size);
  if (nudged == canvas_->Box()) return;
  canvas_->SetBox(nudged);
  Edited(nudged);
}

}  // namespace zumo

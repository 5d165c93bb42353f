#pragma once

#include <QWidget>

#include <optional>

#include "imaging/Framing.h"
#include "platform/Bitmap.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QSlider;
class QTimer;

namespace zumo {

class TCropCanvas;

// The crop mode's editor: the straightened picture with the crop box over it (see
// TCropCanvas), a ratio choice with its portrait toggle, and the straightening angle as a
// slider and a spin box. Arrows nudge the box by a picture pixel (Shift: 10), Enter or
// Return accepts, Escape cancels. The box keeps its place on the picture while the angle
// changes: it is scaled from the box the user last set to each new straightened size.
class TCropEditor : public QWidget {
  Q_OBJECT

 public:
  explicit TCropEditor(QWidget* owner = nullptr);
  ~TCropEditor() override;

  // Edits the framing of `turned` (the photo after its quarter turns and flips): the angle
  // in tenths of a degree and the crop as they are now.
  void Start(const zumo::Bitmap& turned, int straighten_tenths, const zumo::Crop& crop);

  int StraightenTenths() const noexcept { return tenths_; }
  // The chosen ratio while the box is still that ratio's largest centred rectangle, none
  // while the box is the whole picture, else the box with the straightened size recorded.
  zumo::Crop CropResult() const;

  // The box as shown, in pixels of the straightened picture of PictureSize().
  const zumo::CropRect& Box() const;
  zumo::FrameSize PictureSize() const;
  TCropCanvas* Canvas() const noexcept { return canvas_; }

 signals:
  void accepted();
  void cancelled();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::optional<CropRatio> ChosenRatio() const;
  void SelectRatio(const CropRatio& ratio);
  void ApplyRatio();
  void SetAngle(int tenths);
  // The box for the current picture size from what the user last set.
  void ShowBox();
  // The user set `box` on the current picture.
  void Edited(const CropRect& box);

  TCropCanvas* canvas_ = nullptr;
  QComboBox* ratio_ = nullptr;
  QCheckBox* portrait_ = nullptr;
  QSlider* angle_slider_ = nullptr;
  QDoubleSpinBox* angle_spin_ = nullptr;
  QTimer* grid_timer_ = nullptr;

  FrameSize turned_;
  int tenths_ = 0;
  CropRect edited_;            // the box as last set, with the picture size it was set on
  bool follows_ratio_ = false; // the box is the chosen ratio's largest centred rectangle
  std::optional<CropRatio> start_ratio_;  // the ratio Start was given, in its own terms
};

}  // namespace zumo

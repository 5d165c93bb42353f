#pragma once

#include <cstdint>

#include "controls/PictureControl.h"

namespace zumo {

// The image button: drawn entirely from three pictures, normal ("OFF"), hover ("FCS")
// and pressed ("ON"). Every state change copies one of them into the shown Picture.
// Works as a push button (BtnSW false) or as a toggle that stays pressed (BtnSW true).
// The click is the base control's `clicked()` signal; it fires before the button's own
// release handling, so a click handler still sees the pressed picture.
class TRGButton : public TImage {
  Q_OBJECT
  Q_PROPERTY(bool BtnEnabled READ BtnEnabled WRITE SetBtnEnabled)
  Q_PROPERTY(bool BtnSW READ BtnSW WRITE SetBtnSW)
  Q_PROPERTY(bool OnOff READ OnOff WRITE SetOnOff)
  Q_PROPERTY(int BtnViewNo READ BtnViewNo WRITE SetBtnViewNo)

 public:
  explicit TRGButton(QWidget* owner = nullptr);
  ~TRGButton() override;

  // Published properties, in the order a window description sets them. The picture
  // setters copy the value; the caller keeps its own.
  const TPicture& BtnImgOFF() const noexcept { return img_off_; }
  void SetBtnImgOFF(const TPicture& picture);
  const TPicture& BtnImgFCS() const noexcept { return img_fcs_; }
  void SetBtnImgFCS(const TPicture& picture);
  const TPicture& BtnImgON() const noexcept { return img_on_; }
  void SetBtnImgON(const TPicture& picture);
  bool BtnEnabled() const noexcept { return btn_enabled_; }
  void SetBtnEnabled(bool value);
  bool BtnSW() const noexcept { return btn_sw_; }
  void SetBtnSW(bool value);
  bool OnOff() const noexcept { return on_off_; }
  void SetOnOff(bool value);
  std::int32_t BtnViewNo() const noexcept { return btn_view_no_; }
  void SetBtnViewNo(std::int32_t value);

  // Sets the button up as a window description does: the three pictures go straight
  // into the owned pictures (no setter runs), then BtnEnabled, BtnSW, OnOff and
  // BtnViewNo go through their setters in that order. `shown` is the stored initial
  // Picture (normally the same image as `off`).
  void LoadFromDescription(const TPicture& off, const TPicture& fcs, const TPicture& on,
                           const TPicture& shown, bool btn_enabled = true, bool btn_sw = false,
                           bool on_off = false, std::int32_t btn_view_no = 0);
  // The same from JPEG files or resources named <prefix>OFF.jpg, <prefix>FCS.jpg and
  // <prefix>ON.jpg (e.g. ":/pictures/ButtonQuit"), as a push button whose shown picture
  // is the normal one.
  void LoadPushButtonPictures(const QString& prefix);

 protected:
  void MouseDown(Qt::MouseButton button, QPoint pos) override;
  void MouseUp(Qt::MouseButton button, QPoint pos) override;
  void MouseMove(QPoint pos) override;
  void MouseLeave() override;

 private:
  void ShowNormal() { SetPicture(img_off_); }
  void ShowHover() { SetPicture(img_fcs_); }
  void ShowPressed() { SetPicture(img_on_); }

  TPicture img_off_;
  TPicture img_fcs_;
  TPicture img_on_;
  bool btn_sw_ = false;
  bool on_off_ = false;
  bool btn_enabled_ = false;
  std::int32_t btn_view_no_ = 0;
};

}  // namespace zumo

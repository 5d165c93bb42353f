#include "controls/RGButton.h"

namespace zumo {

TRGButton::TRGButton(QWidget* owner) : TImage(owner) {
  // The three state pictures are members, created empty: normal, hover, pressed.
  resize(width(), 100);
  resize(100, 100);
  SetAutoSize(true);
  setEnabled(true);
  SetBtnEnabled(true);  // shows the (still empty) normal picture
}

// The members release the normal, hover and pressed pictures in reverse declaration
// order after this body; none of them is shared, so the order is not observable.
TRGButton::~TRGButton() = default;

void TRGButton::SetBtnImgOFF(const TPicture& picture) {
  img_off_ = picture;
  if (btn_enabled_) ShowNormal();
}

void TRGButton::SetBtnImgFCS(const TPicture& picture) { img_fcs_ = picture; }

void TRGButton::SetBtnImgON(const TPicture& picture) { img_on_ = picture; }

void TRGButton::SetBtnEnabled(bool value) {
  btn_enabled_ = value;
  setEnabled(value);  // a disabled control gets no mouse input
  on_off_ = false;
  if (value) ShowNormal();
}

void TRGButton::SetBtnSW(bool value) {
  btn_sw_ = value;
  if (!value && btn_view_no_ != 0) {
    btn_view_no_ = 0;
    on_off_ = false;
    ShowNormal();
  }
}

void TRGButton::SetOnOff(bool value) {
  on_off_ = value;
  if (!on_off_ && btn_view_no_ != 0) {
    btn_view_no_ = 0;
    ShowNormal();
  }
  if (on_off_ && btn_view_no_ != 2) {
    btn_view_no_ = 2;
    ShowPressed();
  }
}

void TRGButton::SetBtnViewNo(std::int32_t value) {
  btn_view_no_ = value;
  switch (value) {
    case 0:
      on_off_ = false;
      ShowNormal();
      break;
    case 1:
      on_off_ = false;
      ShowHover();
      break;
    case 2:
      on_off_ = true;
      ShowPressed();
      break;
    case 3:
      on_off_ = false;  // the shown picture stays
      break;
    default:
      break;  // only stored
  }
}

void TRGButton::LoadFromDescription(const TPicture& off, const TPicture& fcs, const TPicture& on,
                                    const TPicture& shown, bool btn_enabled, bool btn_sw,
                                    bool on_off, std::int32_t btn_view_no) {
  img_off_ = off;
  img_fcs_ = fcs;
  img_on_ = on;
  SetPicture(shown);
  SetBtnEnabled(btn_enabled);
  SetBtnSW(btn_sw);
  SetOnOff(on_off);
  SetBtnViewNo(btn_view_no);
}

void TRGButton::LoadPushButtonPictures(const QString& prefix) {
  // Read all three before touching the button, so a missing one changes nothing.
  const TPicture off = TPicture::FromJpegFile(prefix + QStringLiteral("OFF.jpg"));
  const TPicture fcs = TPicture::FromJpegFile(prefix + QStringLiteral("FCS.jpg"));
  const TPicture on = TPicture::FromJpegFile(prefix + QStringLiteral("ON.jpg"));
  LoadFromDescription(off, fcs, on, off);
}

void TRGButton::MouseDown(Qt::MouseButton button, QPoint pos) {
  if (!btn_enabled_) return;  // not even the owner's notification
  if (btn_sw_ && btn_view_no_ == 2) {
    btn_view_no_ = 0;
    on_off_ = false;
    ShowNormal();
  } else {
    btn_view_no_ = 2;
    on_off_ = true;
    ShowPressed();
  }
  TImage::MouseDown(button, pos);
}

void TRGButton::MouseMove(QPoint pos) {
  if (btn_enabled_) {
    const bool to_hover = btn_sw_ ? btn_view_no_ == 0 : btn_view_no_ != 1;
    if (to_hover) {
      btn_view_no_ = 1;
      on_off_ = false;
      ShowHover();
    }
  }
  TImage::MouseMove(pos);
}

void TRGButton::MouseUp(Qt::MouseButton button, QPoint pos) {
  if (btn_enabled_) {
    // Both tests are strict: the first column/row and one past the last are neither.
    const int w = Picture().Width();
    const int h = Picture().Height();
    const bool over = 0 < pos.x() && pos.x() < w && 0 < pos.y() && pos.y() < h;
    const bool away = pos.x() < 0 || pos.y() < 0 || pos.x() > w || pos.y() > h;
    if (!btn_sw_) {
      if (over && btn_view_no_ != 0) {
        btn_view_no_ = 0;
        on_off_ = false;
        ShowNormal();
      }
    } else if (away && on_off_ && btn_view_no_ != 0) {
      // A release away right after the press that switched the toggle on undoes it.
      btn_view_no_ = 0;
      on_off_ = false;
      ShowNormal();
    }
  }
  TImage::MouseUp(button, pos);
}

void TRGButton::MouseLeave() {
  TImage::MouseLeave();
  if (!btn_enabled_) return;
  const bool to_normal = btn_sw_ ? btn_view_no_ == 1 : btn_view_no_ != 0;
  if (to_normal) {
    btn_view_no_ = 0;
    on_off_ = false;
    ShowNormal();
  }
}

}  // namespace zumo

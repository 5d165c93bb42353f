#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>
#include <exception>
#include <memory>

#include "Lib/common/SizeStep.h"
#include "imaging/ABitmap.h"
#include "platform/JpegImage.h"

class QButtonGroup;
class QDragEnterEvent;
class QDropEvent;
class QFileDialog;
class QShowEvent;

namespace Ui {
class TForm1;
}

// State shared by the window's handlers. FormCreate makes WorkJpeg, then WorkBitmap; the
// quit button releases them in that order.
extern std::unique_ptr<zumo::JpegImage> WorkJpeg;  // decodes the JPEG files of the load
extern std::unique_ptr<zumo::TABitmap> WorkBitmap;  // the one scratch bitmap of every handler
// Which control group produced the shown picture: 0 after a load or size preset, 1..5 the
// slider groups, 100 after the one-button filter.
extern std::int32_t ActiveGroup;

// The main window. Image1 is the shown picture, Image2 the base picture of the slider
// groups, Image3 the photo as loaded, Image11 the scratch picture of the filter and the
// techniques; the last three lie below the client area and are never seen.
class TForm1 : public QWidget {
  Q_OBJECT

 public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  Ui::TForm1& Controls() noexcept { return *ui; }
  QFileDialog& OpenDialog1() noexcept { return *open_dialog_; }
  QFileDialog& SaveDialog1() noexcept { return *save_dialog_; }

  // Puts the seven sliders back to 0, TrackBar1 first. Each slider that moves raises its
  // change handler before the next one is set, so handlers can re-enter from here.
  void Set_Int();

  // The load from the moment the name is known: reads the photo, brings it to the size
  // preset and only then replaces the loaded photo and the shown and base pictures, so a
  // file that fails to load leaves every picture as it was.
  void LoadPhoto(const QString& path);

  // The load as the load button does it once its dialog is confirmed with `path`: ActiveGroup
  // 0, Set_Int, then LoadPhoto; the dialog proposes that name next time. Errors go to the
  // error report. Used by a drop on the window and by the command line.
  void OpenNamedPhoto(const QString& path);

  // The screen depth read at start-up (bits per pixel), which decides JPEG quantisation.
  int ScreenBitsPerPixel() const noexcept { return screen_bits_per_pixel_; }

 public slots:
  void RGButton1Click();  // quit
  void RGButton2Click();  // load
  void RGButton3Click();  // save
  void RGButton4Click();  // the one-button filter
  void RGButton5Click();  // run the selected technique
  void RadioButton8Click();
  void RadioButton9Click();
  void RadioButton10Click();
  void RadioButton11Click();
  void TrackBar1Change();
  void TrackBar2Change();
  void TrackBar3Change();
  void TrackBar4Change();
  void TrackBar5Change();
  void TrackBar6Change();
  void TrackBar7Change();

 protected:
  void showEvent(QShowEvent* event) override;
  // A drop of local files loads the first of them; anything else is not accepted.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void FormCreate();
  void LoadStoredPictures();
  void BindEvents();
  // Runs one event handler. An error that ends the outermost handler goes to the error
  // report and the window goes on; an error in a handler re-entered from Set_Int is kept
  // and raised again in Set_Int, so it ends the outer handler as well.
  template <class Handler>
  void RunHandler(Handler&& handler);
  void ShowSizedPhoto(const zumo::Bitmap& photo);
  zumo::SizePreset SelectedSizePreset() const;

  std::unique_ptr<Ui::TForm1> ui;
  QFileDialog* open_dialog_ = nullptr;
  QFileDialog* save_dialog_ = nullptr;
  QString last_open_name_;
  QString last_save_name_;
  int screen_bits_per_pixel_ = 24;
  int handler_depth_ = 0;
  std::exception_ptr nested_error_;
  bool centred_ = false;
};

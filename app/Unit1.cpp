#include "Unit1.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QShowEvent>

#include <new>
#include <utility>

#include "BusyCursor.h"
#include "DialogNames.h"
#include "ErrorReport.h"
#include "SliderGroups.h"
#include "Lib/recipe/Develop.h"
#include "photofiles/PhotoFile.h"
#include "ui_Unit1.h"

std::unique_ptr<zumo::JpegImage> WorkJpeg;
std::unique_ptr<zumo::TABitmap> WorkBitmap;
std::int32_t ActiveGroup = slider_groups::kNone;

// The label and button pictures are compiled into the window's library; a static library
// has to register its resources by hand. Q_INIT_RESOURCE must not sit in a namespace.
static void InitPictureResources() { Q_INIT_RESOURCE(pictures); }

namespace {

using zumo::app::FileSystemPath;
using zumo::app::WindowState;

using zumo::app::BusyCursor;

// The first dropped item when it is a local file; empty otherwise.
QString FirstLocalFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  const QList<QUrl> urls = data->urls();
  if (urls.isEmpty() || !urls.front().isLocalFile()) return {};
  return urls.front().toLocalFile();
}

}  // namespace

TForm1::TForm1(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::TForm1>()) {
  // Building the window raises no slider event: the handlers are bound after setupUi.
  ui->setupUi(this);
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(1002, 696);
  QFont font(QStringLiteral("IPAPGothic"));
  font.setPixelSize(12);
  setFont(font);

  // Each radio group gets its own exclusive group, whatever the widget tree.
  auto group = [this](std::initializer_list<QAbstractButton*> buttons) {
    auto* button_group = new QButtonGroup(this);
    for (QAbstractButton* button : buttons) button_group->addButton(button);
  };
  group({ui->RadioButton8, ui->RadioButton9, ui->RadioButton10, ui->RadioButton11});
  group({ui->RadioButton5, ui->RadioButton6, ui->RadioButton7, ui->RadioButton1});
  group({ui->RadioButton2, ui->RadioButton3, ui->RadioButton4, ui->RadioButton12});

  for (zumo::TImage* store : {static_cast<zumo::TImage*>(ui->Image1), ui->Image2, ui->Image3, ui->Image4, ui->Image5, ui->Image6,
                              ui->Image7, ui->Image8, ui->Image9, ui->Image10, ui->Image11})
    store->SetAutoSize(true);
  LoadStoredPictures();

  // Qt's own dialogs (not the desktop's), one of each for the window's life so that each
  // remembers the name chosen last.
  QFileDialog* open = open_dialog_.dialog = new QFileDialog(this);
  open_dialog_.clear_first = false;
  open->setObjectName(QStringLiteral("OpenDialog1"));
  open->setOption(QFileDialog::DontUseNativeDialog);
  open->setAcceptMode(QFileDialog::AcceptOpen);
  open->setFileMode(QFileDialog::AnyFile);  // a typed name is taken as it stands
  // The window's own kinds first and selected; the second lists every kind a photo is read in.
  open->setNameFilters({QString::fromUtf8("画像ファイル (*.jpg *.bmp)"),
                                QString::fromUtf8("読み込める写真すべて (*.jpg *.jpeg *.bmp *.png *.webp *.heic *.heif *.avif)")});
  setAcceptDrops(true);

  QFileDialog* save = save_dialog_.dialog = new QFileDialog(this);
  save->setObjectName(QStringLiteral("SaveDialog1"));
  save->setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
  save->setAcceptMode(QFileDialog::AcceptSave);
  save->setNameFilter(QString::fromUtf8("ビットマップファイル (*.bmp)"));

  BindEvents();
  FormCreate();
  SetUpEditing();
}

TForm1::~TForm1() = default;

void TForm1::FormCreate() {
  // The JPEG decoder object of the load. The photos are read through the photo files' one
  // route, so it keeps no second decoded copy of the photo beside the loaded one.
  WorkJpeg = std::make_unique<zumo::JpegImage>();
  WorkBitmap = std::make_unique<zumo::TABitmap>();
  ActiveGroup = slider_groups::kNone;  // a new window starts with no slider group active
  if (const QScreen* screen = QGuiApplication::primaryScreen()) screen_bits_per_pixel_ = screen->depth();
}

void TForm1::LoadStoredPictures() {
  InitPictureResources();
  struct Stored {
    zumo::TImage* store;
    const char* resource;
  };
  // Creation order; ImageN.jpg is the stored picture of ImageN.
  const Stored labels[] = {
      {ui->Image8, ":/pictures/Image8.jpg"}, {ui->Image2, ":/pictures/Image2.jpg"},
      {ui->Image3, ":/pictures/Image3.jpg"}, {ui->Image10, ":/pictures/Image10.jpg"},
      {ui->Image11, ":/pictures/Image11.jpg"}, {ui->Image5, ":/pictures/Image5.jpg"},
      {ui->Image1, ":/pictures/Image1.jpg"}, {ui->Image4, ":/pictures/Image4.jpg"},
      {ui->Image6, ":/pictures/Image6.jpg"}, {ui->Image7, ":/pictures/Image7.jpg"},
      {ui->Image9, ":/pictures/Image9.jpg"},
  };
  for (const Stored& label : labels) label.store->LoadJpeg(QString::fromLatin1(label.resource));
  struct Buttons {
    zumo::TRGButton* button;
    const char* prefix;
  };
  const Buttons buttons[] = {
      {ui->RGButton1, ":/pictures/ButtonQuit"}, {ui->RGButton2, ":/pictures/ButtonLoad"},
      {ui->RGButton3, ":/pictures/ButtonSave"}, {ui->RGButton4, ":/pictures/ButtonRun"},
      {ui->RGButton5, ":/pictures/ButtonRun"},
  };
  for (const Buttons& entry : buttons) entry.button->LoadPushButtonPictures(QString::fromLatin1(entry.prefix));
}

void TForm1::BindEvents() {
  auto bind_click = [this](zumo::TImage* button, void (TForm1::*handler)(), Undoable undoable) {
    connect(button, &zumo::TImage::clicked, this,
            [this, handler, undoable] { RunHandler([this, handler] { (this->*handler)(); }, undoable); });
  };
  bind_click(ui->RGButton1, &TForm1::RGButton1Click, Undoable::None);
  bind_click(ui->RGButton2, &TForm1::RGButton2Click, Undoable::Action);
  bind_click(ui->RGButton3, &TForm1::RGButton3Click, Undoable::None);
  bind_click(ui->RGButton4, &TForm1::RGButton4Click, Undoable::Action);
  bind_click(ui->RGButton5, &TForm1::RGButton5Click, Undoable::Action);

  // A size preset reacts only when the selection moves to it.
  auto bind_preset = [this](QRadioButton* button, void (TForm1::*handler)()) {
    connect(button, &QRadioButton::toggled, this, [this, handler](bool checked) {
      if (checked) RunHandler([this, handler] { (this->*handler)(); }, Undoable::Action);
    });
  };
  bind_preset(ui->RadioButton8, &TForm1::RadioButton8Click);
  bind_preset(ui->RadioButton9, &TForm1::RadioButton9Click);
  bind_preset(ui->RadioButton10, &TForm1::RadioButton10Click);
  bind_preset(ui->RadioButton11, &TForm1::RadioButton11Click);

  auto bind_change = [this](QSlider* slider, void (TForm1::*handler)()) {
    connect(slider, &QSlider::valueChanged, this,
            [this, handler, slider] { RunHandler([this, handler] { (this->*handler)(); }, Undoable::Slider, slider); });
  };
  bind_change(ui->TrackBar1, &TForm1::TrackBar1Change);
  bind_change(ui->TrackBar2, &TForm1::TrackBar2Change);
  bind_change(ui->TrackBar3, &TForm1::TrackBar3Change);
  bind_change(ui->TrackBar4, &TForm1::TrackBar4Change);
  bind_change(ui->TrackBar5, &TForm1::TrackBar5Change);
  bind_change(ui->TrackBar6, &TForm1::TrackBar6Change);
  bind_change(ui->TrackBar7, &TForm1::TrackBar7Change);
}

void TForm1::RunHandler(const std::function<void()>& handler, Undoable undoable, QSlider* sender) {
  if (handler_depth_ > 0) {
    // Re-entered from Set_Int: let Set_Int raise the error in the outer handler.
    try {
      handler();
    } catch (...) {
      if (!nested_error_) nested_error_ = std::current_exception();
    }
    return;
  }
  // The state before the step. A further change of the slider whose gesture is going on
  // belongs to that gesture; anything else closes it first.
  std::optional<zumo::app::WindowState> before;
  const bool gesture_goes_on = undoable == Undoable::Slider && sender == gesture_slider_ && gesture_before_;
  if (!gesture_goes_on) {
    CloseGesture();
    LeaveCropMode();  // any other command ends the crop mode without a change
    // A slider or size choice has already moved when its handler runs; the state still
    // holds the position before the change.
    if (undoable != Undoable::None) before = CaptureState();
  }
  QString message;
  ++handler_depth_;
  try {
    handler();
  } catch (const std::bad_alloc&) {
    message = QString::fromUtf8(zumo::messages::kOutOfMemory);
  } catch (const std::exception& error) {
    message = QString::fromUtf8(error.what());
  }
  --handler_depth_;
  nested_error_ = nullptr;
  if (before && undoable != Undoable::Slider) RecordStep(*before);
  if (before && undoable == Undoable::Slider) {
    gesture_slider_ = sender;
    gesture_before_ = std::move(before);
    qApp->installEventFilter(this);  // the gesture ends with the user's next other input
    UpdateCommands();
  }
  if (!message.isNull()) zumo::app::ShowErrorReport(this, message);
}

void TForm1::Set_Int() {
  for (QSlider* slider : Sliders()) {
    slider->setValue(0);
    if (nested_error_) std::rethrow_exception(std::exchange(nested_error_, nullptr));
  }
}

void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (centred_) return;
  centred_ = true;
  if (const QScreen* screen = this->screen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}

// --- quit ---

void TForm1::RGButton1Click() {
  WorkJpeg.reset();
  WorkBitmap.reset();
  close();
}

// --- load and size presets ---

std::array<QSlider*, 7> TForm1::Sliders() const {
  return {ui->TrackBar1, ui->TrackBar2, ui->TrackBar3, ui->TrackBar4, ui->TrackBar5, ui->TrackBar6, ui->TrackBar7};
}

std::array<QRadioButton*, 4> TForm1::SizeChoices() const {
  return {ui->RadioButton8, ui->RadioButton9, ui->RadioButton10, ui->RadioButton11};
}

zumo::SizePreset TForm1::SelectedSizePreset() const {
  const std::array<QRadioButton*, 4> choices = SizeChoices();
  for (std::size_t i = 0; i < choices.size(); ++i)
    if (choices[i]->isChecked()) return static_cast<zumo::SizePreset>(i);
  return zumo::SizePreset::AsLoaded;
}

zumo::Recipe TForm1::SizedOnly(zumo::SizePreset size) const { return zumo::Recipe{size, {}, CurrentFraming()}; }

void TForm1::ShowSizedPhoto() {
  const zumo::Recipe sized_only = SizedOnly(SelectedSizePreset());
  zumo::TABitmap work;
  const zumo::Bitmap sized = zumo::DevelopFramed(work, Held(&WindowState::loaded), sized_only);
  ShowAndBase(sized, sized_only);
  state_.compare_picture = sized;
}

void TForm1::RGButton2Click() {
  ActiveGroup = slider_groups::kNone;
  Set_Int();
  if (const std::optional<QString> name = open_dialog_.Ask()) LoadPhoto(*name);
}

void TForm1::OpenNamedPhoto(const QString& path) {
  RunHandler([this, &path] {
    ActiveGroup = slider_groups::kNone;
    Set_Int();
    open_dialog_.last_name = path;
    LoadPhoto(path);
  });
}

void TForm1::SaveAs() {
  RunHandler([this] { SaveAsNow(); }, Undoable::None);
}

void TForm1::SaveRecipe() {
  RunHandler([this] { SaveRecipeNow(); }, Undoable::None);
}

void TForm1::ApplyRecipe() {
  RunHandler([this] { ChooseAndApplyRecipe(); });
}

void TForm1::ApplyRecipeFile(const QString& path) {
  RunHandler([this, &path] { ApplyRecipeNow(path); });
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (!FirstLocalFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
  const QString path = FirstLocalFile(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  OpenNamedPhoto(path);
}

void TForm1::LoadPhoto(const QString& path) {
  BusyCursor busy;
  // Everything is read and sized in temporaries; the window's pictures change only once
  // nothing can fail any more.
  zumo::Photo photo = zumo::ReadPhoto(FileSystemPath(path), screen_bits_per_pixel_);
  const zumo::Recipe sized_only{SelectedSizePreset(), {}, {}};  // a new photo, not yet framed
  zumo::TABitmap work;
  const zumo::Bitmap sized = zumo::Develop(work, photo.picture, sized_only);
  auto metadata = std::make_shared<const zumo::PhotoMetadata>(std::move(photo.metadata));

  WorkBitmap->Assign(photo.picture);
  state_.photo = photo.picture;
  Put(&WindowState::loaded, photo.picture);
  ShowAndBase(sized, sized_only);
  state_.recipes.from_photo = true;
  state_.metadata = std::move(metadata);
  state_.compare_picture = sized;
}

void TForm1::RadioButton8Click() {
  ActiveGroup = slider_groups::kNone;
  state_.size = zumo::SizePreset::AsLoaded;
  const zumo::Bitmap photo = Held(&WindowState::loaded);
  ShowAndBase(photo, SizedOnly(zumo::SizePreset::AsLoaded));
  state_.compare_picture = photo;
  Set_Int();
}

void TForm1::RadioButton9Click() {
  ActiveGroup = slider_groups::kNone;
  state_.size = SelectedSizePreset();
  Set_Int();
  BusyCursor busy;
  ShowSizedPhoto();
}

void TForm1::RadioButton10Click() { RadioButton9Click(); }
void TForm1::RadioButton11Click() { RadioButton9Click(); }

// --- save ---

void TForm1::RGButton3Click() {
  struct Format {
    const QRadioButton* button;
    zumo::SaveFormat format;
    int quality;
  };
  const Format formats[] = {{ui->RadioButton5, zumo::SaveFormat::Bmp, 0},
                            {ui->RadioButton6, zumo::SaveFormat::Jpeg, zumo::kSaveQualities[0]},
                            {ui->RadioButton7, zumo::SaveFormat::Jpeg, zumo::kSaveQualities[1]},
                            {ui->RadioButton1, zumo::SaveFormat::Jpeg, zumo::kSaveQualities[2]}};
  const Format* chosen = nullptr;
  for (const Format& format : formats) {
    if (format.button->isChecked()) {
      chosen = &format;
      break;
    }
  }
  if (chosen == nullptr) return;

  // The shown picture, taken before the dialog opens (a copy that shares its pixels), and
  // how it was made, which a JPEG carries in its comment.
  const zumo::Bitmap picture = Held(&WindowState::shown);
  if (picture.Empty()) throw zumo::Error(zumo::messages::kNothingToSave);
  const std::string recipe = ShownRecipeText();

  QFileDialog& dialog = *save_dialog_.dialog;
  if (chosen->format == zumo::SaveFormat::Bmp) {
    dialog.setDefaultSuffix(QStringLiteral("BMP"));
    dialog.setNameFilter(QString::fromUtf8("ビットマップファイル (*.bmp)"));
  } else {
    dialog.setDefaultSuffix(QStringLiteral("JPG"));
    dialog.setNameFilter(QString::fromUtf8("JPEGファイル (*.jpg)"));
  }
  const std::optional<QString> name = save_dialog_.Ask();
  if (!name) return;
  BusyCursor busy;
  const zumo::PhotoMetadata metadata =
      chosen->format == zumo::SaveFormat::Jpeg ? MetadataToSave(picture, chosen->format) : zumo::PhotoMetadata{};
  zumo::WritePhotoFile(picture, FileSystemPath(*name), chosen->format, chosen->quality, recipe, metadata);
}

std::string TForm1::ShownRecipeText() const {
  // A photo saved as loaded, with nothing done to it, is the encoder's file alone: there is
  // nothing to replay.
  const zumo::Recipe& made = state_.recipes.shown;
  const bool worth_keeping = made.size != zumo::SizePreset::AsLoaded || !made.steps.empty();
  return state_.recipes.from_photo && worth_keeping ? zumo::FormatRecipe(made) : std::string();
}

zumo::PhotoMetadata TForm1::MetadataToSave(const zumo::Bitmap& picture, zumo::SaveFormat format) const {
  return state_.metadata ? zumo::MetadataToSave(*state_.metadata, picture, SavedMetadata(), format)
                         : zumo::PhotoMetadata{};
}

zumo::MetadataChoice TForm1::SavedMetadata() const noexcept {
  if (strip_metadata_action_->isChecked()) return zumo::MetadataChoice::None;
  if (strip_location_action_->isChecked()) return zumo::MetadataChoice::WithoutLocation;
  return zumo::MetadataChoice::All;
}

// The retouching handlers (sliders, one-button filter, techniques) are in Unit1Retouch.cpp.

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
using zumo::app::ProposeName;

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
  open_dialog_ = new QFileDialog(this);
  open_dialog_->setObjectName(QStringLiteral("OpenDialog1"));
  open_dialog_->setOption(QFileDialog::DontUseNativeDialog);
  open_dialog_->setAcceptMode(QFileDialog::AcceptOpen);
  open_dialog_->setFileMode(QFileDialog::AnyFile);  // a typed name is taken as it stands
  // The window's own kinds first and selected; the second lists every kind a photo is read in.
  open_dialog_->setNameFilters({QString::fromUtf8("画像ファイル (*.jpg *.bmp)"),
                                QString::fromUtf8("読み込める写真すべて (*.jpg *.jpeg *.bmp *.png *.webp *.heic *.heif *.avif)")});
  setAcceptDrops(true);

  save_dialog_ = new QFileDialog(this);
  save_dialog_->setObjectName(QStringLiteral("SaveDialog1"));
  save_dialog_->setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
  save_dialog_->setAcceptMode(QFileDialog::AcceptSave);
  save_dialog_->setNameFilter(QString::fromUtf8("ビットマップファイル (*.bmp)"));

  BindEvents();
  FormCreate();
  SetUpEditing();
}

TForm1::~TForm1() = default;

void TForm1::FormCreate() {
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
  auto bind_click = [this](zumo::TImage* button, void (TForm1::*handler)(), Step step) {
    connect(button, &zumo::TImage::clicked, this,
            [this, handler, step] { RunHandler([this, handler] { (this->*handler)(); }, step); });
  };
  bind_click(ui->RGButton1, &TForm1::RGButton1Click, Step::None);
  bind_click(ui->RGButton2, &TForm1::RGButton2Click, Step::Load);
  bind_click(ui->RGButton3, &TForm1::RGButton3Click, Step::None);
  bind_click(ui->RGButton4, &TForm1::RGButton4Click, Step::Action);
  bind_click(ui->RGButton5, &TForm1::RGButton5Click, Step::Action);

  // A size preset reacts only when the selection moves to it.
  auto bind_preset = [this](QRadioButton* button, void (TForm1::*handler)()) {
    connect(button, &QRadioButton::toggled, this, [this, handler](bool checked) {
      if (checked) RunHandler([this, handler] { (this->*handler)(); }, Step::SizePreset);
    });
  };
  bind_preset(ui->RadioButton8, &TForm1::RadioButton8Click);
  bind_preset(ui->RadioButton9, &TForm1::RadioButton9Click);
  bind_preset(ui->RadioButton10, &TForm1::RadioButton10Click);
  bind_preset(ui->RadioButton11, &TForm1::RadioButton11Click);

  auto bind_change = [this](QSlider* slider, void (TForm1::*handler)()) {
    connect(slider, &QSlider::valueChanged, this,
            [this, handler, slider] { RunHandler([this, handler] { (this->*handler)(); }, Step::Slider, slider); });
  };
  bind_change(ui->TrackBar1, &TForm1::TrackBar1Change);
  bind_change(ui->TrackBar2, &TForm1::TrackBar2Change);
  bind_change(ui->TrackBar3, &TForm1::TrackBar3Change);
  bind_change(ui->TrackBar4, &TForm1::TrackBar4Change);
  bind_change(ui->TrackBar5, &TForm1::TrackBar5Change);
  bind_change(ui->TrackBar6, &TForm1::TrackBar6Change);
  bind_change(ui->TrackBar7, &TForm1::TrackBar7Change);
}

template <class Handler>
void TForm1::RunHandler(Handler&& handler, Step step, QSlider* sender) {
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
  const bool gesture_goes_on = step == Step::Slider && sender == gesture_slider_ && gesture_before_;
  if (!gesture_goes_on) {
    CloseGesture();
    if (step != Step::None) {
      before = CaptureState();
      // The slider has already moved: its position before the change is the one known.
      if (step == Step::Slider) before->sliders = known_positions_;
      if (step == Step::SizePreset) before->size_preset = known_preset_;
    }
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
  if (before && step != Step::Slider) RecordStep(*before, step);
  if (before && step == Step::Slider) {
    gesture_slider_ = sender;
    gesture_before_ = std::move(before);
    qApp->installEventFilter(this);  // the gesture ends with the user's next other input
    UpdateCommands();
  }
  if (!message.isNull()) zumo::app::ShowErrorReport(this, message);
}

void TForm1::Set_Int() {
  for (QSlider* slider : {ui->TrackBar1, ui->TrackBar2, ui->TrackBar3, ui->TrackBar4, ui->TrackBar5,
                          ui->TrackBar6, ui->TrackBar7}) {
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

zumo::SizePreset TForm1::SelectedSizePreset() const {
  if (ui->RadioButton9->isChecked()) return zumo::SizePreset::Long1600;
  if (ui->RadioButton10->isChecked()) return zumo::SizePreset::Long1024;
  if (ui->RadioButton11->isChecked()) return zumo::SizePreset::Long800;
  return zumo::SizePreset::AsLoaded;
}

void TForm1::ShowSizedPhoto(const zumo::Bitmap& photo) {
  const zumo::Bitmap sized = zumo::BringToPreset(photo, SelectedSizePreset());
  ui->Image1->AssignBitmap(sized);
  ui->Image2->AssignBitmap(sized);
  recipes_.shown = recipes_.base = zumo::Recipe{SelectedSizePreset(), {}};
}

void TForm1::RGButton2Click() {
  ActiveGroup = slider_groups::kNone;
  Set_Int();
  open_dialog_->selectFile(last_open_name_);
  if (open_dialog_->exec() != QDialog::Accepted) return;
  const QStringList chosen = open_dialog_->selectedFiles();
  if (chosen.isEmpty()) return;
  last_open_name_ = chosen.front();
  LoadPhoto(last_open_name_);
}

void TForm1::OpenNamedPhoto(const QString& path) {
  RunHandler([this, &path] {
    ActiveGroup = slider_groups::kNone;
    Set_Int();
    last_open_name_ = path;
    LoadPhoto(path);
  }, Step::Load);
}

void TForm1::SaveAs() {
  RunHandler([this] { SaveAsNow(); }, Step::None);
}

void TForm1::SaveRecipe() {
  RunHandler([this] { SaveRecipeNow(); }, Step::None);
}

void TForm1::ApplyRecipe() {
  RunHandler([this] { ChooseAndApplyRecipe(); }, Step::Action);
}

void TForm1::ApplyRecipeFile(const QString& path) {
  RunHandler([this, &path] { ApplyRecipeNow(path); }, Step::Action);
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
  const std::string file = FileSystemPath(path);
  // Everything is read and sized in temporaries; the window's pictures change only once
  // nothing can fail any more.
  zumo::LoadedPhoto loaded = zumo::LoadPhotoFile(file, screen_bits_per_pixel_);
  const zumo::Bitmap& photo = loaded.photo.picture;
  auto metadata = std::make_shared<const zumo::PhotoMetadata>(std::move(loaded.photo.metadata));
  const zumo::Bitmap sized = zumo::BringToPreset(photo, SelectedSizePreset());

  if (loaded.jpeg) WorkJpeg = std::move(loaded.jpeg);
  WorkBitmap->Assign(photo);
  ui->Image3->AssignBitmap(photo);
  ui->Image1->AssignBitmap(sized);
  ui->Image2->AssignBitmap(sized);
  recipes_.shown = recipes_.base = zumo::Recipe{SelectedSizePreset(), {}};
  recipes_.from_photo = true;
  photo_metadata_ = std::move(metadata);
}

void TForm1::RadioButton8Click() {
  ActiveGroup = slider_groups::kNone;
  ui->Image1->AssignBitmap(ui->Image3->Bitmap());
  ui->Image2->AssignBitmap(ui->Image3->Bitmap());
  recipes_.shown = recipes_.base = zumo::Recipe{zumo::SizePreset::AsLoaded, {}};
  Set_Int();
}

void TForm1::RadioButton9Click() {
  ActiveGroup = slider_groups::kNone;
  Set_Int();
  BusyCursor busy;
  ShowSizedPhoto(ui->Image3->Bitmap());
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
  const zumo::Bitmap picture = ui->Image1->Bitmap();
  if (picture.Empty()) throw zumo::Error(zumo::messages::kNothingToSave);
  const std::string recipe = ShownRecipeText();

  if (chosen->format == zumo::SaveFormat::Bmp) {
    save_dialog_->setDefaultSuffix(QStringLiteral("BMP"));
    save_dialog_->setNameFilter(QString::fromUtf8("ビットマップファイル (*.bmp)"));
  } else {
    save_dialog_->setDefaultSuffix(QStringLiteral("JPG"));
    save_dialog_->setNameFilter(QString::fromUtf8("JPEGファイル (*.jpg)"));
  }
  ProposeName(*save_dialog_, last_save_name_);
  if (save_dialog_->exec() != QDialog::Accepted) return;
  const QStringList names = save_dialog_->selectedFiles();
  if (names.isEmpty()) return;
  last_save_name_ = names.front();
  BusyCursor busy;
  const zumo::PhotoMetadata metadata =
      chosen->format == zumo::SaveFormat::Jpeg ? MetadataToSave(picture, chosen->format) : zumo::PhotoMetadata{};
  zumo::WritePhotoFile(picture, FileSystemPath(last_save_name_), chosen->format, chosen->quality, recipe, metadata);
}

std::string TForm1::ShownRecipeText() const {
  // A photo saved as loaded, with nothing done to it, is the encoder's file alone: there is
  // nothing to replay.
  const zumo::Recipe& made = recipes_.shown;
  const bool worth_keeping = made.size != zumo::SizePreset::AsLoaded || !made.steps.empty();
  return recipes_.from_photo && worth_keeping ? zumo::FormatRecipe(made) : std::string();
}

zumo::PhotoMetadata TForm1::MetadataToSave(const zumo::Bitmap& picture, zumo::SaveFormat format) const {
  return photo_metadata_ ? zumo::MetadataToSave(*photo_metadata_, picture, SavedMetadata(), format)
                         : zumo::PhotoMetadata{};
}

zumo::MetadataChoice TForm1::SavedMetadata() const noexcept {
  if (strip_metadata_action_->isChecked()) return zumo::MetadataChoice::None;
  if (strip_location_action_->isChecked()) return zumo::MetadataChoice::WithoutLocation;
  return zumo::MetadataChoice::All;
}

// The retouching handlers (sliders, one-button filter, techniques) are in Unit1Retouch.cpp.

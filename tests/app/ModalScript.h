#pragma once

#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>

// Answers the modal dialogs a handler opens, in order, from inside the handler's own exec().
// A timer polls for the active modal widget; each expected step names the kind of window it
// answers. A modal window nobody expected is rejected and noted in Unexpected(), so a test
// never hangs on a stray dialog.
class ModalScript {
 public:
  ModalScript() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start();
  }

  // The next file dialog: `prepare` it (pick a filter, set its own controls), type `name`
  // into its name field and confirm.
  ModalScript& ChooseFile(const QString& name, std::function<void(QFileDialog*)> prepare = {}) {
    Add([name, prepare](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      if (!dialog) return false;
      if (prepare) prepare(dialog);
      // A file the dialog selected in its list on its own (the proposed name, once the
      // folder has loaded, which may come late) wins over a typed name unless typing
      // replaced the selection; typing does so only while the field has the focus,
      // which an offscreen dialog may not give it. Clear it, then type.
      for (auto* view : dialog->findChildren<QAbstractItemView*>()) {
        if (view->selectionModel()) view->selectionModel()->clearSelection();
      }
      dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
      static_cast<QDialog*>(dialog)->accept();
      return true;
    });
    return *this;
  }
  // The next file dialog: look at it, then cancel.
  ModalScript& CancelFile(std::function<void(QFileDialog*)> inspect = {}) {
    Add([inspect](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      if (!dialog) return false;
      if (inspect) inspect(dialog);
      dialog->reject();
      return true;
    });
    return *this;
  }
  // The next message box: keep its title, text and icon, then press OK.
  ModalScript& AcknowledgeMessage() {
    Add([this](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      if (!box) return false;
      titles_ << box->windowTitle();
      messages_ << box->text();
      icons_.push_back(box->icon());
      has_ok_ = box->button(QMessageBox::Ok) != nullptr;
      box->button(QMessageBox::Ok)->click();
      return true;
    });
    return *this;
  }

  bool Done() const { return steps_.empty(); }
  const QStringList& Messages() const { return messages_; }
  const QStringList& Titles() const { return titles_; }
  const std::vector<QMessageBox::Icon>& Icons() const { return icons_; }
  bool MessageHadOk() const { return has_ok_; }
  const QStringList& Unexpected() const { return unexpected_; }

 private:
  // A step is added between actions, when no modal window is open: whatever opens next is
  // a new opening, even of the dialog object seen last (a test that blocked the event loop
  // in between, running a program, gave the timer no chance to see it closed).
  void Add(std::function<bool(QWidget*)> step) {
    last_ = nullptr;
    steps_.push_back(std::move(step));
  }

  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) {
      last_ = nullptr;  // the same dialog object may open again later
      return;
    }
    if (modal == last_) return;
    if (!steps_.empty() && steps_.front()(modal)) {
      last_ = modal;
      steps_.pop_front();
      return;
    }
    auto* box = qobject_cast<QMessageBox*>(modal);
    unexpected_ << QString::fromLatin1(modal->metaObject()->className()) + QStringLiteral(": ") +
                       (box ? box->text() : modal->windowTitle());
    last_ = modal;
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
  }

  QTimer timer_;
  std::deque<std::function<bool(QWidget*)>> steps_;
  QPointer<QWidget> last_;
  QStringList titles_, messages_, unexpected_;
  std::vector<QMessageBox::Icon> icons_;
  bool has_ok_ = false;
};

#pragma once
// Answers the modal dialogs the windows open during a test: every few
// milliseconds it looks for a new message box, file dialog or About box on top
// and hands it to the test's handler, recording what the boxes said.
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <vector>

namespace tallyglass {

class ModalAnswerer : public QObject {
 public:
  struct Box {
    QString title;
    QString text;
  };
  // Returns false to leave the dialog for a later tick.
  using Handler = std::function<bool(QDialog*)>;

  ModalAnswerer() {
    timer_.setInterval(5);
    connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::Tick);
    timer_.start();
  }
  void SetHandler(Handler handler) { handler_ = std::move(handler); }
  const std::vector<Box>& Boxes() const { return boxes_; }
  void Clear() { boxes_.clear(); }

  // Presses a message box's button of that kind; Cancel/Escape boxes may also be closed.
  static bool Press(QDialog* dialog, QMessageBox::StandardButton which) {
    auto* box = qobject_cast<QMessageBox*>(dialog);
    if (!box || !box->button(which)) return false;
    box->button(which)->click();
    return true;
  }

 private:
  void Tick() {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog || dialog == last_ || !dialog->isVisible()) return;
    if (auto* box = qobject_cast<QMessageBox*>(dialog); box && dialog != recorded_) {
      boxes_.push_back({box->windowTitle(), box->text()});
      recorded_ = dialog;
    }
    // A dialog kept for later visits (the About window) counts as new when shown again.
    const auto forget = connect(dialog, &QDialog::finished, this, [this] { last_ = nullptr; recorded_ = nullptr; },
                                Qt::SingleShotConnection);
    last_ = dialog;
    const bool handled = handler_ ? handler_(dialog) : Press(dialog, QMessageBox::Ok);
    if (!handled) {
      disconnect(forget);
      last_ = nullptr;
    }
  }

  QTimer timer_;
  Handler handler_;
  QPointer<QDialog> last_;
  QPointer<QDialog> recorded_;
  std::vector<Box> boxes_;
};

}  // namespace tallyglass

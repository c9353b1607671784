// The desktop program: the four windows over the core.
#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "app/application.h"
#include "app/windows.h"

namespace {

// Shows a failure no handler caught in the standard error box and goes on.
class Application : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      QMessageBox::critical(nullptr, applicationDisplayName(), QString::fromLocal8Bit(e.what()));
    } catch (...) {
      QMessageBox::critical(nullptr, applicationDisplayName(), "Unknown failure");
    }
    return false;
  }
};

}  // namespace

int main(int argc, char** argv) {
  Application app(argc, argv);
  // The application title (message boxes carry it). No display name is set,
  // so window captions stay exactly as the windows set them.
  QApplication::setApplicationName("Tallyglass");
  tallyglass::InstallRussianTranslations(app);

  tallyglass::Windows windows;
  tallyglass::PrepareApplication(app, windows.form3);
  windows.form3.show();
  return app.exec();
}

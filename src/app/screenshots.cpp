// Pictures of the windows for the documentation: drives the desktop program's
// windows against a register (the emulator) and saves each window as PNG.
// Usage: tallyglass-screenshots OUTPUT_DIR PORT FIRST LAST
// It connects on PORT at 9600 bit/s, fetches documents FIRST..LAST by number
// ("Чек+Z-отчет") and writes connection.png, query.png and about.png.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QListView>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "app/windows.h"

namespace {

void Settle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

bool Save(QWidget* window, const QString& path) {
  window->raise();
  Settle(300);
  if (!window->grab().save(path, "PNG")) {
    std::fprintf(stderr, "tallyglass-screenshots: cannot write %s\n", qPrintable(path));
    return false;
  }
  std::fprintf(stderr, "tallyglass-screenshots: %s\n", qPrintable(path));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tallyglass");
  if (argc != 5) {
    std::fprintf(stderr, "usage: tallyglass-screenshots OUTPUT_DIR PORT FIRST LAST\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  const QString port = QString::fromLocal8Bit(argv[2]);

  using namespace tallyglass;
  Windows windows;
  TForm3& form3 = windows.form3;
  TForm53& form53 = windows.form53;
  TForm54& form54 = windows.form54;

  int status = 0;
  QTimer::singleShot(0, [&] {
    form3.show();
    while (form3.ActivationCount() == 0) Settle(50);
    form3.ComboBox1->setEditText(port);
    form3.ComboBox2->setCurrentText("9600");
    form3.Button3Click();
    if (!form3.Connected()) {
      std::fprintf(stderr, "tallyglass-screenshots: no connection on %s\n", qPrintable(port));
      status = 1;
      app.quit();
      return;
    }
    if (!Save(&form3, out.filePath("connection.png"))) status = 1;

    form3.N45Click();
    form53.ComboBox1->setCurrentIndex(2);
    form53.Edit1->setText(QString::fromLocal8Bit(argv[3]));
    form53.Edit2->setText(QString::fromLocal8Bit(argv[4]));
    form53.Button1Click();
    form53.ListBox2->scrollToTop();
    if (form53.State().listing.empty()) status = 1;
    if (!Save(&form53, out.filePath("query.png"))) status = 1;

    form54.show();
    if (!Save(&form54, out.filePath("about.png"))) status = 1;
    form54.hide();
    app.quit();
  });
  app.exec();
  return status;
}

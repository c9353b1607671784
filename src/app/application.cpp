#include "app/application.h"

#include <QApplication>

#include "app/tform3.h"

namespace tallyglass {

void PrepareApplication(QApplication& app, TForm3& connection) {
  QApplication::setQuitOnLastWindowClosed(false);
  QObject::connect(&connection, &TForm3::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
}

}  // namespace tallyglass

#include "app/application.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/tform3.h"

namespace tallyglass {

void PrepareApplication(QApplication& app, TForm3& connection) {
  QApplication::setQuitOnLastWindowClosed(false);
  QObject::connect(&connection, &TForm3::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
}

bool InstallRussianTranslations(QApplication& app) {
  auto* translator = new QTranslator(&app);
  if (!translator->load("qtbase_ru", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QApplication::installTranslator(translator);
}

}  // namespace tallyglass

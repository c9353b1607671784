#include "app/dialogs.h"

#include <QGuiApplication>
#include <QMessageBox>

namespace tallyglass {

void ShowInform(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Information, QGuiApplication::applicationDisplayName(), text,
                  QMessageBox::Ok, parent);
  box.exec();
}

bool AskRetry(QWidget* parent, const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Retry | QMessageBox::Cancel, parent);
  box.setDefaultButton(QMessageBox::Retry);
  box.setEscapeButton(QMessageBox::Cancel);
  return box.exec() == QMessageBox::Retry;
}

void ShowError(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Critical, QGuiApplication::applicationDisplayName(), text,
                  QMessageBox::Ok, parent);
  box.exec();
}

}  // namespace tallyglass

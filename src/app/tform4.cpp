#include "app/tform4.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QVBoxLayout>

#include "app/dialogs.h"
#include "app/tform3.h"

namespace tallyglass {

TForm4::TForm4(TForm3* connection, QWidget* parent) : QWidget(parent), connection_(connection) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setAttribute(Qt::WA_QuitOnClose, false);
  QFont font("MS Sans Serif");
  font.setStyleHint(QFont::SansSerif);
  setFont(font);

  QFont big = font;
  big.setPointSize(12);
  Label1 = new QLabel(this);
  Label2 = new QLabel(this);
  for (QLabel* label : {Label1, Label2}) {
    label->setFont(big);
    label->setAlignment(Qt::AlignCenter);
  }
  auto* column = new QVBoxLayout(this);
  column->addStretch(1);
  column->addWidget(Label1);
  column->addWidget(Label2);
  column->addStretch(1);
  resize(472, 279);
}

void TForm4::ShowNotice(const QString& caption, const QString& first_line) {
  setWindowTitle(caption);
  Label1->setText(first_line);
  show();
  raise();
  FormActivate();
}

void TForm4::FormActivate() {
  // Let the window system map the notice, then paint it before the long work.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  repaint();
}

void TForm4::SetProgress(const QString& line) {
  Label2->setText(line);
  if (isVisible()) Label2->repaint();
}

bool TForm4::FormCloseQuery() {
  if (AskRetry(this, "Прервать чтение", "Прервать")) return false;
  connection_->SetStopRequested(true);
  return true;
}

void TForm4::closeEvent(QCloseEvent* event) {
  if (FormCloseQuery()) event->accept();
  else event->ignore();
}

}  // namespace tallyglass

#include "app/tform54.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace tallyglass {

TForm54::TForm54(QWidget* parent) : QDialog(parent) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setWindowTitle("О программе Чтение чеков и Z-отчетов Vesper");
  setModal(true);

  Label1 = new QLabel(this);
  Label5 = new QLabel("Tallyglass", this);
  Label3 = new QLabel(this);
  Label4 = new QLabel("Marvek RZ-40, Vesper-W", this);
  Button1 = new QPushButton("Закрыть", this);
  Button1->setObjectName("Button1");
  for (QLabel* label : {Label1, Label5, Label3, Label4}) label->setAlignment(Qt::AlignHCenter);
  connect(Button1, &QPushButton::clicked, this, &TForm54::Button1Click);

  auto* column = new QVBoxLayout(this);
  column->addWidget(Label1);
  column->addWidget(Label5);
  column->addWidget(Label3);
  column->addWidget(Label4);
  column->addWidget(Button1, 0, Qt::AlignHCenter);

  setFixedSize(385, 145);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

void TForm54::SetVersion(const QString& version_text) {
  Label1->setText("ПО Чтение чеков и Z-отчетов (" + version_text + ")");
}

void TForm54::Button1Click() { accept(); }

}  // namespace tallyglass

#include "app/tform54.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "text/messages.h"

namespace tallyglass {

namespace {
// The designed client area, and the row added below it for the licence.
constexpr int kDesignedWidth = 385;
constexpr int kDesignedHeight = 145;
constexpr int kAddedRowHeight = 36;
}  // namespace

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

  // The designed controls keep their own area; the licence has the row below it.
  auto* designed = new QWidget(this);
  designed->setGeometry(0, 0, kDesignedWidth, kDesignedHeight);
  auto* column = new QVBoxLayout(designed);
  for (QLabel* label : {Label1, Label5, Label3, Label4}) label->setParent(designed);
  Button1->setParent(designed);
  column->addWidget(Label1);
  column->addWidget(Label5);
  column->addWidget(Label3);
  column->addWidget(Label4);
  column->addWidget(Button1, 0, Qt::AlignHCenter);

  LicenceLabel = new QLabel(this);
  LicenceLabel->setObjectName("LicenceLabel");
  const auto utf8 = [](std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); };
  LicenceLabel->setText(utf8(messages::kLicenceShort) + "\n" + utf8(messages::kCopyright));
  LicenceLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  LicenceLabel->setGeometry(0, kDesignedHeight, kDesignedWidth, kAddedRowHeight);

  setFixedSize(kDesignedWidth, kDesignedHeight + kAddedRowHeight);
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

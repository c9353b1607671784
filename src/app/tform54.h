#pragma once
// The About window: name, version and the register models served.
#include <QDialog>

class QLabel;
class QPushButton;

namespace tallyglass {

class TForm54 : public QDialog {
  Q_OBJECT

 public:
  explicit TForm54(QWidget* parent = nullptr);

  // The title line with the version, set by the connection window's activation.
  void SetVersion(const QString& version_text);

  QLabel* Label1;
  QLabel* Label5;
  QLabel* Label3;
  QLabel* Label4;
  QPushButton* Button1;
  // Added below the designed area: the licence.
  QLabel* LicenceLabel;

 public slots:
  void Button1Click();
};

}  // namespace tallyglass

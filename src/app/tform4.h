#pragma once
// The busy notice shown while a request runs. Its close box asks whether to
// stop the reading.
#include <QWidget>

class QLabel;

namespace tallyglass {

class TForm3;

class TForm4 : public QWidget {
  Q_OBJECT

 public:
  explicit TForm4(TForm3* connection, QWidget* parent = nullptr);

  // Shows the notice with its texts and paints it at once.
  void ShowNotice(const QString& caption, const QString& first_line);
  // The progress line; the notice is repainted at once while it shows.
  void SetProgress(const QString& line);

  QLabel* Label1;
  QLabel* Label2;

  // Whether the close box may close the window; Cancel sets StopRequested.
  bool FormCloseQuery();

 public slots:
  void FormActivate();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  TForm3* connection_;
};

}  // namespace tallyglass

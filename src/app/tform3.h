#pragma once
// The connection window, the program's main window: port, speed and network
// number, connect and disconnect, the journal menu and the About entry.
#include <QColor>
#include <QMainWindow>
#include <string>
#include <vector>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QStatusBar;

namespace tallyglass {

class TForm4;
class TForm53;
class TForm54;

// The connection indicator: a filled rounded rectangle.
class TShape : public QWidget {
 public:
  explicit TShape(QWidget* parent);
  QColor Brush() const { return brush_; }
  void SetBrush(const QColor& color);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor brush_;
};

class TForm3 : public QMainWindow {
  Q_OBJECT

 public:
  explicit TForm3(QWidget* parent = nullptr);
  ~TForm3() override;

  // The windows opened from here, created after this one.
  void SetForms(TForm53* query, TForm54* about, TForm4* busy);

  // The pauses of the activation sequence (the USB probe, then the settling);
  // tests make them shorter.
  struct ActivationWaits {
    int probe_ms = 100;
    int settle_ms = 1000;
  };
  void SetActivationWaits(ActivationWaits waits) { waits_ = waits; }
  // The ports "Найти аппарат" tries; empty (the default) means the serial
  // devices present. Tests point it at the emulator.
  void SetSearchPorts(std::vector<std::string> ports) { search_ports_ = std::move(ports); }

  // Shared state read by the other windows and the reader.
  const QString& VersionText() const { return version_text_; }
  bool AppActive() const { return app_active_; }
  // The running request's stop flag (it lives in the query window's control).
  bool StopRequested() const;
  void SetStopRequested(bool stop);
  bool Connected() const { return connected_; }
  const std::string& IniPath() const { return ini_path_; }
  QString NetworkNumberText() const;
  QString StatusText() const;
  int ActivationCount() const { return activation_count_; }
  // Counts the connections made: a new one may be another register.
  int ConnectionNumber() const { return connection_number_; }
  // A line of the status bar, also as its tool tip (it may be longer than the window).
  void ShowStatus(const QString& text);
  // "Архив": the archive window, no register needed.
  QAction* ArchiveAction;
  void ArchiveClick();

  // Controls, named as the window defines them.
  QGroupBox* GroupBox1;
  QLabel* Label1;
  QComboBox* ComboBox1;
  QLabel* Label2;
  QComboBox* ComboBox2;
  QLabel* Label3;
  QComboBox* ComboBox3;
  TShape* Shape1;
  QPushButton* Button3;
  QPushButton* Button1;
  QPushButton* FindButton;  // "Найти аппарат", added below "Подключить"
  QStatusBar* StatusBar1;
  QLabel* StatusPanel;  // the status bar's one simple text panel
  QMenu* N2;
  QAction* N45;
  QAction* N5;

 public slots:
  void FormActivate();
  void Button3Click();
  void Button1Click();
  void N45Click();
  void N5Click();
  void FindButtonClick();
  void ApplicationEvents1Activate();
  void ApplicationEvents1Deactivate();

 signals:
  // The activation sequence has run to its end.
  void Activated();
  // The window was closed: the program ends.
  void Closed();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate();
  void LoadConfiguration();
  void SetDisconnected();

  TForm53* query_ = nullptr;
  TForm54* about_ = nullptr;
  TForm4* busy_ = nullptr;
  ActivationWaits waits_;
  QString version_text_;
  bool app_active_ = false;
  bool connected_ = false;
  bool activation_pending_ = false;
  int activation_count_ = 0;
  std::string ini_path_;
  std::vector<std::string> search_ports_;
  int connection_number_ = 0;
};

}  // namespace tallyglass

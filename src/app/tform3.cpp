#include "app/tform3.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QThread>
#include <QTimer>

#include "settings/connection.h"
#include "app/archive_window.h"
#include "app/dialogs.h"
#include "settings/archive_settings.h"
#include "settings/fpinit_settings.h"
#include "app/find_register.h"
#include "app/qt_text.h"
#include "app/tform4.h"
#include "app/tform53.h"
#include "app/tform54.h"
#include "detect/open_failure.h"

namespace tallyglass {
namespace {

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);

void Wait(int ms) {
  if (ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
}

void FillItems(QComboBox* box, const std::vector<std::string>& items) {
  for (const auto& item : items) box->addItem(ToQt(item));
}

}  // namespace

TShape::TShape(QWidget* parent) : QWidget(parent), brush_(kRed) {}

void TShape::SetBrush(const QColor& color) {
  brush_ = color;
  update();
}

void TShape::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(brush_);
  painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
}

TForm3::TForm3(QWidget* parent) : QMainWindow(parent) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setWindowTitle("Ostrane");

  N2 = menuBar()->addMenu("КЛЭФ");
  N2->setObjectName("N2");
  N45 = N2->addAction("Вывод документов в электронном виде");
  N45->setObjectName("N45");
  N5 = menuBar()->addAction("О программе...");
  N5->setObjectName("N5");
  ArchiveAction = menuBar()->addAction("Архив");
  ArchiveAction->setObjectName("ArchiveAction");
  connect(ArchiveAction, &QAction::triggered, this, &TForm3::ArchiveClick);
  N2->menuAction()->setEnabled(false);
  connect(N45, &QAction::triggered, this, &TForm3::N45Click);
  connect(N5, &QAction::triggered, this, &TForm3::N5Click);

  auto* client = new QWidget(this);
  setCentralWidget(client);

  GroupBox1 = new QGroupBox("Подключение к последовательному порту", client);
  GroupBox1->setGeometry(8, 8, 525, 176);
  Label1 = new QLabel("Последовательный порт:", GroupBox1);
  Label1->setGeometry(16, 32, 180, 24);
  ComboBox1 = new QComboBox(GroupBox1);
  ComboBox1->setObjectName("ComboBox1");
  ComboBox1->setEditable(true);
  ComboBox1->setInsertPolicy(QComboBox::NoInsert);
  ComboBox1->setGeometry(200, 32, 150, 26);
  FillItems(ComboBox1, PortItems());

  Label2 = new QLabel("Скорость порта (бод):", GroupBox1);
  Label2->setGeometry(16, 76, 180, 24);
  ComboBox2 = new QComboBox(GroupBox1);
  ComboBox2->setObjectName("ComboBox2");
  ComboBox2->setGeometry(200, 76, 150, 26);
  FillItems(ComboBox2, SpeedItems());

  Label3 = new QLabel("Каса", GroupBox1);
  Label3->setGeometry(16, 120, 180, 24);
  ComboBox3 = new QComboBox(GroupBox1);
  ComboBox3->setObjectName("ComboBox3");
  ComboBox3->setEditable(true);
  ComboBox3->setInsertPolicy(QComboBox::NoInsert);
  ComboBox3->setGeometry(200, 120, 150, 26);
  FillItems(ComboBox3, NetworkNumberItems());

  Shape1 = new TShape(GroupBox1);
  Shape1->setGeometry(405, 34, 65, 20);
  Button3 = new QPushButton("Подключить", GroupBox1);
  Button3->setObjectName("Button3");
  Button3->setGeometry(375, 76, 125, 28);
  connect(Button3, &QPushButton::clicked, this, &TForm3::Button3Click);
  // Not a designed control: it sits in the free space under Button3.
  FindButton = new QPushButton("Найти аппарат", GroupBox1);
  FindButton->setObjectName("FindButton");
  FindButton->setGeometry(375, 120, 125, 28);
  connect(FindButton, &QPushButton::clicked, this, &TForm3::FindButtonClick);

  Button1 = new QPushButton("Закрыть", client);
  Button1->setObjectName("Button1");
  Button1->setGeometry(408, 200, 125, 28);
  connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setSizeGripEnabled(false);
  StatusPanel = new QLabel(StatusBar1);
  StatusBar1->addWidget(StatusPanel, 1);
  setStatusBar(StatusBar1);

  // The client area (status bar included) is 541 x 280; the menu bar sits above it.
  setFixedSize(541, 280 + menuBar()->sizeHint().height());
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }

  connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
    if (state == Qt::ApplicationActive) ApplicationEvents1Activate();
    else ApplicationEvents1Deactivate();
  });

  FormCreate();
}

TForm3::~TForm3() = default;

void TForm3::SetForms(TForm53* query, TForm54* about, TForm4* busy) {
  query_ = query;
  about_ = about;
  busy_ = busy;
}

bool TForm3::StopRequested() const { return query_ != nullptr && query_->Control().stop_requested(); }

void TForm3::SetStopRequested(bool stop) {
  if (query_ == nullptr) return;
  if (stop) {
    query_->Control().request_stop();
  } else {
    query_->Control().clear_stop();
  }
}

void TForm3::FormCreate() {
  version_text_ = "вер. 1.28 от 07.04.2016";
  setWindowTitle(windowTitle() + " " + version_text_);
}

QString TForm3::NetworkNumberText() const { return ComboBox3->currentText(); }

QString TForm3::StatusText() const { return StatusPanel->text(); }

void TForm3::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // Shown at start and again when the query window closes; a restore from
  // the task bar is no new activation.
  if (event->spontaneous() || activation_pending_) return;
  activation_pending_ = true;
  QTimer::singleShot(0, this, [this] {
    activation_pending_ = false;
    FormActivate();
  });
}

void TForm3::closeEvent(QCloseEvent* event) {
  QMainWindow::closeEvent(event);
  if (event->isAccepted()) emit Closed();
}

void TForm3::FormActivate() {
  Button1->setEnabled(false);
  Button3->setEnabled(false);
  N5->setEnabled(false);
  // Numbers are never formatted or parsed through the locale here, so the
  // decimal point needs no setting.

  setWindowTitle(QString("Тестирование USB устройств: Шаг ") + QString::number(1));
  Wait(waits_.probe_ms);
  repaint();
  QCoreApplication::processEvents();
  GetUSBPort("Ports", "STMicroelectronics Virtual COM Port");
  Wait(waits_.settle_ms);

  setWindowTitle("Соединение с РРО " + version_text_);
  if (about_) about_->SetVersion(version_text_);
  LoadConfiguration();

  Button1->setEnabled(true);
  Button3->setEnabled(true);
  N5->setEnabled(true);
  ++activation_count_;
  emit Activated();
}

void TForm3::LoadConfiguration() {
  EnsureIniFile(ini_path_, [this](std::string_view text) { ShowInform(this, ToQt(text)); });
  const ConnectionSettings saved = LoadConnectionSettings(ini_path_);
  std::vector<std::string> ports;
  for (int i = 0; i < ComboBox1->count(); ++i) ports.push_back(FromQt(ComboBox1->itemText(i)));
  const int port_index = ChoosePort(ports, saved);
  for (int i = ComboBox1->count(); i < static_cast<int>(ports.size()); ++i) ComboBox1->addItem(ToQt(ports[i]));
  ComboBox1->setCurrentIndex(port_index);
  ComboBox2->setCurrentIndex(SelectIndex(SpeedItems(), saved.speed, kDefaultSpeedIndex));
  ComboBox3->setCurrentIndex(SelectIndex(NetworkNumberItems(), saved.network_number, kDefaultNetworkIndex));
  // An item chosen again shows its own text, also over text typed before.
  ComboBox1->setEditText(ComboBox1->itemText(ComboBox1->currentIndex()));
  ComboBox3->setEditText(ComboBox3->itemText(ComboBox3->currentIndex()));
}

void TForm3::SetDisconnected() {
  N2->menuAction()->setEnabled(false);
  Shape1->SetBrush(kRed);
  Button3->setText("Подключить");
  ComboBox1->setEnabled(true);
  ComboBox2->setEnabled(true);
  FindButton->setEnabled(true);
  connected_ = false;
}

void TForm3::Button3Click() {
  if (connected_) {
    DisconnectRegister();
    SetDisconnected();
    StatusPanel->clear();
    StatusPanel->setToolTip({});
    return;
  }
  const ConnectionSettings typed{FromQt(ComboBox1->currentText()), FromQt(ComboBox2->currentText()),
                                 FromQt(ComboBox3->currentText())};
  const ConnectOutcome outcome = ConnectRegister(typed.port, typed.speed, typed.network_number);
  switch (outcome.kind) {
    case ConnectOutcome::Kind::kBadNetworkNumber:
      ShowInform(this, ToQt(outcome.text));
      return;
    case ConnectOutcome::Kind::kOpenFailed: {
      std::string text = outcome.text;
      const int speed = ComboBox2->currentText().toInt();
      for (const std::string& cause : detect::ExplainOpenFailure(typed.port, speed)) text += "\n" + cause;
      ShowInform(this, ToQt(text));
      return;
    }
    case ConnectOutcome::Kind::kNoAnswer:
      SetDisconnected();
      StatusPanel->setText(ToQt(outcome.text));
      StatusPanel->setToolTip(StatusPanel->text());  // longer than the window is wide
      return;
    case ConnectOutcome::Kind::kConnected:
      N2->menuAction()->setEnabled(true);
      Shape1->SetBrush(kGreen);
      Button3->setText("Отключить");
      ComboBox1->setEnabled(false);
      ComboBox2->setEnabled(false);
      FindButton->setEnabled(false);  // the search would take the open port
      connected_ = true;
      ++connection_number_;
      StatusPanel->setText(ToQt(outcome.text));
      StatusPanel->setToolTip(StatusPanel->text());
      SaveConnectionSettings(ini_path_, typed);
      return;
  }
}

void TForm3::FindButtonClick() {
  if (connected_) return;
  detect::SearchOptions options;
  options.ports = search_ports_;
  for (const int speed : detect::kSearchSpeeds) {  // only the speeds ComboBox2 can show
    for (const std::string& item : SpeedItems())
      if (item == std::to_string(speed)) options.speeds.push_back(speed);
  }
  const auto found = FindRegister(this, options);
  if (!found) return;
  ComboBox1->setEditText(ToQt(found->port));
  const int speed_index = ComboBox2->findText(QString::number(found->speed));
  if (speed_index >= 0) ComboBox2->setCurrentIndex(speed_index);
  const int number_index = ComboBox3->findText(QString::number(found->network_number));
  if (number_index >= 0) ComboBox3->setCurrentIndex(number_index);
  ComboBox3->setEditText(QString::number(found->network_number));
  StatusPanel->setText(ToQt(Utf8ToCp1251("Найден аппарат: ") + found->port + ", " +
                            std::to_string(found->speed) + Utf8ToCp1251(" бод, касса ") +
                            std::to_string(found->network_number) + " - " + found->status));
}

void TForm3::Button1Click() { close(); }

void TForm3::N45Click() {
  if (!query_) return;
  hide();
  query_->ShowModally();
}

void TForm3::N5Click() {
  if (about_) about_->exec();
}

void TForm3::ShowStatus(const QString& text) {
  StatusPanel->setText(text);
  StatusPanel->setToolTip(text);
}

void TForm3::ArchiveClick() {
  ArchiveWindow window(LoadArchivePath(ini_path_), this);
  window.exec();
}

void TForm3::ApplicationEvents1Activate() { app_active_ = true; }

void TForm3::ApplicationEvents1Deactivate() { app_active_ = false; }

}  // namespace tallyglass

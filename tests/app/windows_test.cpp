// The desktop windows on the offscreen platform, against the register emulator.
#include <QAbstractItemModel>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <iterator>
#include <memory>

#include "settings/ini_file.h"
#include "app/tform3.h"
#include "app/tform4.h"
#include "app/tform53.h"
#include "app/tform54.h"
#include "emulator/emulator.h"
#include "link/link.h"
#include "modal_answerer.h"
#include "text/cp1251.h"

namespace tallyglass {
namespace {

std::string ReadBytes(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string SampleJournal() {
  return ReadBytes(QStringLiteral(TALLYGLASS_SOURCE_DIR "/samples/sample-journal.xml"));
}

const char kDefaultIni[] =
    "[CountryMode]\r\nCountry code=0\r\n\r\n[Fiscal Printer]\r\nExtendedTax=1\r\n\r\n"
    "[LogFile]\r\nLog=0\r\nLogName=ostrane.log\r\n";

}  // namespace

class WindowsTest : public QObject {
  Q_OBJECT

 private:
  // The program's windows, created in its order, in a fresh working directory.
  void Start(const std::string& ini = "") {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    QVERIFY(QDir::setCurrent(dir_->path()));
    if (!ini.empty()) std::ofstream(IniPath().toStdString(), std::ios::binary) << ini;
    form3_ = std::make_unique<TForm3>();
    form53_ = std::make_unique<TForm53>(form3_.get());
    form54_ = std::make_unique<TForm54>();
    form4_ = std::make_unique<TForm4>(form3_.get());
    form3_->SetForms(form53_.get(), form54_.get(), form4_.get());
    form53_->SetBusyNotice(form4_.get());
    form3_->SetActivationWaits({0, 0});
    form53_->State().wait_ms = [](int) {};
    ShowAndActivate();
  }
  void ShowAndActivate() {
    QSignalSpy activated(form3_.get(), &TForm3::Activated);
    form3_->show();
    QVERIFY(activated.wait(5000));
  }
  QString IniPath() const { return dir_->filePath("fpinit.ini"); }

  void StartEmulator(emulator::EmulatorOptions options = emulator::EmulatorOptions{}) {
    emulator_ = std::make_unique<emulator::RegisterEmulator>(SampleJournal(), options);
    std::string error;
    QVERIFY2(emulator_->Start(&error), error.c_str());
  }
  void Connect() {
    form3_->ComboBox1->setEditText(QString::fromStdString(emulator_->PortName()));
    form3_->ComboBox2->setCurrentText("9600");
    form3_->Button3->click();
    QVERIFY(form3_->Connected());
  }
  void OpenQueryWindow() {
    form3_->N45->trigger();
    QVERIFY(!form3_->isVisible());
    QVERIFY(form53_->isVisible());
  }
  void RequestByNumbers(int first, int last, int type_index) {
    form53_->ComboBox1->setCurrentIndex(type_index);
    form53_->Edit1->setText(QString::number(first));
    form53_->Edit2->setText(QString::number(last));
    form53_->Button1->click();
  }

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<emulator::RegisterEmulator> emulator_;
  std::unique_ptr<TForm3> form3_;
  std::unique_ptr<TForm53> form53_;
  std::unique_ptr<TForm54> form54_;
  std::unique_ptr<TForm4> form4_;
  ModalAnswerer answerer_;

 private slots:
  void init() { answerer_.Clear(); answerer_.SetHandler({}); }

  void cleanup() {
    link::ClosePort();
    form4_.reset();
    form54_.reset();
    form53_.reset();
    form3_.reset();
    emulator_.reset();
    QDir::setCurrent(QDir::tempPath());
    dir_.reset();
  }

  void firstStartCreatesTheFileAndSelectsTheDefaults() {
    dir_ = std::make_unique<QTemporaryDir>();
    QDir::setCurrent(dir_->path());
    form3_ = std::make_unique<TForm3>();
    QCOMPARE(form3_->windowTitle(), QString("Ostrane вер. 1.28 от 07.04.2016"));
    QStringList captions;
    connect(form3_.get(), &QWidget::windowTitleChanged, [&](const QString& title) { captions << title; });
    form53_ = std::make_unique<TForm53>(form3_.get());
    form54_ = std::make_unique<TForm54>();
    form4_ = std::make_unique<TForm4>(form3_.get());
    form3_->SetForms(form53_.get(), form54_.get(), form4_.get());
    form3_->SetActivationWaits({0, 0});
    ShowAndActivate();

    QCOMPARE(captions, (QStringList{"Тестирование USB устройств: Шаг 1", "Соединение с РРО вер. 1.28 от 07.04.2016"}));
    QCOMPARE(answerer_.Boxes().size(), std::size_t{1});
    QCOMPARE(answerer_.Boxes()[0].text, QString("Файл fpinit.ini отсутствует.\n Создание файла!"));
    QCOMPARE(answerer_.Boxes()[0].title, QString("Tallyglass"));
    QCOMPARE(ReadBytes(IniPath()), std::string(kDefaultIni));
    QCOMPARE(form3_->ComboBox1->currentText(), QString("COM1"));
    QCOMPARE(form3_->ComboBox2->currentText(), QString("9600"));
    QCOMPARE(form3_->ComboBox3->currentText(), QString("1"));
    QVERIFY(form3_->Button1->isEnabled() && form3_->Button3->isEnabled() && form3_->N5->isEnabled());
    QVERIFY(!form3_->N2->menuAction()->isEnabled());
    QCOMPARE(form3_->Shape1->Brush(), QColor(255, 0, 0));
    QCOMPARE(form3_->Shape1->size(), QSize(65, 20));
    QCOMPARE(form3_->Button3->text(), QString("Подключить"));
    QCOMPARE(form3_->centralWidget()->height() + form3_->statusBar()->height(), 280);
    QCOMPARE(form3_->width(), 541);
    QCOMPARE(form3_->IniPath(), IniPath().toStdString());
  }

  void savedValuesSelectTheListItems_data() {
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("speed");
    QTest::addColumn<QString>("ncase");
    QTest::addColumn<QString>("want_port");
    QTest::addColumn<QString>("want_speed");
    QTest::addColumn<QString>("want_ncase");
    QTest::newRow("lower-case port") << "com5" << "57600" << "12" << "COM5" << "57600" << "12";
    QTest::newRow("no such items") << "COM25" << "56000" << "100" << "COM1" << "9600" << "1";
  }
  void savedValuesSelectTheListItems() {
    QFETCH(QString, port);
    QFETCH(QString, speed);
    QFETCH(QString, ncase);
    Start(std::string(kDefaultIni) + "[Communication]\r\nPort=" + port.toStdString() + "\r\nSpeed=" +
          speed.toStdString() + "\r\nNCase=" + ncase.toStdString() + "\r\n");
    QVERIFY(answerer_.Boxes().empty());
    QTEST(form3_->ComboBox1->currentText(), "want_port");
    QTEST(form3_->ComboBox2->currentText(), "want_speed");
    QTEST(form3_->ComboBox3->currentText(), "want_ncase");
  }

  void connectAndDisconnect() {
    emulator::EmulatorOptions options;
    options.status = "ABCDEFGH";
    StartEmulator(options);
    Start(kDefaultIni);
    Connect();
    QCOMPARE(form3_->StatusText(), QString("Подключение установлено с  аппаратом:  ABCDEF"));
    QCOMPARE(form3_->Shape1->Brush(), QColor(0, 255, 0));
    QCOMPARE(form3_->Button3->text(), QString("Отключить"));
    QVERIFY(form3_->N2->menuAction()->isEnabled());
    QVERIFY(!form3_->ComboBox1->isEnabled());
    QVERIFY(!form3_->ComboBox2->isEnabled());
    QVERIFY(form3_->ComboBox3->isEnabled());
    const std::string ini = IniPath().toStdString();
    QCOMPARE(ReadProfileString(ini, "Communication", "Port", "", 64), emulator_->PortName());
    QCOMPARE(ReadProfileString(ini, "Communication", "Speed", "", 64), std::string("9600"));
    QCOMPARE(ReadProfileString(ini, "Communication", "NCase", "", 64), std::string("1"));
    QCOMPARE(ReadBytes(IniPath()).substr(0, sizeof kDefaultIni - 1), std::string(kDefaultIni));

    const std::size_t before = emulator_->Received().size();
    form3_->Button3->click();
    QVERIFY(!form3_->Connected());
    QCOMPARE(form3_->StatusText(), QString());
    QCOMPARE(form3_->Shape1->Brush(), QColor(255, 0, 0));
    QCOMPARE(form3_->Button3->text(), QString("Подключить"));
    QVERIFY(!form3_->N2->menuAction()->isEnabled());
    QVERIFY(form3_->ComboBox1->isEnabled() && form3_->ComboBox2->isEnabled());
    // The release sequence went out.
    const std::string release = std::string(8, '\xFF') + "\x13\x13" + std::string(8, '\xFF');
    QVERIFY(emulator_->WaitForReceived(before + release.size(), std::chrono::seconds(5)));
    QCOMPARE(emulator_->Received().substr(before), release);
  }

  void failedConnectionsStayRed_data() {
    QTest::addColumn<QString>("speed");
    QTest::addColumn<QString>("ncase");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("status");
    QTest::newRow("speed 2400") << "2400" << "1" << false << "Невозможно подключить порт" << "";
    QTest::newRow("network number not a number")
        << "9600" << "1a" << false << "Сетевой номер аппарата должен быть целым числом от 1 до 99" << "";
    QTest::newRow("network number 0")
        << "9600" << "0" << false << "Сетевой номер аппарата должен быть целым числом от 1 до 99" << "";
    QTest::newRow("silent register")
        << "9600" << "1" << true << ""
        << "Подключения нет. Проверьте выбранную скорость обмена и сетевой номер аппарата";
  }
  void failedConnectionsStayRed() {
    QFETCH(QString, speed);
    QFETCH(QString, ncase);
    QFETCH(bool, silent);
    QFETCH(QString, message);
    QFETCH(QString, status);
    StartEmulator();
    if (silent) emulator_->SetFaultCallback([](const emulator::Event&) { return emulator::Fault::kSilence; });
    Start(kDefaultIni);
    form3_->ComboBox1->setEditText(QString::fromStdString(emulator_->PortName()));
    form3_->ComboBox2->setCurrentText(speed);
    form3_->ComboBox3->setEditText(ncase);
    form3_->Button3->click();

    QVERIFY(!form3_->Connected());
    QCOMPARE(answerer_.Boxes().size(), std::size_t(message.isEmpty() ? 0 : 1));
    // The design's message is the first line; the cause follows it.
    if (!message.isEmpty()) QCOMPARE(answerer_.Boxes()[0].text.section('\n', 0, 0), message);
    QCOMPARE(form3_->StatusText(), status);
    QCOMPARE(form3_->StatusPanel->toolTip(), status);  // the long text whole
    QCOMPARE(form3_->Shape1->Brush(), QColor(255, 0, 0));
    QCOMPARE(form3_->Button3->text(), QString("Подключить"));
    QVERIFY(!form3_->N2->menuAction()->isEnabled());
    QVERIFY(form3_->ComboBox1->isEnabled());
    QCOMPARE(ReadBytes(IniPath()), std::string(kDefaultIni));  // nothing saved
    if (!silent) QCOMPARE(emulator_->Received(), std::string());  // nothing sent
  }

  void returningFromTheQueryWindowRunsTheActivationAndStaysConnected() {
    StartEmulator();
    Start(kDefaultIni);
    Connect();
    for (int visit = 0; visit < 3; ++visit) {
      OpenQueryWindow();
      form3_->ComboBox3->setEditText("42");  // typed, not saved
      QSignalSpy activated(form3_.get(), &TForm3::Activated);
      QStringList captions;
      const auto watch = connect(form3_.get(), &QWidget::windowTitleChanged,
                                 [&](const QString& title) { captions << title; });
      form53_->Button2->click();
      QVERIFY(activated.wait(5000));
      disconnect(watch);
      QCOMPARE(captions.value(0), QString("Тестирование USB устройств: Шаг 1"));
      QVERIFY(form3_->isVisible());
      QVERIFY(!form53_->isVisible());
      QVERIFY(form3_->Connected());
      QCOMPARE(form3_->Shape1->Brush(), QColor(0, 255, 0));
      QCOMPARE(form3_->Button3->text(), QString("Отключить"));
      QCOMPARE(form3_->ComboBox1->currentText(), QString::fromStdString(emulator_->PortName()));
      QCOMPARE(form3_->ComboBox3->currentText(), QString("1"));
    }
    QCOMPARE(form3_->ActivationCount(), 4);

    // The About window, opened from the menu, shows the version once.
    int about_visits = 0;
    answerer_.SetHandler([&](QDialog* dialog) {
      if (dialog != form54_.get()) return ModalAnswerer::Press(dialog, QMessageBox::Ok);
      ++about_visits;
      form54_->Button1->click();
      return true;
    });
    form3_->N5->trigger();
    form3_->N5->trigger();
    QCOMPARE(about_visits, 2);
    QCOMPARE(form54_->Label1->text(), QString("ПО Чтение чеков и Z-отчетов (вер. 1.28 от 07.04.2016)"));
    QCOMPARE(form54_->Label5->text(), QString("Tallyglass"));
    // The licence stands in the row added below the designed 385 x 145 area.
    QVERIFY(form54_->LicenceLabel->text().contains("GNU GPL"));
    QVERIFY(form54_->LicenceLabel->geometry().top() >= 145);
    QVERIFY(form54_->Button1->mapTo(form54_.get(), QPoint(0, 0)).y() + form54_->Button1->height() <= 145);
    QCOMPARE(form54_->width(), 385);
    QCOMPARE(form3_->ActivationCount(), 4);  // closing About runs no activation
  }

  void requestByNumbersFillsTheListing() {
    StartEmulator();
    Start(kDefaultIni);
    Connect();
    OpenQueryWindow();
    RequestByNumbers(130, 134, 1);
    QVERIFY(answerer_.Boxes().empty());
    QVERIFY(form53_->isVisible());
    QVERIFY(!form4_->isVisible());
    const ReaderState& state = form53_->State();
    QCOMPARE(state.raw_list.size(), std::size_t{5 + 3});
    QVERIFY(state.listing.size() > 20);
    QAbstractItemModel* model = form53_->ListBox2->model();
    QCOMPARE(model->rowCount(), static_cast<int>(state.listing.size()));
    bool thanks = false;
    for (int row = 0; row < model->rowCount(); ++row)
      thanks = thanks || model->index(row, 0).data().toString().contains("Дякуємо за покупку!");
    QVERIFY(thanks);
    QVERIFY(QFontInfo(form53_->ListBox2->font()).fixedPitch());
    QVERIFY(form53_->ListBox2->uniformItemSizes());
    QCOMPARE(form53_->ListBox2->sizeHintForRow(0), 14);
    QVERIFY(!form53_->Button6->isVisible() && !form53_->Button6->isEnabled());
    QCOMPARE(form4_->windowTitle(), QString("ВНИМАНИЕ!!!!"));
    QCOMPARE(form4_->Label1->text(), QString("ИДЁТ ЗАГРУЗКА ДАННЫХ...."));
    QCOMPARE(form4_->Label2->text(), QString());
  }

  void failureLinesAppendedToALongListingComeIntoView() {
    StartEmulator();
    Start(kDefaultIni);
    Connect();
    OpenQueryWindow();
    QListView* view = form53_->ListBox2;
    auto row_in_view = [view](int row) {
      return view->viewport()->rect().intersects(view->visualRect(view->model()->index(row, 0)));
    };
    RequestByNumbers(130, 148, 1);
    const int rendered = view->model()->rowCount();
    QVERIFY(rendered > 100);
    QVERIFY(row_in_view(0));
    form53_->Edit1->setText("x");  // not a number: the failure path appends its two lines
    form53_->Button1->click();
    QCOMPARE(view->model()->rowCount(), rendered + 2);
    QVERIFY(row_in_view(rendered + 1));
    QVERIFY(row_in_view(rendered));
    // The next listing is shown from its top.
    RequestByNumbers(130, 131, 1);
    QVERIFY(row_in_view(0));
  }

  void returnNumbersFillsTheNumberFieldsOrShowsTheError() {
    StartEmulator();
    Start(kDefaultIni);
    Connect();
    OpenQueryWindow();
    form53_->Edit4->setText("14.03.16");
    form53_->Edit6->setText("00:00");
    form53_->Edit5->setText("16.03.16");
    form53_->Edit7->setText("23:59");
    form53_->Button5->click();
    QVERIFY(answerer_.Boxes().empty());
    QCOMPARE(form53_->Edit1->text(), QString("130"));
    QCOMPARE(form53_->Edit2->text(), QString("148"));

    // A date that is no number: the error box, and neither fields nor model change.
    form53_->Edit4->setText("1");
    form53_->Button5->click();
    QCOMPARE(answerer_.Boxes().size(), std::size_t{1});
    QVERIFY(!answerer_.Boxes()[0].text.isEmpty());
    QCOMPARE(form53_->Edit1->text(), QString("130"));
    QCOMPARE(form53_->Edit2->text(), QString("148"));
    QCOMPARE(form53_->State().model.check_no_max, 148);
  }

  void typedTypeTextLeavesNoSelection() {
    Start(kDefaultIni);
    QCOMPARE(form53_->ComboBox1->currentText(), QString("Чек+Z-отчет"));
    QTest::keyClicks(form53_->ComboBox1->lineEdit(), "x");
    QCOMPARE(form53_->ComboBox1->currentIndex(), -1);
    QLineEdit* typed = form53_->ComboBox1->lineEdit();
    typed->setText("Чек");
    emit typed->textEdited("Чек");
    QCOMPARE(form53_->ComboBox1->currentIndex(), 1);
    // "Z-отчет" before any fetch writes 0 into both number fields.
    form53_->ComboBox1->setCurrentIndex(0);
    emit form53_->ComboBox1->activated(0);
    QCOMPARE(form53_->Edit1->text(), QString("0"));
    QCOMPARE(form53_->Edit2->text(), QString("0"));
    QCOMPARE(form53_->Edit6->text(), QString("00:00"));
    QCOMPARE(form53_->Edit4->text().size(), 8);
  }

  void typedDatesAndTimesReadAsTwoDigitValues_data() {
    QTest::addColumn<int>("field");  // 4, 5 dates; 6, 7 times
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("one-digit day and month") << 4 << "1.3.16" << "01.03.16";
    QTest::newRow("one-digit day") << 5 << "1.12.16" << "01.12.16";
    QTest::newRow("two digits each") << 4 << "14.03.16" << "14.03.16";
    QTest::newRow("letters are not taken") << 4 << "1a.3b.16" << "01.03.16";
    QTest::newRow("a third digit is not taken") << 5 << "123.3.16" << "12.03.16";
    QTest::newRow("one-digit hour") << 6 << "9:05" << "09:05";
    QTest::newRow("one-digit hour and minute") << 7 << "9:5" << "09:05";
    QTest::newRow("unfinished") << 6 << "9" << "9";
  }
  void typedDatesAndTimesReadAsTwoDigitValues() {
    QFETCH(int, field);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    Start(kDefaultIni);
    QLineEdit* edits[] = {form53_->Edit4, form53_->Edit5, form53_->Edit6, form53_->Edit7};
    QLineEdit* edit = edits[field - 4];
    edit->clear();
    QTest::keyClicks(edit, typed);
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(edit->text(), shown);
  }

  void typingIntoTheTypeBoxCompletesNothing() {
    Start(kDefaultIni);
    QLineEdit* typed = form53_->ComboBox1->lineEdit();
    form53_->show();  // completion only follows keys typed into the focused box
    form53_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form53_.get()));
    typed->setFocus();
    typed->clear();
    QTest::keyClicks(typed, "Z");
    QCOMPARE(form53_->ComboBox1->currentText(), QString("Z"));
    QCOMPARE(form53_->ComboBox1->currentIndex(), -1);
    QTest::keyClick(typed, Qt::Key_Return);
    QCOMPARE(form53_->ComboBox1->currentText(), QString("Z"));
    QCOMPARE(form53_->ComboBox1->currentIndex(), -1);
  }

  // "1 " connects to register 1, and the requests that follow read it alike.
  void networkNumberWithABlankServesTheRequestsToo() {
    StartEmulator();
    Start(kDefaultIni);
    form3_->ComboBox3->setEditText("1 ");
    Connect();
    OpenQueryWindow();
    RequestByNumbers(130, 130, 1);
    QVERIFY(answerer_.Boxes().empty());
    QCOMPARE(form53_->State().check_state.get(130), 1);
    QVERIFY(form53_->State().listing.size() > 10);
  }

  void busyNoticeCloseQuestion_data() {
    QTest::addColumn<int>("answer");  // 0 Retry, 1 Cancel, 2 closing the question
    QTest::addColumn<bool>("stopped");
    QTest::newRow("Retry keeps the notice") << 0 << false;
    QTest::newRow("Cancel stops") << 1 << true;
    QTest::newRow("dismissing stops") << 2 << true;
  }
  void busyNoticeCloseQuestion() {
    QFETCH(int, answer);
    QFETCH(bool, stopped);
    StartEmulator();
    Start(kDefaultIni);
    Connect();
    OpenQueryWindow();
    bool notice_stayed = false;
    answerer_.SetHandler([&](QDialog* dialog) {
      auto* box = qobject_cast<QMessageBox*>(dialog);
      if (!box || box->windowTitle() != "Прервать чтение") return ModalAnswerer::Press(dialog, QMessageBox::Ok);
      if (answer == 2) box->close();
      else box->button(answer == 0 ? QMessageBox::Retry : QMessageBox::Cancel)->click();
      return true;
    });
    // The close box is pressed at the first handling of pending input.
    QTimer::singleShot(0, [&] {
      form4_->close();
      notice_stayed = form4_->isVisible();
    });
    RequestByNumbers(130, 134, 1);

    QCOMPARE(answerer_.Boxes().size(), std::size_t{1});
    QCOMPARE(answerer_.Boxes()[0].text, QString("Прервать"));
    QCOMPARE(notice_stayed, !stopped);
    QCOMPARE(form3_->StopRequested(), stopped);
    // Stopped during the first document: it is neither added nor recorded.
    const ReaderState& state = form53_->State();
    QCOMPARE(state.raw_list.size(), std::size_t(stopped ? 3 : 8));
    std::size_t recorded = 0;
    for (const auto& [number, fetched] : state.check_state.ordered_copy()) recorded += fetched != 0;
    QCOMPARE(recorded, std::size_t(stopped ? 0 : 5));
    QVERIFY(form53_->isVisible());
    QVERIFY(!form4_->isVisible());
  }

  void savingTheListing() {
    StartEmulator();
    Start(kDefaultIni);
    Connect();
    OpenQueryWindow();
    RequestByNumbers(41, 41, 0);
    const Listing before = form53_->State().listing;
    QVERIFY(!before.empty());
    std::string expected;
    for (const auto& line : before) expected += line + "\r\n";

    QString typed;
    QString type_chosen;
    QStringList filters;
    QString suffix;
    answerer_.SetHandler([&](QDialog* dialog) {
      auto* files = qobject_cast<QFileDialog*>(dialog);
      if (!files) return ModalAnswerer::Press(dialog, QMessageBox::Ok);
      filters = files->nameFilters();
      suffix = files->defaultSuffix();
      files->selectFile(typed);
      if (!type_chosen.isEmpty()) {
        // Chosen as a user does: the file type, then the name typed in.
        files->selectNameFilter(type_chosen);
        if (auto* name = files->findChild<QLineEdit*>("fileNameEdit")) name->setText(QFileInfo(typed).fileName());
      }
      QMetaObject::invokeMethod(files, "accept", Qt::DirectConnection);
      return true;
    });
    typed = dir_->filePath("z41");  // no extension: ".txt" is added
    form53_->Button3->click();
    QCOMPARE(filters, (QStringList{"*.txt", "Текст UTF-8 (*.txt)"}));
    QCOMPARE(suffix, QString("txt"));
    QVERIFY(answerer_.Boxes().empty());
    QCOMPARE(ReadBytes(dir_->filePath("z41.txt")), expected);

    // The UTF-8 file type: the same lines and line ends in UTF-8.
    type_chosen = "Текст UTF-8 (*.txt)";
    typed = dir_->filePath("z41-utf8.txt");
    form53_->Button3->click();
    QCOMPARE(ReadBytes(dir_->filePath("z41-utf8.txt")), Cp1251ToUtf8(expected));
    type_chosen.clear();

    // "PDF…" in the row added below the designed controls.
    QVERIFY(form53_->PdfButton->geometry().top() >= 638);
    typed = dir_->filePath("z41.pdf");
    form53_->PdfButton->click();
    QCOMPARE(ReadBytes(dir_->filePath("z41.pdf")).substr(0, 5), std::string("%PDF-"));
    QVERIFY(answerer_.Boxes().empty());

    // A file that cannot be written (chosen in the dialog as above).
    form53_->SaveListingTo(dir_->filePath("missing/z41.txt"));
    QCOMPARE(answerer_.Boxes().size(), std::size_t{1});
    const QString error = answerer_.Boxes()[0].text;
    QVERIFY2(error.startsWith("Не удалось сохранить файл: "), qPrintable(error));
    QVERIFY2(error.contains("No such file or directory"), qPrintable(error));
    QCOMPARE(form53_->State().listing, before);
    QCOMPARE(form53_->ListBox2->model()->rowCount(), static_cast<int>(before.size()));
  }
};

}  // namespace tallyglass

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QStandardPaths::setTestModeEnabled(true);  // the file dialog's memory stays out of the user's settings
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tallyglass");
  tallyglass::WindowsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "windows_test.moc"

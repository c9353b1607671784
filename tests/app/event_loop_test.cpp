// The desktop program as it runs: its windows wired and the application set
// up as main() does, driven inside QApplication::exec() against the register
// emulator. A quit that comes from Qt itself only shows up here.
#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <iterator>
#include <memory>

#include "app/application.h"
#include "modal_answerer.h"
#include "app/windows.h"
#include "emulator/emulator.h"
#include "link/link.h"

namespace tallyglass {
namespace {

std::string SampleJournal() {
  std::ifstream in(TALLYGLASS_SOURCE_DIR "/samples/sample-journal.xml", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// fpinit.ini set up for the emulator's port, so the program connects there.
void WriteIni(const QString& dir, const std::string& port) {
  std::ofstream(QDir(dir).filePath("fpinit.ini").toStdString(), std::ios::binary)
      << "[CountryMode]\r\nCountry code=0\r\n\r\n[Fiscal Printer]\r\nExtendedTax=1\r\n\r\n"
         "[LogFile]\r\nLog=0\r\nLogName=ostrane.log\r\n\r\n[Communication]\r\nPort="
      << port << "\r\nSpeed=9600\r\nNCase=1\r\n";
}

}  // namespace

class EventLoopTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() {
    link::ClosePort();
    link::SetWaitFunction(nullptr);
  }

  // Qt's standard buttons and dialogs speak Russian, as the program does.
  void standardTextsAreRussian() {
    QVERIFY(InstallRussianTranslations(*static_cast<QApplication*>(QCoreApplication::instance())));
    QMessageBox box(QMessageBox::Question, "Нет связи!", "Повторить", QMessageBox::Retry | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Retry)->text(), QString("Повторить"));
    QCOMPARE(box.button(QMessageBox::Cancel)->text(), QString("Отмена"));
    QCOMPARE(QCoreApplication::translate("QFileDialog", "Save As"), QString("Сохранить как"));
  }

  // The line is lost in the middle of a request for several documents. The
  // no-link question is answered Retry until receipt 133 is given up, and
  // Cancel when it comes again for 134. Closing those boxes must neither end
  // the program nor raise the busy notice's stop question by itself (Qt quits
  // when the last window closes, and every window of the program is hidden
  // during a request), and the receipts that came before are shown.
  void lostLineRetryThenCancelKeepsTheProgram() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir::setCurrent(dir.path()));
    emulator::RegisterEmulator reg(SampleJournal());
    std::string error;
    QVERIFY2(reg.Start(&error), error.c_str());
    reg.SetFaultCallback([](const emulator::Event& e) {
      return e.kind == emulator::Event::kFrame && e.request.find(";133;") != std::string::npos
                 ? emulator::Fault::kCloseLine
                 : emulator::Fault::kNone;
    });
    WriteIni(dir.path(), reg.PortName());
    link::SetWaitFunction([](int) {});

    auto* app = static_cast<QApplication*>(QCoreApplication::instance());
    Windows windows;
    PrepareApplication(*app, windows.form3);
    windows.form3.SetActivationWaits({0, 0});
    windows.form53.State().wait_ms = [](int) {};

    int no_link = 0;
    QStringList stop_questions;
    QStringList informs;
    ModalAnswerer answerer;
    answerer.SetHandler([&](QDialog* dialog) {
      auto* box = qobject_cast<QMessageBox*>(dialog);
      if (!box) return false;
      if (box->windowTitle() == "Нет связи!") {
        ++no_link;
        return ModalAnswerer::Press(box, no_link <= 4 ? QMessageBox::Retry : QMessageBox::Cancel);
      }
      if (box->windowTitle() == "Прервать чтение") {
        stop_questions << box->text();
        return ModalAnswerer::Press(box, QMessageBox::Cancel);  // its worst answer
      }
      informs << box->text();
      return ModalAnswerer::Press(box, QMessageBox::Ok);
    });

    // The user's steps, one after another inside exec().
    bool requested = false;
    bool query_shown = false;
    bool alive_after = false;
    bool closed_by_user = false;
    QObject::connect(&windows.form3, &TForm3::Activated, &windows.form3, [&] {
      if (requested) {
        // Back from the query window: the user ends the program.
        if (alive_after && !closed_by_user) {
          closed_by_user = true;
          windows.form3.Button1->click();
        }
        return;
      }
      requested = true;
      windows.form3.Button3->click();
      if (!windows.form3.Connected()) return app->exit(2);
      windows.form3.N45->trigger();
      windows.form53.ComboBox1->setCurrentIndex(1);
      windows.form53.Edit1->setText("130");
      windows.form53.Edit2->setText("136");
      windows.form53.Button1->click();  // the whole request runs here, with its boxes
      query_shown = windows.form53.isVisible();
      // A quit asked for during the request ends exec() before this runs.
      QTimer::singleShot(50, &windows.form3, [&] {
        alive_after = true;
        windows.form53.Button2->click();
      });
    }, Qt::QueuedConnection);
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, app, [app] { app->exit(3); });
    deadline.start(60000);

    windows.form3.show();
    const int status = app->exec();
    deadline.stop();

    QCOMPARE(status, 0);
    QVERIFY(requested);
    QCOMPARE(stop_questions, QStringList{});
    QVERIFY(alive_after);
    QVERIFY(closed_by_user);
    QVERIFY(query_shown);
    QCOMPARE(no_link, 5);
    QVERIFY(reg.LineClosed());
    QCOMPARE(informs.size(), 1);  // the receipt given up is named
    QVERIFY2(informs[0].startsWith("Не получены чеки: 133 ("), qPrintable(informs[0]));
    const ReaderState& state = windows.form53.State();
    QCOMPARE(state.model.doc_count, 3);
    const auto table = state.check_state.ordered_copy();
    QCOMPARE(std::vector(table.begin(), table.begin() + 4),
             (std::vector<std::pair<std::int32_t, std::int32_t>>{{130, 1}, {131, 1}, {132, 1}, {133, 2}}));
    QVERIFY(!state.listing.empty());
    QCOMPARE(windows.form53.ListBox2->model()->rowCount(), static_cast<int>(state.listing.size()));
  }
};

}  // namespace tallyglass

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tallyglass");
  tallyglass::EventLoopTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "event_loop_test.moc"

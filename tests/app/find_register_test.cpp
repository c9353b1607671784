// "Найти аппарат" and the cause of a failed open in the connection window, on
// the offscreen platform against the register emulator.
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <memory>

#include "app/tform3.h"
#include "emulator/emulator.h"
#include "modal_answerer.h"

namespace tallyglass {

class FindRegisterTest : public QObject {
  Q_OBJECT

 private:
  void Start() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    QVERIFY(QDir::setCurrent(dir_->path()));
    form3_ = std::make_unique<TForm3>();
    form3_->SetActivationWaits({0, 0});
    QSignalSpy activated(form3_.get(), &TForm3::Activated);
    answerer_ = std::make_unique<ModalAnswerer>();
    form3_->show();
    QVERIFY(activated.wait(5000));  // the first start's creation box is answered with OK
    answerer_->Clear();
  }

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<TForm3> form3_;
  std::unique_ptr<ModalAnswerer> answerer_;

 private slots:
  void cleanup() {
    answerer_.reset();
    form3_.reset();
  }

  void FindsTheRegisterAndFillsTheFields() {
    Start();
    // Added below "Подключить" without touching the designed controls.
    QCOMPARE(form3_->Button3->geometry(), QRect(375, 76, 125, 28));
    QCOMPARE(form3_->FindButton->text(), QString("Найти аппарат"));
    for (QWidget* designed : std::initializer_list<QWidget*>{form3_->Button3, form3_->ComboBox3,
                                                             form3_->Shape1, form3_->Label3})
      QVERIFY(!form3_->FindButton->geometry().intersects(designed->geometry()));

    emulator::EmulatorOptions options;
    options.line_speed = 115200;
    emulator::RegisterEmulator reg("", options);
    QVERIFY(reg.Start());
    form3_->SetSearchPorts({reg.PortName()});
    form3_->FindButton->click();

    QCOMPARE(form3_->ComboBox1->currentText(), QString::fromStdString(reg.PortName()));
    QCOMPARE(form3_->ComboBox2->currentText(), QString("115200"));
    QCOMPARE(form3_->ComboBox3->currentText(), QString("1"));
    QVERIFY(answerer_->Boxes().empty());
    QVERIFY(form3_->StatusText().startsWith("Найден аппарат: " + QString::fromStdString(reg.PortName())));
    // Connecting with what the search filled in works at once.
    form3_->Button3->click();
    QVERIFY(form3_->Connected());
    QVERIFY(!form3_->FindButton->isEnabled());
    form3_->Button3->click();
    QVERIFY(form3_->FindButton->isEnabled());
  }

  void CancelLeavesTheFieldsAlone() {
    Start();
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
    form3_->SetSearchPorts({::ptsname(master)});
    const QString port_before = form3_->ComboBox1->currentText();
    bool cancelled = false;
    answerer_->SetHandler([&](QDialog* dialog) {
      auto* progress = qobject_cast<QProgressDialog*>(dialog);
      if (!progress) return ModalAnswerer::Press(dialog, QMessageBox::Ok);
      auto* cancel = progress->findChild<QPushButton*>();
      if (!cancel) return false;
      cancel->click();  // "Отмена", as the user presses it
      cancelled = true;
      return true;
    });
    form3_->FindButton->click();
    ::close(master);
    QVERIFY(cancelled);
    QCOMPARE(form3_->ComboBox1->currentText(), port_before);
    QVERIFY(answerer_->Boxes().empty());  // a cancelled search says nothing more
  }

  void OpenFailureSaysWhy() {
    Start();
    form3_->ComboBox1->setEditText("/nonexistent/ttyUSB0");
    form3_->Button3->click();
    QCOMPARE(answerer_->Boxes().size(), std::size_t{1});
    QVERIFY2(answerer_->Boxes()[0].text.startsWith(
                 "Невозможно подключить порт\nУстройства /nonexistent/ttyUSB0 нет в системе.\n"),
             qPrintable(answerer_->Boxes()[0].text));
    QVERIFY(!form3_->Connected());
  }
};

}  // namespace tallyglass

QTEST_MAIN(tallyglass::FindRegisterTest)
#include "find_register_test.moc"

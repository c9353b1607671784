// The desktop program with the archive: fetches kept and served, an unusable
// archive said and left alone, and the archive window's listing.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <iterator>
#include <memory>

#include "app/archive_window.h"
#include "app/listing_tools.h"
#include "app/tape_output.h"
#include "app/tform3.h"
#include "app/tform4.h"
#include "app/tform53.h"
#include "app/tform54.h"
#include "archive/archive.h"
#include "archive/archive_journal.h"
#include "emulator/emulator.h"
#include "journal/loader.h"
#include "journal/parse_load.h"
#include "journal/sootv.h"
#include "link/frame.h"
#include "link/link.h"
#include "modal_answerer.h"
#include "render/render_listing.h"

namespace tallyglass {
namespace {

std::string ReadBytes(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string SampleJournal() { return ReadBytes(QStringLiteral(TALLYGLASS_SOURCE_DIR "/samples/sample-journal.xml")); }

// The listing the whole sample journal gives for a request, as `render FILE` makes it.
Listing FileListing(int choice, std::int32_t first, std::int32_t last) {
  rq model;
  control loader;
  loader.clear();
  Listing listing;
  if (!parse_and_load(SampleJournal(), model, loader)) return listing;
  sootv di;
  render_listing(model, {choice, first, last}, di, listing);
  return listing;
}

const char kIni[] =
    "[CountryMode]\r\nCountry code=0\r\n\r\n[Fiscal Printer]\r\nExtendedTax=1\r\n\r\n"
    "[LogFile]\r\nLog=0\r\nLogName=ostrane.log\r\n\r\n[Archive]\r\nPath=kept.db\r\n";

}  // namespace

class ArchiveWindowTest : public QObject {
  Q_OBJECT

 private:
  void Start(bool archived = false) {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    QVERIFY(QDir::setCurrent(dir_->path()));
    std::ofstream(dir_->filePath("fpinit.ini").toStdString(), std::ios::binary) << kIni;
    if (archived) Import();
    form3_ = std::make_unique<TForm3>();
    form53_ = std::make_unique<TForm53>(form3_.get());
    form54_ = std::make_unique<TForm54>();
    form4_ = std::make_unique<TForm4>(form3_.get());
    form3_->SetForms(form53_.get(), form54_.get(), form4_.get());
    form53_->SetBusyNotice(form4_.get());
    form3_->SetActivationWaits({0, 0});
    form53_->State().wait_ms = [](int) {};
    QSignalSpy activated(form3_.get(), &TForm3::Activated);
    form3_->show();
    QVERIFY(activated.wait(5000));
    emulator_ = std::make_unique<emulator::RegisterEmulator>(SampleJournal());
    std::string error;
    QVERIFY2(emulator_->Start(&error), error.c_str());
    form3_->ComboBox1->setEditText(QString::fromStdString(emulator_->PortName()));
    form3_->ComboBox2->setCurrentText("115200");
    form3_->Button3->click();
    QVERIFY(form3_->Connected());
    form3_->N45->trigger();
    emulator_->ClearRecords();
  }
  void Request(int first, int last) {
    form53_->ComboBox1->setCurrentIndex(kChoiceCheck);
    form53_->Edit1->setText(QString::number(first));
    form53_->Edit2->setText(QString::number(last));
    form53_->Button1->click();
  }
  void Import() {
    Archive archive("kept.db");
    archive.store_all(split_collected_journal(SampleJournal()));
  }

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<emulator::RegisterEmulator> emulator_;
  std::unique_ptr<TForm3> form3_;
  std::unique_ptr<TForm53> form53_;
  std::unique_ptr<TForm54> form54_;
  std::unique_ptr<TForm4> form4_;
  ModalAnswerer answerer_;

 private slots:
  void init() {
    answerer_.Clear();
    answerer_.SetHandler({});
  }
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

  void archivedDocumentsAreServedWithOneExchange() {
    Start(true);
    Request(133, 140);
    const std::string exchange = link::LeadIn() + link::SelectSequence(1) + link::AckSequence() +
                                 link::LeadIn() + link::BuildFrame("B;1;133;0;") + link::AckSequence() +
                                 link::EndSequence();
    QVERIFY(emulator_->WaitForReceived(exchange.size(), std::chrono::seconds(5)));
    QCOMPARE(emulator_->Received(), exchange);
    QCOMPARE(form53_->State().listing, FileListing(kChoiceCheck, 133, 140));
    QVERIFY(answerer_.Boxes().empty());
    QVERIFY(form3_->StatusText().indexOf("не опознан") < 0);
  }

  void fetchesAreKeptAndAnUnusableArchiveIsSaid() {
    Start();
    Request(130, 132);
    {
      Archive archive("kept.db", Archive::Mode::kExisting);
      QCOMPARE(archive.registers().size(), std::size_t{1});
      QCOMPARE(archive.registers()[0].receipts.count, std::int64_t{3});
    }
    // fpinit.ini names another archive, no SQLite file: at the next connection
    // it is said once, left alone, and the fetch goes on.
    std::ofstream("other.db", std::ios::binary) << "not an archive";
    std::string ini = kIni;
    ini.replace(ini.find("kept.db"), 7, "other.db");
    std::ofstream("fpinit.ini", std::ios::binary | std::ios::trunc) << ini;
    form3_->Button3->click();
    form3_->Button3->click();
    QVERIFY(form3_->Connected());
    Request(133, 134);
    QCOMPARE(answerer_.Boxes().size(), std::size_t{1});
    QVERIFY(answerer_.Boxes()[0].text.startsWith("Архив не может быть использован"));
    QCOMPARE(ReadBytes("other.db"), std::string("not an archive"));
    QCOMPARE(form53_->State().listing, FileListing(kChoiceCheck, 133, 134));
  }

  void theArchiveWindowRendersAsTheJournalFile() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir::setCurrent(dir_->path()));
    Import();
    ArchiveWindow window("kept.db");
    QCOMPARE(window.RegisterBox->count(), 1);
    for (int choice = kChoiceZ; choice <= kChoiceService; ++choice) {
      window.TypeBox->setCurrentIndex(choice);
      window.FromNumber->setText(choice == kChoiceZ ? "42" : "133");
      window.ToNumber->setText(choice == kChoiceZ ? "43" : "140");
      window.ByNumbersButton->click();
      QCOMPARE(window.CurrentListing(),
               FileListing(choice, choice == kChoiceZ ? 42 : 133, choice == kChoiceZ ? 43 : 140));
    }
    window.FromDate->setText("15.03.16");
    window.ToDate->setText("15.03.16");
    window.TypeBox->setCurrentIndex(kChoiceCheckZ);
    window.ByDatesButton->click();
    QVERIFY(!window.CurrentListing().empty());
    window.SaveTo(dir_->filePath("out.txt"));
    QVERIFY(!ReadBytes(dir_->filePath("out.txt")).empty());

    // The listing's tools work on the archive's documents as on fetched ones.
    QVERIFY(window.Tools()->ExportTo(dir_->filePath("day.json"), "json"));
    const std::string json = ReadBytes(dir_->filePath("day.json"));
    QVERIFY(json.find("\"number\":137") != std::string::npos);  // a receipt of 15.03.16
    QVERIFY(json.find("\"number\":130") == std::string::npos);  // one of the day before
    QVERIFY(WriteListingPdf(&window, TapeSource{window.CurrentListing(), {}, {}}, dir_->filePath("day.pdf")));
    QCOMPARE(ReadBytes(dir_->filePath("day.pdf")).substr(0, 5), std::string("%PDF-"));
  }
};

}  // namespace tallyglass

QTEST_MAIN(tallyglass::ArchiveWindowTest)
#include "archive_window_test.moc"

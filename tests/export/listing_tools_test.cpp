// The query window's find bar, export and reconciliation on the offscreen
// platform, over the sample journals as a fetch leaves them.
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <fstream>
#include <iterator>
#include <memory>

#include "app/find_bar.h"
#include "app/listing_tools.h"
#include "app/reconcile_window.h"
#include "app/tform3.h"
#include "app/tform53.h"
#include "journal/parse_load.h"
#include "render/render_listing.h"
#include "text/cp1251.h"

namespace tallyglass {

class ListingToolsTest : public QObject {
  Q_OBJECT

 private:
  // The query window after a fetch of receipts 130 to 149 with "Чек+Z-отчет"
  // (there is no 149, so the last Z-report is in the listing too).
  void Load(const char* sample) {
    form3_ = std::make_unique<TForm3>();
    form53_ = std::make_unique<TForm53>(form3_.get());
    std::ifstream in(std::string(TALLYGLASS_SOURCE_DIR "/samples/") + sample, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    ReaderState& state = form53_->State();
    state.raw_list.clear();
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t end = text.find("\r\n", at);
      state.raw_list.push_back(text.substr(at, end - at));
      at = end == std::string::npos ? text.size() : end + 2;
    }
    QVERIFY(parse_and_load(text, state.model, state.loader));
    state.type_index = kChoiceCheckZ;
    state.first_number = 130;
    state.last_number = 149;
    render_listing(state.model, {kChoiceCheckZ, 130, 149}, state.di_by_position, state.listing);
    form53_->AbsorbRawList();
    form53_->RefreshLists();
    form53_->show();
    form53_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form53_.get()));
  }

  std::vector<int> RowsHolding(const char* utf8) const {
    std::vector<int> rows;
    const auto& listing = form53_->State().listing;
    for (std::size_t i = 0; i < listing.size(); ++i) {
      if (Cp1251ToUtf8(listing[i]).find(utf8) != std::string::npos) rows.push_back(static_cast<int>(i));
    }
    return rows;
  }

  QTemporaryDir dir_;
  std::unique_ptr<TForm3> form3_;
  std::unique_ptr<TForm53> form53_;

 private slots:
  void ctrlFStepsThroughTheMatchingLinesAndEscapeCloses() {
    Load("sample-journal.xml");
    FindBar* bar = form53_->Tools()->Find();
    QVERIFY(!bar->isVisible());
    QTest::keySequence(form53_.get(), QKeySequence::Find);
    QVERIFY(bar->isVisible());
    // The listing prints "ГРОШІ" in capitals; the search is typed in small letters.
    const std::vector<int> rows = RowsHolding("ГРОШІ");
    QVERIFY(rows.size() > 3);
    bar->Text()->insert("грошІ");  // QTest types Latin-1 only
    QCOMPARE(bar->CurrentRow(), rows.front());
    QCOMPARE(bar->Count()->text(), QString("1 из %1").arg(rows.size()));
    QTest::keyClick(bar->Text(), Qt::Key_Return);
    QCOMPARE(bar->CurrentRow(), rows[1]);
    bar->Previous();
    bar->Previous();  // wraps to the last
    QCOMPARE(bar->CurrentRow(), rows.back());
    bar->Next();  // and back to the first
    QCOMPARE(bar->CurrentRow(), rows.front());
    QCOMPARE(form53_->ListBox2->currentIndex().row(), rows.front());
    QTest::keyClick(bar, Qt::Key_Escape);
    QVERIFY(!bar->isVisible());
    // The designed controls keep their places.
    QCOMPARE(form53_->ListBox2->geometry(), QRect(24, 8, 473, 569));
    QCOMPARE(form53_->Button2->geometry(), QRect(720, 504, 81, 28));
  }

  void exportWritesTheListingsDocuments() {
    Load("sample-journal.xml");
    const QString path = dir_.filePath("listing.json");
    QVERIFY(form53_->Tools()->ExportTo(path, "json"));
    std::ifstream in(path.toStdString(), std::ios::binary);
    const std::string json{std::istreambuf_iterator<char>(in), {}};
    QVERIFY(json.find("\"number\":130") != std::string::npos);
    QVERIFY(json.find("\"number\":43,\"class\":\"zreport\"") != std::string::npos);
    QVERIFY(form53_->Tools()->ExportTo(dir_.filePath("csv"), "excel"));
    QVERIFY(QFile::exists(dir_.filePath("csv/zreports.csv")));
  }

  void reconciliationMarksEachDay() {
    const QColor green(0xC8, 0xEE, 0xC8), red(0xF4, 0xB8, 0xB8), yellow(0xFA, 0xEC, 0xA0);
    Load("sample-journal.xml");
    form53_->Tools()->ReconcileButton()->click();
    QTreeWidget* table = form53_->Tools()->Reconciliation()->Table();
    QVERIFY(form53_->Tools()->Reconciliation()->isVisible());
    QCOMPARE(table->topLevelItemCount(), 3);
    for (int i = 0; i < 3; ++i) QCOMPARE(table->topLevelItem(i)->background(0).color(), green);

    Load("sample-journal-discrepancies.xml");
    form53_->Tools()->ShowReconciliation();
    table = form53_->Tools()->Reconciliation()->Table();
    QCOMPARE(table->topLevelItemCount(), 3);
    QCOMPARE(table->topLevelItem(0)->background(0).color(), red);
    QCOMPARE(table->topLevelItem(1)->background(0).color(), green);
    QCOMPARE(table->topLevelItem(2)->background(0).color(), yellow);
    QCOMPARE(table->topLevelItem(2)->text(4), QString("неполная, расходится"));
  }
};

}  // namespace tallyglass

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  tallyglass::ListingToolsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "listing_tools_test.moc"

// Each Z-report against the receipts of its day: the synthetic journal agrees
// throughout, and one fault at a time is caught at its own Z-report.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "export/export_writer.h"
#include "export/reconcile.h"
#include "support/synthetic_journal.h"
#include "support/test_files.h"

namespace tallyglass {
namespace {

Reconciliation ReconcileText(const std::string& text, const std::vector<AbandonedReceipt>& abandoned = {}) {
  ExactJournal journal;
  journal.add_text(text);
  std::vector<const ExactDocument*> docs;
  for (const auto& d : journal.documents) docs.push_back(&d);
  return reconcile(docs, abandoned);
}

std::vector<std::string> Differing(const ReconcileDay& day) {
  std::vector<std::string> out;
  for (const auto& f : day.figures) {
    if (!f.agree) out.push_back(f.name);
  }
  return out;
}

TEST(ReconcileTest, TheSyntheticJournalAndTheSampleReconcileCompletely) {
  const auto synthetic = bench::MakeSyntheticJournal({.documents = 2500});
  const Reconciliation r = ReconcileText(synthetic.text);
  EXPECT_TRUE(r.agree());
  ASSERT_EQ(r.days.size(), static_cast<std::size_t>(synthetic.zreports));
  for (const auto& d : r.days) {
    EXPECT_TRUE(d.agree && d.complete) << "Z-report " << d.number << ": " << testing::PrintToString(Differing(d));
  }
  ASSERT_EQ(r.open.size(), 1u);  // the receipts after the last Z-report
  EXPECT_EQ(r.days[1].receipts, 100);
  EXPECT_EQ(r.days[1].figures.at(0).name, "NC NI");
  EXPECT_GT(r.days[1].figures.at(0).receipts, 0);

  EXPECT_TRUE(ReconcileText(test_support::SampleJournal()).agree());
}

// The synthetic journal with one document's line changed; documents are one
// per line, receipts 1 to 100 then Z-report 1, and so on (doc 150 is a sale
// of Z-report 2's day).
std::string WithDocument(int doc, const std::function<std::string(std::string)>& change) {
  std::string text = bench::MakeSyntheticJournal({.documents = 450}).text;
  std::size_t at = text.find("<DAT");
  for (int i = 0; i < doc; ++i) at = text.find("<DAT", at + 1);
  const std::size_t end = text.find("\r\n", at) + 2;
  return text.substr(0, at) + change(text.substr(at, end - at)) + text.substr(end);
}

TEST(ReconcileTest, EachFaultIsCaughtAtItsOwnZReport) {
  struct Case {
    const char* what;
    std::function<std::string(std::string)> change;
    bool complete;
  };
  const Case kCases[] = {
      {"changed amount",
       [](std::string line) {
         const std::size_t p = line.find(" SM=\"", line.find("<P"));
         return line.insert(p + 5, "1");
       },
       true},
      {"missing receipt", [](std::string) { return std::string(); }, false},
      {"annulled receipt",
       [](std::string line) { return line.insert(line.find("<E ") + 2, " VD=\"1\""); },
       true},
  };
  for (const auto& c : kCases) {
    // The reader recorded receipt 150 (document 150) as fetched without data.
    const Reconciliation r = ReconcileText(WithDocument(150, c.change), {{"", "", c.complete ? 0 : 150}});
    EXPECT_FALSE(r.agree()) << c.what;
    ASSERT_EQ(r.days.size(), 4u) << c.what;
    for (const auto& d : r.days) {
      const bool faulty = d.number == 2;
      EXPECT_EQ(d.agree, !faulty) << c.what << " Z-report " << d.number;
      EXPECT_EQ(d.complete, !faulty || c.complete) << c.what << " Z-report " << d.number;
    }
    const auto& day = r.days[1];
    EXPECT_FALSE(Differing(day).empty()) << c.what;
    if (!c.complete) {
      ASSERT_EQ(day.gaps.di.size(), 1u);
      EXPECT_EQ(day.gaps.di[0], std::make_pair(std::int64_t{151}, std::int64_t{151}));
      ASSERT_EQ(day.gaps.numbers.size(), 1u);
      EXPECT_EQ(day.gaps.numbers[0], std::make_pair(std::int64_t{150}, std::int64_t{150}));
      EXPECT_EQ(day.gaps.abandoned, std::vector<std::int64_t>{150});
    }
  }
}

TEST(ReconcileTest, RegistersApartZReportsOutOfOrderAndAnEmptyDay) {
  const std::string head = "<?xml version=\"1.0\" encoding=\"windows-1251\"?><RQ V=\"1\">";
  auto receipt = [](const char* zn, int di, int no, int sum) {
    const std::string s = std::to_string(sum);
    return std::string("<DAT DI=\"") + std::to_string(di) + "\" FN=\"1\" ZN=\"" + zn +
           "\"><C T=\"0\"><P N=\"1\" NM=\"a\" SM=\"" + s + "\" TX=\"1\"></P><M N=\"2\" SM=\"" + s +
           "\" T=\"0\"></M><E N=\"3\" NO=\"" + std::to_string(no) + "\" SM=\"" + s + "\"></E></C></DAT><MAC/>";
  };
  auto zreport = [](const char* zn, int di, int no, int sales, int sum) {
    const std::string s = std::to_string(sum);
    return std::string("<DAT DI=\"") + std::to_string(di) + "\" FN=\"1\" ZN=\"" + zn + "\"><Z NO=\"" +
           std::to_string(no) + "\"><M SMI=\"" + s + "\" SMO=\"0\" T=\"0\"></M><NC NI=\"" + std::to_string(sales) +
           "\" NO=\"0\"></NC><TXS TX=\"1\" SMI=\"" + s + "\"></TXS></Z></DAT><MAC/>";
  };
  // Register A: Z 2 is written before Z 1; Z 3 has no receipts. Register B
  // interleaves with A's positions and keeps its own numbers.
  const std::string text = head + zreport("A", 4, 2, 1, 700) + receipt("A", 1, 1, 500) + receipt("B", 1, 1, 900) +
                           zreport("A", 2, 1, 1, 500) + receipt("A", 3, 2, 700) + zreport("B", 2, 1, 1, 900) +
                           zreport("A", 5, 3, 0, 0) + receipt("A", 6, 3, 100) + "</RQ>";
  const Reconciliation r = ReconcileText(text);
  EXPECT_TRUE(r.agree());
  ASSERT_EQ(r.days.size(), 4u);
  EXPECT_EQ(r.days[0].zn, "A");
  EXPECT_EQ(r.days[0].number, 1);
  EXPECT_EQ(r.days[1].number, 2);
  EXPECT_EQ(r.days[2].number, 3);
  EXPECT_EQ(r.days[2].receipts, 0);
  EXPECT_EQ(r.days[3].zn, "B");
  ASSERT_EQ(r.open.size(), 1u);
  EXPECT_EQ(r.open[0].receipts, 1);

  // Export keeps the registers apart too: every row carries its own ZN.
  ExactJournal journal;
  journal.add_text(text);
  journal.sort();
  const CsvTables csv = export_csv(select_documents(journal, {}));
  EXPECT_NE(csv.documents.find("\r\nB,1,1,1,receipt,"), std::string::npos) << csv.documents;
  EXPECT_NE(csv.documents.find("\r\nA,1,1,1,receipt,"), std::string::npos);
  EXPECT_NE(csv.zreports.find("\r\nB,1,2,1,M,0,,SMI,9.00\r\n"), std::string::npos) << csv.zreports;

  const std::string json = reconciliation_json(r);
  EXPECT_EQ(json.rfind("{\"agree\":true,\"zreports\":[", 0), 0u);
  EXPECT_NE(json.find("{\"name\":\"NC NI\",\"zreport\":\"1\",\"receipts\":\"1\",\"agree\":true}"), std::string::npos);
  EXPECT_NE(json.find("{\"name\":\"M T=0 SMI\",\"zreport\":\"7.00\",\"receipts\":\"7.00\",\"agree\":true}"),
            std::string::npos);
}

}  // namespace
}  // namespace tallyglass

// The reader end to end over a pseudo-terminal: the link and the register
// emulator with the sample journal.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "emulator/emulator.h"
#include "journal/loader.h"
#include "journal/parse_load.h"
#include "link/link.h"
#include "reader/request.h"
#include "support/reader_fakes.h"
#include "support/sample_register.h"
#include "render/render_listing.h"

#include "support/model_builders.h"
#include "support/test_files.h"

namespace tallyglass {
namespace {

using test_support::ReadFile;
using test_support::SampleJournal;

using test_support::RecordingUi;

class EmulatorFetchTest : public test_support::SampleRegisterTest {
 protected:
  EmulatorFetchTest() : SampleRegisterTest("tallyglass-e2e") {}
  void SetUp() override {
    SampleRegisterTest::SetUp();
    state.work_dir = dir.string();
  }

  // The documents of a receipt range as the register holds them.
  std::vector<std::string> Receipts(int first, int last) {
    std::vector<std::string> docs;
    for (const auto& d : reg.Documents())
      if (d.class_code == emulator::kReceiptClass && d.number >= first && d.number <= last)
        docs.push_back(d.bytes);
    return docs;
  }
  std::string TempXml(const std::vector<std::string>& docs) {
    std::string text = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<RQ V=\"1\">\r\n";
    for (const auto& d : docs) text += d + "\r\n";
    return text + "</RQ>\r\n";
  }
  // The golden tape of the receipts first..last alone, as a request of class 1
  // brings them.
  static Listing Expected(std::int32_t first, std::int32_t last) {
    return test_support::SampleTape(test_support::ReceiptIds(first, last));
  }

  ReaderState state;
  RecordingUi ui;
};

TEST_F(EmulatorFetchTest, FetchesTheWholeReceiptRange) {
  state.Edit1 = "130";
  state.Edit2 = "148";
  const RequestResult result = run_request(state, ui, ui.control, kByNumbers);
  ASSERT_EQ(result.outcome, RequestOutcome::kRendered) << result.error;
  EXPECT_EQ(ReadFile(dir / "temp.xml"), TempXml(Receipts(130, 148)));
  EXPECT_EQ(state.listing, Expected(130, 148));
  EXPECT_EQ(ui.progresses.back(), "94.74%     148");
  EXPECT_TRUE(waits.empty());
}

// Damage the check value cannot see (two bits 255 apart) in a reply: the link
// takes the line, the document check does not take the document, and the
// document asked for again comes whole.
TEST_F(EmulatorFetchTest, DamageTheCheckValueMissesIsCaughtByTheDocumentCheck) {
  std::vector<std::string> archived;
  ui.control.fetched = [&](int, std::int32_t, const std::string& text) { archived.push_back(text); };
  std::atomic<int> damaged{0};  // the first time only: the second copy comes whole
  reg.SetFaultCallback([&damaged](const emulator::Event& e) {
    return e.request == "B;1;131;1;" && damaged++ == 0 ? emulator::Fault::kHiddenDamage : emulator::Fault::kNone;
  });
  state.Edit1 = "130";
  state.Edit2 = "132";
  const RequestResult result = run_request(state, ui, ui.control, kByNumbers);
  ASSERT_EQ(result.outcome, RequestOutcome::kRendered) << result.error;
  EXPECT_TRUE(result.left_out.empty());
  EXPECT_EQ(ReadFile(dir / "temp.xml"), TempXml(Receipts(130, 132)));
  EXPECT_EQ(state.listing, Expected(130, 132));
  EXPECT_EQ(archived, Receipts(130, 132));
  EXPECT_EQ(waits, std::vector<int>{200}) << "one failed exchange: the document's";
}

TEST_F(EmulatorFetchTest, ZReportsByDatesSendClassOne) {
  state.type_index = kChoiceZ;
  state.Edit4 = "15.03.16";
  state.Edit6 = "00:00";
  state.Edit5 = "15.03.16";
  state.Edit7 = "23:59";
  const RequestResult result = run_request(state, ui, ui.control, kByDates);
  ASSERT_EQ(result.outcome, RequestOutcome::kRendered) << result.error;
  EXPECT_EQ(state.first_number, 137);
  EXPECT_EQ(state.last_number, 142);
  // Receipts of class 1 came back, were recorded as receipts and are shown.
  EXPECT_EQ(state.check_state.get(137), 1);
  EXPECT_EQ(state.zvit_state.size(), 0u);
  EXPECT_EQ(ReadFile(dir / "temp.xml"), TempXml(Receipts(137, 142)));
  EXPECT_EQ(state.listing, Expected(137, 142));
}

TEST_F(EmulatorFetchTest, RegisterGoneMidFetchStillRendersWhatCameBefore) {
  // The line closes when receipt 135 is asked for.
  reg.SetFaultCallback([](const emulator::Event& e) {
    return e.kind == emulator::Event::kFrame && e.request.find(";135;") != std::string::npos
               ? emulator::Fault::kCloseLine
               : emulator::Fault::kNone;
  });
  state.Edit1 = "131";
  state.Edit2 = "140";
  const RequestResult result = run_request(state, ui, ui.control, kByNumbers);
  ASSERT_EQ(result.outcome, RequestOutcome::kRendered) << result.error;
  EXPECT_TRUE(reg.LineClosed());
  // The exchange fell silent, and the next found no register: Cancel stopped.
  EXPECT_EQ(ui.questions, std::vector<std::string>{"Нет связи!|Повторить"});
  EXPECT_EQ(state.check_state.get(135), 0);
  EXPECT_EQ(ReadFile(dir / "temp.xml"), TempXml(Receipts(131, 134)));
  EXPECT_EQ(state.listing, Expected(131, 134));
  for (int n = 131; n <= 134; ++n) EXPECT_EQ(state.check_state.get(n), 1) << n;
}

}  // namespace
}  // namespace tallyglass

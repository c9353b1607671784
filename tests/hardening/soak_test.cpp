// Many documents fetched from the register emulator through the real link
// while the register goes wrong at random: every document ends intact or
// recorded as fetched without data, never corrupted.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/archive_session.h"
#include "support/reader_fakes.h"
#include "support/model_builders.h"
#include "emulator/emulator.h"
#include "link/link.h"
#include "reader/fetch.h"
#include "reader/request.h"
#include "text/cp1251.h"

#include "support/test_files.h"

namespace tallyglass {
namespace {

using test_support::ReadFile;

using emulator::Document;
using emulator::Event;
using emulator::Fault;

std::string TwoDigits(int v) { return std::string{char('0' + v / 10 % 10), char('0' + v % 10)}; }

// Receipt n with a few sale lines; every 25th is padded to a whole number of
// 150-byte parts, so that its end is told by a "D;" reply.
Document Receipt(int n) {
  static const std::string kCash = Utf8ToCp1251("ГРОШІ");
  static const std::string kGoods = Utf8ToCp1251("Товар ");
  static const std::string kTn = Utf8ToCp1251("ПН 111111111111");
  const std::string ts = "20160401" + TwoDigits(8 + n / 60) + TwoDigits(n % 60) + "00";
  const int lines = n % 7 + 1;
  auto build = [&](const std::string& padding) {
    std::string d = "<DAT DI=\"" + std::to_string(n) + "\" DT=\"0\" FN=\"5555555555\" TN=\"" + kTn +
                    "\" V=\"1\" ZN=\"402400089\"><C T=\"0\">";
    int sum = 0;
    for (int i = 1; i <= lines; ++i) {
      sum += 100 * i;
      d += "<P C=\"" + std::to_string(i) + "\" N=\"" + std::to_string(i) + "\" NM=\"" + kGoods +
           std::to_string(n) + "-" + std::to_string(i) + (i == 1 ? padding : "") + "\" SM=\"" +
           std::to_string(100 * i) + "\" TX=\"1\"></P>";
    }
    d += "<M N=\"" + std::to_string(lines + 1) + "\" NM=\"" + kCash + "\" SM=\"" +
         std::to_string(sum) + "\" T=\"0\"></M><E N=\"" + std::to_string(lines + 2) + "\" NO=\"" +
         std::to_string(n) + "\" SM=\"" + std::to_string(sum) + "\" TS=\"" + ts + "\"></E></C><TS>" +
         ts + "</TS></DAT><MAC DI=\"" + std::to_string(n) + "\" NT=\"8\">QUJDREVGR0g=</MAC>";
    return d;
  };
  std::string bytes = build("");
  if (n % 25 == 0) bytes = build(std::string(150 - bytes.size() % 150, 'x'));
  return Document{emulator::kReceiptClass, n, ts, bytes};
}

class FaultSoak : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test_support::MakeScratchDir("tallyglass-soak");
    state_.work_dir = dir_.string();
    // The protocol's 200 ms and 1000 ms waits are not slept; read time-outs are real.
    state_.wait_ms = [](int) {};
    link::SetWaitFunction([](int) {});
  }
  void TearDown() override {
    link::ClosePort();
    link::SetWaitFunction(nullptr);
    std::filesystem::remove_all(dir_);
  }

  void Start(int count) {
    for (int n = 1; n <= count; ++n) documents_.push_back(Receipt(n));
    emulator_ = std::make_unique<emulator::RegisterEmulator>(documents_, emulator::EmulatorOptions{});
    std::string error;
    ASSERT_TRUE(emulator_->Start(&error)) << error;
    ASSERT_EQ(link::OpenPort(emulator_->PortName(), 115200), link::kPortOpened);
  }

  RequestResult Fetch(int first, int last) {
    state_.Edit1 = std::to_string(first);
    state_.Edit2 = std::to_string(last);
    state_.type_index = kChoiceCheck;
    state_.type_text = type_choice_text(kChoiceCheck);
    return run_request(state_, ui_, ui_.control, kByNumbers);
  }

  // The raw list and "temp.xml" hold exactly the documents recorded with
  // data, byte for byte as the register keeps them, in number order.
  void ExpectIntactCollected(const std::vector<int>& intact) {
    std::vector<std::string> expected = {
        "<?xml version=\"1.0\" encoding=\"windows-1251\"?>", "<RQ V=\"1\">"};
    for (int n : intact) expected.push_back(documents_[n - 1].bytes);
    expected.push_back("</RQ>");
    ASSERT_EQ(state_.raw_list.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
      EXPECT_EQ(state_.raw_list[i], expected[i]) << "raw list entry " << i;
    std::string file;
    for (const auto& line : expected) file += line + "\r\n";
    EXPECT_TRUE(ReadFile(dir_ / "temp.xml") == file) << "temp.xml differs from the intact documents";
  }

  // The receipt numbers the model holds, in load order.
  std::vector<int> LoadedNumbers() {
    std::vector<int> numbers;
    for (int p = 0; p < state_.model.doc_count; ++p)
      numbers.push_back(static_cast<int>(state_.model.dats[p].checks[0].end_line.NO));
    return numbers;
  }

  std::filesystem::path dir_;
  ReaderState state_;
  test_support::RecordingUi ui_;
  std::vector<Document> documents_;
  std::unique_ptr<emulator::RegisterEmulator> emulator_;
};

TEST_F(FaultSoak, FiveHundredDocumentsEndIntactOrWithoutData) {
  constexpr int kCount = 500;
  Start(kCount);
  ui_.answer_retry = [] { return true; };  // a silent poll run is asked again, never stopped
  // Fixed seed; silences cost real read time-outs, so they are rare.
  std::mt19937 random(20161210);
  emulator_->SetFaultCallback([&random](const Event& e) {
    const double draw = std::uniform_real_distribution<double>(0, 1)(random);
    struct Share {
      double upto;
      Fault fault;
    };
    static const Share kPoll[] = {{0.004, Fault::kSilence}, {0.009, Fault::kWrongFirstByte},
                                  {0.040, Fault::kFillBytes}};
    static const Share kFrame[] = {{0.040, Fault::kRefuseFrame},     {0.080, Fault::kErrorReply},
                                   {0.110, Fault::kBadCheckValue},   {0.120, Fault::kOneCheckByteWrong},
                                   {0.160, Fault::kFillBytes},       {0.165, Fault::kCutReply},
                                   {0.1665, Fault::kSilence}};
    const Share* begin = e.kind == Event::kPoll ? std::begin(kPoll) : std::begin(kFrame);
    const Share* end = e.kind == Event::kPoll ? std::end(kPoll) : std::end(kFrame);
    for (const Share* s = begin; s != end; ++s)
      if (draw < s->upto) return s->fault;
    return Fault::kNone;
  });

  const RequestResult result = Fetch(1, kCount);
  ASSERT_EQ(result.outcome, RequestOutcome::kRendered) << result.error;

  std::vector<int> intact;
  int without_data = 0;
  for (int n = 1; n <= kCount; ++n) {
    const int s = state_.check_state.get(n);
    ASSERT_TRUE(s == 1 || s == 2) << "document " << n << " has state " << s;
    if (s == 1) intact.push_back(n);
    else ++without_data;
  }
  ExpectIntactCollected(intact);
  EXPECT_EQ(LoadedNumbers(), intact);
  // The faults did their work both ways.
  EXPECT_GT(without_data, 0);
  EXPECT_GT(intact.size(), kCount / 2u);
  EXPECT_GT(state_.listing.size(), intact.size());
}

TEST_F(FaultSoak, LineClosedInsideADocumentKeepsWhatCameBefore) {
  Start(6);
  // Receipt 3 spans several parts: the line goes away at its second part.
  ASSERT_GT(documents_[2].bytes.size(), 300u);
  emulator_->SetFaultCallback([](const Event& e) {
    return e.kind == Event::kFrame && e.request == "B;1;3;1;" ? Fault::kCloseLine : Fault::kNone;
  });
  const RequestResult result = Fetch(1, 6);
  ASSERT_EQ(result.outcome, RequestOutcome::kRendered) << result.error;
  EXPECT_TRUE(emulator_->LineClosed());
  // Receipts 1 and 2 were collected, loaded and rendered; 3 to 6 are not recorded.
  ExpectIntactCollected({1, 2});
  EXPECT_EQ(LoadedNumbers(), (std::vector<int>{1, 2}));
  EXPECT_EQ(state_.check_state.ordered_copy(),
            (std::vector<std::pair<std::int32_t, std::int32_t>>{{1, 1}, {2, 1}, {3, 0}}));
  ASSERT_FALSE(ui_.questions.empty());
  EXPECT_EQ(ui_.questions.back(), "Нет связи!|Повторить");
  const std::string goods = Utf8ToCp1251("Товар 2-1");
  bool rendered = false;
  for (const auto& line : state_.listing) rendered = rendered || line.find(goods) != std::string::npos;
  EXPECT_TRUE(rendered) << "receipt 2 is not in the listing";
}

// The sample journal fetched again and again, with the archive, through a
// line that spoils bytes at random both ways (the emulator's noise, seeded):
// whatever reaches the raw list, temp.xml, the tape or the archive is byte for
// byte the register's document, and whatever does not is named as left out.
// TALLYGLASS_SOAK_ROUNDS sets how many rounds (make soak runs many).
class NoiseSoak : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test_support::MakeScratchDir("tallyglass-noise");
    link::SetWaitFunction([](int) {});  // the protocol's waits are not slept; read time-outs are real
  }
  void TearDown() override {
    link::ClosePort();
    link::SetWaitFunction(nullptr);
    std::filesystem::remove_all(dir_);
  }
  static int Rounds() {
    const char* rounds = std::getenv("TALLYGLASS_SOAK_ROUNDS");
    return rounds != nullptr && std::atoi(rounds) > 0 ? std::atoi(rounds) : 2;
  }

  std::filesystem::path dir_;
};

TEST_F(NoiseSoak, ADamagedLineNeverLeavesAWrongDocument) {
  emulator::RegisterEmulator reg(test_support::SampleJournal());
  std::map<std::pair<int, int>, std::string> held;  // (class, number) -> the register's bytes
  for (const auto& d : reg.Documents()) held[{d.class_code, d.number}] = d.bytes;
  std::string error;
  ASSERT_TRUE(reg.Start(&error)) << error;
  ASSERT_EQ(link::OpenPort(reg.PortName(), 115200), link::kPortOpened);

  struct Request {
    int choice, first, last;
  };
  const Request requests[] = {{kChoiceCheck, 130, 148}, {kChoiceZ, 41, 43}};
  int taken = 0, left_out = 0;
  for (int round = 0; round < Rounds(); ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    reg.SetNoise(0.003, 20261211u + static_cast<std::uint32_t>(round));
    const std::string archive_path = (dir_ / ("journal-" + std::to_string(round) + ".db")).string();
    Archive archive(archive_path);
    for (const auto& r : requests) {
      const int code = r.choice == kChoiceZ ? kClassZ : kClassCheck;
      // Twice each: the second request is served what the archive kept.
      for (int again = 0; again < 2; ++again) {
        ReaderState state;
        state.work_dir = dir_.string();
        state.wait_ms = [](int) {};
        state.Edit1 = std::to_string(r.first);
        state.Edit2 = std::to_string(r.last);
        state.type_index = r.choice;
        state.type_text = type_choice_text(r.choice);
        test_support::RecordingUi ui;
        ui.answer_retry = [] { return true; };  // as --keep-going: a silent spell is asked again
        ArchiveSession session(archive);
        session.bind(ui.control);
        const RequestResult result = run_request(state, ui, ui.control, kByNumbers);
        ASSERT_EQ(result.outcome, RequestOutcome::kRendered) << result.error;
        session.finish_request();
        EXPECT_TRUE(session.missed().empty());
        EXPECT_TRUE(session.conflicts().empty());

        std::string journal = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<RQ V=\"1\">\r\n";
        std::vector<std::string> expected = {"<?xml version=\"1.0\" encoding=\"windows-1251\"?>", "<RQ V=\"1\">"};
        std::vector<std::int32_t> missing;
        std::vector<std::string> taken_ids;
        sootv& table = code == kClassZ ? state.zvit_state : state.check_state;
        for (int n = r.first; n <= r.last; ++n) {
          const int s = table.get(n);
          if (s == 1) {
            expected.push_back(held.at({code, n}));
            journal += held.at({code, n}) + "\r\n";
            taken_ids.push_back((code == kClassZ ? "Z" : "R") + std::to_string(n));
            ++taken;
          } else {
            ASSERT_EQ(s, 2) << "number " << n;
            missing.push_back(n);
            ++left_out;
          }
        }
        journal += "</RQ>";
        expected.push_back("</RQ>");
        EXPECT_EQ(result.left_out, missing);
        ASSERT_EQ(state.raw_list.size(), expected.size()) << "documents collected";
        for (std::size_t i = 0; i < expected.size(); ++i)
          ASSERT_TRUE(state.raw_list[i] == expected[i])
              << "collected document " << i << " differs from the register's:\n"
              << Cp1251ToUtf8(state.raw_list[i]) << "\nexpected\n" << Cp1251ToUtf8(expected[i]);
        EXPECT_TRUE(ReadFile(dir_ / "temp.xml") == journal + "\r\n") << "temp.xml differs";
        EXPECT_EQ(test_support::FirstDifference(state.listing, test_support::SampleTape(taken_ids)), "")
            << "the tape differs from the register's documents";
      }
    }
    for (const auto& summary : archive.registers(false))
      for (const auto& doc : archive.documents(summary.id))
        EXPECT_TRUE(doc.text == held.at({doc.key.class_code, doc.key.number}))
            << "archived document " << doc.key.number << " differs";
  }
  EXPECT_GT(reg.NoiseDamage(), 0u);
  EXPECT_GT(taken, 0);
  std::printf("noise soak: %d documents taken, %d left out, %llu bytes spoilt\n", taken, left_out,
              static_cast<unsigned long long>(reg.NoiseDamage()));
}

}  // namespace
}  // namespace tallyglass

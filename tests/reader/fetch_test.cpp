#include "reader/fetch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <unistd.h>

#include "link/link.h"
#include "reader/query.h"
#include "support/reader_fakes.h"
#include "text/base64.h"

#include "support/test_files.h"

namespace tallyglass {
namespace {

using test_support::ReadFile;

using test_support::RecordingUi;
using test_support::ScriptedRegister;
using Answer = ScriptedRegister::Answer;

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>";

struct Request {
  int code, n, part;
};
Request Parse(const std::string& text) {
  Request r{};
  std::sscanf(text.c_str(), "%d;%d;%d;", &r.code, &r.n, &r.part);
  return r;
}

// A receipt (or Z-report) numbered n, exactly `size` bytes long (from about
// 80 up), padded in its MAC's text.
std::string Doc(int n, std::size_t size, int code = kClassCheck) {
  const std::string no = std::to_string(n);
  std::string doc = "<DAT DI=\"" + no + "\" ZN=\"T\">" +
                    (code == kClassZ ? "<Z NO=\"" + no + "\"></Z>" : "<C T=\"0\"><E NO=\"" + no + "\"></E></C>") +
                    "</DAT><MAC>";
  while (doc.size() + 6 < size) doc += static_cast<char>('a' + doc.size() % 26);
  doc += "</MAC>";
  EXPECT_EQ(doc.size(), size) << "too small a document for its header";
  return doc;
}

class FetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = test_support::MakeScratchDir("tallyglass-fetch");
    state.work_dir = dir.string();
    reg.install(state);
    // Serves the journal in pieces of 150 bytes; a missing document or a
    // part past the end of one that fills its last piece is "D;".
    reg.answer_b = [this](const std::string& text) {
      const Request r = Parse(text);
      if (auto f = failures.find(r.n); f != failures.end() && f->second > 0) {
        --f->second;
        return Answer{failure_code, ""};
      }
      const auto doc = journal.find(r.n);
      const std::size_t from = static_cast<std::size_t>(r.part) * 150;
      if (doc == journal.end() || from >= doc->second.size()) return Answer{12, "D;"};
      return Answer{12, EncodeBase64(doc->second.substr(from, 150))};
    };
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  std::vector<std::string> Requests() const {
    std::vector<std::string> texts;
    for (const auto& r : reg.requests) texts.push_back(r);
    return texts;
  }
  std::vector<std::pair<std::int32_t, std::int32_t>> Table() const {
    return state.check_state.ordered_copy();
  }
  // The numbers recorded as fetched (reading the table adds zero entries).
  std::vector<std::pair<std::int32_t, std::int32_t>> Recorded() const {
    auto table = Table();
    std::erase_if(table, [](const auto& entry) { return entry.second == 0; });
    return table;
  }

  std::filesystem::path dir;
  ReaderState state;
  RecordingUi ui;
  ScriptedRegister reg;
  std::map<int, std::string> journal;
  std::map<int, int> failures;  // document -> failed exchanges before it answers
  int failure_code = link_failure;
  static constexpr int link_failure = -12;
};

TEST_F(FetchTest, JoinsPartsUntilAShortPieceAndWritesTempXml) {
  journal[7] = Doc(7, 400);   // 150 + 150 + 100
  journal[8] = Doc(8, 100);
  fetch_range(state, ui, ui.control, 7, 8, kClassCheck);
  EXPECT_EQ(Requests(),
            (std::vector<std::string>{"B;1;7;0;", "B;1;7;1;", "B;1;7;2;", "B;1;8;0;"}));
  EXPECT_EQ(state.raw_list,
            (std::vector<std::string>{kDeclaration, "<RQ V=\"1\">", journal[7], journal[8], "</RQ>"}));
  EXPECT_EQ(Table(), (std::vector<std::pair<std::int32_t, std::int32_t>>{{7, 1}, {8, 1}}));
  EXPECT_EQ(ReadFile(dir / "temp.xml"), kDeclaration + "\r\n<RQ V=\"1\">\r\n" + journal[7] +
                                            "\r\n" + journal[8] + "\r\n</RQ>\r\n");
  EXPECT_EQ(ui.pumps, 2);
}

TEST_F(FetchTest, EndOfDocumentReplies) {
  journal[2] = Doc(2, 150);  // exactly one full piece: the next part is "D;"
  fetch_range(state, ui, ui.control, 1, 2, kClassCheck);
  EXPECT_EQ(Requests(), (std::vector<std::string>{"B;1;1;0;", "B;1;2;0;", "B;1;2;1;"}));
  EXPECT_EQ(Table(), (std::vector<std::pair<std::int32_t, std::int32_t>>{{1, 2}, {2, 1}}));
  EXPECT_EQ(state.raw_list.size(), 4u);
  EXPECT_EQ(state.raw_list[2], journal[2]);
}

TEST_F(FetchTest, NumbersFetchedWithDataCostNoExchange) {
  state.check_state.set(3, 1);
  state.check_state.set(5, 1);
  fetch_range(state, ui, ui.control, 3, 3, kClassCheck);
  EXPECT_TRUE(reg.requests.empty());
  EXPECT_EQ(ui.pumps, 0);
  EXPECT_TRUE(ui.progresses.empty());
  EXPECT_EQ(ReadFile(dir / "temp.xml"), kDeclaration + "\r\n<RQ V=\"1\">\r\n</RQ>\r\n");

  // One that came back without data is asked for again, and named until it comes.
  state.check_state.set(4, 2);
  EXPECT_EQ(fetch_range(state, ui, ui.control, 3, 5, kClassCheck).left_out, std::vector<std::int32_t>{4});
  EXPECT_EQ(Requests(), std::vector<std::string>{"B;1;4;0;"});
  journal[4] = Doc(4, 100);
  EXPECT_TRUE(fetch_range(state, ui, ui.control, 3, 5, kClassCheck).left_out.empty());
  EXPECT_EQ(state.check_state.get(4), 1);
  EXPECT_EQ(state.raw_list.size(), 4u);
}

// The register hands out document 7 as each of `texts` in turn (one whole
// fetch each, from part 0), then as `good`; any other number is "D;".
void DeliverInTurn(ScriptedRegister& reg, const std::string& good, std::vector<std::string> texts) {
  auto current = std::make_shared<std::string>();
  auto queue = std::make_shared<std::vector<std::string>>(std::move(texts));
  reg.answer_b = [=](const std::string& text) {
    const Request r = Parse(text);
    if (r.n != 7) return Answer{12, "D;"};
    if (r.part == 0) {
      *current = queue->empty() ? good : queue->front();
      if (!queue->empty()) queue->erase(queue->begin());
    }
    const std::size_t from = static_cast<std::size_t>(r.part) * 150;
    if (from >= current->size()) return Answer{12, "D;"};
    return Answer{12, EncodeBase64(current->substr(from, 150))};
  };
}

std::string Replace(std::string text, const std::string& what, const std::string& with) {
  const std::size_t at = text.find(what);
  EXPECT_NE(at, std::string::npos) << what;
  return text.replace(at, what.size(), with);
}

TEST_F(FetchTest, ADocumentThatIsNotTheOneAskedForIsAskedForAgain) {
  const std::string good = Doc(7, 200);
  struct Case {
    const char* what;
    std::string first;
  };
  const Case cases[] = {
      {"cut short (the decoding stopped early)", good.substr(0, 149)},
      {"a quote damaged", Replace(good, "NO=\"7\"", "NO=b7\"")},
      {"a value the loader refuses", Replace(good, "<E NO=\"7\">", "<E NO=\"7\" SM=\"12a\">")},
      {"another document's number", Doc(8, 200)},
      {"a Z-report where a receipt was asked for", Doc(7, 200, kClassZ)},
      {"two documents", Doc(7, 100) + Doc(7, 100)},
  };
  for (const auto& c : cases) {
    ReaderState fresh;
    fresh.work_dir = dir.string();
    ScriptedRegister r2;
    r2.install(fresh);
    DeliverInTurn(r2, good, {c.first});
    RecordingUi ui2;
    std::vector<std::string> handed_on;
    ui2.control.fetched = [&](int, std::int32_t, const std::string& text) { handed_on.push_back(text); };
    const FetchResult result = fetch_range(fresh, ui2, ui2.control, 7, 7, kClassCheck);
    EXPECT_TRUE(result.left_out.empty()) << c.what;
    EXPECT_EQ(r2.waits, std::vector<int>{kFailurePauseMs}) << c.what;  // one failed exchange
    EXPECT_EQ(r2.requests.back(), "B;1;7;1;") << c.what;                // the good copy, from part 0
    EXPECT_EQ(fresh.raw_list, (std::vector<std::string>{kDeclaration, "<RQ V=\"1\">", good, "</RQ>"})) << c.what;
    EXPECT_EQ(handed_on, std::vector<std::string>{good}) << c.what;
  }
}

TEST_F(FetchTest, TheSameFailingTextTwiceIsTakenAsTheRegisterHoldsItButNeverHandedOn) {
  const std::string unloadable = Replace(Doc(7, 200), "<E NO=\"7\">", "<E NO=\"7\" SM=\"12a\">");
  DeliverInTurn(reg, unloadable, {});
  std::vector<std::string> handed_on;
  ui.control.fetched = [&](int, std::int32_t, const std::string& text) { handed_on.push_back(text); };
  fetch_range(state, ui, ui.control, 7, 7, kClassCheck);
  EXPECT_EQ(Requests(), (std::vector<std::string>{"B;1;7;0;", "B;1;7;1;", "B;1;7;0;", "B;1;7;1;"}));
  EXPECT_EQ(reg.waits, std::vector<int>{kFailurePauseMs});
  EXPECT_EQ(state.raw_list, (std::vector<std::string>{kDeclaration, "<RQ V=\"1\">", unloadable, "</RQ>"}));
  EXPECT_EQ(Table(), (std::vector<std::pair<std::int32_t, std::int32_t>>{{7, 1}}));
  EXPECT_TRUE(handed_on.empty());
}

TEST_F(FetchTest, FiveDifferentFailingTextsAbandonTheDocument) {
  const std::string good = Doc(7, 100);
  std::vector<std::string> damaged;
  for (char c : std::string("vwxyz")) damaged.push_back(Replace(good, "NO=\"7\"", std::string("NO=") + c + "7\""));
  DeliverInTurn(reg, good, damaged);
  const FetchResult result = fetch_range(state, ui, ui.control, 7, 8, kClassCheck);
  EXPECT_EQ(result.left_out, (std::vector<std::int32_t>{7, 8}));
  EXPECT_EQ(reg.waits, std::vector<int>(5, kFailurePauseMs));
  EXPECT_EQ(Table(), (std::vector<std::pair<std::int32_t, std::int32_t>>{{7, 2}, {8, 2}}));
  EXPECT_EQ(state.raw_list.size(), 3u);
}

TEST(LeftOutMessage, NamesTheNumbersWithRunsJoined) {
  struct Case {
    std::vector<std::int32_t> numbers;
    int code;
    const char* start;
  };
  const Case cases[] = {
      {{147}, kClassCheck, "Не получены чеки: 147 ("},
      {{147, 149, 150, 151, 153}, kClassCheck, "Не получены чеки: 147, 149–151, 153 ("},
      {{41, 42}, kClassZ, "Не получены Z-отчеты: 41–42 ("},
  };
  for (const auto& c : cases) {
    const std::string text = Cp1251ToUtf8(left_out_message(c.numbers, c.code));
    EXPECT_EQ(text.rfind(c.start, 0), 0u) << text;
  }
}

TEST_F(FetchTest, FailureCounterIsCarriedAcrossDocuments) {
  journal[1] = Doc(1, 100);  // completes with a short piece, not with "D;"
  journal[2] = Doc(2, 100);
  journal[3] = Doc(3, 100);
  failures[1] = 3;
  failures[2] = 2;  // the second of these is the fifth of the fetch
  fetch_range(state, ui, ui.control, 1, 3, kClassCheck);
  EXPECT_EQ(Table(), (std::vector<std::pair<std::int32_t, std::int32_t>>{{1, 1}, {2, 2}, {3, 1}}));
  EXPECT_EQ(reg.waits, std::vector<int>(5, kFailurePauseMs));
  EXPECT_TRUE(ui.questions.empty());
  EXPECT_EQ(state.raw_list, (std::vector<std::string>{kDeclaration, "<RQ V=\"1\">", journal[1],
                                                      journal[3], "</RQ>"}));
}

TEST_F(FetchTest, FiveFailuresOnOnePartAbandonTheDocument) {
  // Every result other than "no link" is an ordinary failure, the link's own
  // added codes included.
  for (int code : {link::kFellSilent, link::kErrorReply, link::kBadCheckValue,
                   link::kBadNetworkNumber, link::kAllRefused, link::kReplyTooLong,
                   link::kBadRequestText, 0}) {
    ReaderState fresh;
    fresh.work_dir = dir.string();
    ScriptedRegister r2;
    r2.install(fresh);
    r2.answer_b = [&](const std::string& text) {
      const Request r = Parse(text);
      if (r.n == 4 && r.part == 1) return Answer{code, ""};
      return Answer{12, EncodeBase64(Doc(r.n, 160).substr(static_cast<std::size_t>(r.part) * 150, 150))};
    };
    RecordingUi ui2;
    fetch_range(fresh, ui2, ui2.control, 4, 5, kClassCheck);
    EXPECT_EQ(r2.waits, std::vector<int>(5, kFailurePauseMs)) << code;
    EXPECT_EQ(fresh.check_state.ordered_copy(),
              (std::vector<std::pair<std::int32_t, std::int32_t>>{{4, 2}, {5, 1}}))
        << code;
    EXPECT_EQ(r2.requests.size(), 1u + 5u + 2u) << code;
    EXPECT_TRUE(ui2.questions.empty()) << code;
  }
}

TEST_F(FetchTest, CancelInTheNoLinkQuestionStopsAndKeepsWhatCameBefore) {
  for (int n = 1; n <= 10; ++n) journal[n] = Doc(n, 100);
  reg.answer_b = [this, inner = reg.answer_b](const std::string& text) {
    return Parse(text).n == 5 ? Answer{-1, ""} : inner(text);
  };
  fetch_range(state, ui, ui.control, 1, 10, kClassCheck);
  EXPECT_EQ(ui.questions, std::vector<std::string>{"Нет связи!|Повторить"});
  EXPECT_TRUE(ui.control.stop_requested());
  EXPECT_TRUE(reg.waits.empty());
  EXPECT_EQ(Recorded(), (std::vector<std::pair<std::int32_t, std::int32_t>>{
                            {1, 1}, {2, 1}, {3, 1}, {4, 1}}));
  EXPECT_EQ(state.raw_list.size(), 2u + 4u + 1u);
  EXPECT_EQ(state.raw_list.back(), "</RQ>");
  EXPECT_NE(ReadFile(dir / "temp.xml").find(journal[4]), std::string::npos);
}

TEST_F(FetchTest, RetryInTheNoLinkQuestionCountsAFailureAndAsksAgain) {
  journal[1] = Doc(1, 100);
  int no_link = 2;
  reg.answer_b = [&, inner = reg.answer_b](const std::string& text) {
    return no_link-- > 0 ? Answer{-1, ""} : inner(text);
  };
  ui.answer_retry = [] { return true; };
  fetch_range(state, ui, ui.control, 1, 1, kClassCheck);
  EXPECT_EQ(ui.questions.size(), 2u);
  EXPECT_EQ(reg.waits.size(), 2u);
  EXPECT_EQ(Table(), (std::vector<std::pair<std::int32_t, std::int32_t>>{{1, 1}}));
}

TEST_F(FetchTest, StopAskedDuringADocumentLeavesItUnrecorded) {
  for (int n = 1; n <= 10; ++n) journal[n] = Doc(n, 200);
  ui.on_pump = [this](int count) {
    if (count == 5) ui.control.request_stop();
  };
  fetch_range(state, ui, ui.control, 1, 10, kClassCheck);
  // Document 5 is still requested, in full, but neither added nor recorded.
  EXPECT_EQ(reg.requests.back(), "B;1;5;1;");
  EXPECT_EQ(Recorded().size(), 4u);
  EXPECT_EQ(state.raw_list.size(), 2u + 4u + 1u);
  EXPECT_EQ(ui.progresses.size(), 4u);
}

TEST_F(FetchTest, ProgressLinesWhileTheApplicationIsActive) {
  fetch_range(state, ui, ui.control, 1, 10, kClassCheck);
  ASSERT_EQ(ui.progresses.size(), 10u);
  EXPECT_EQ(ui.progresses.front(), "0.00%     1");
  EXPECT_EQ(ui.progresses[4], "40.00%     5");
  EXPECT_EQ(ui.progresses.back(), "90.00%     10");
  EXPECT_EQ(progress_line(12, 1, 20), "55.00%     12");
  EXPECT_EQ(progress_line(2, 1, 3), "33.33%     2");

  ReaderState quiet;
  quiet.work_dir = dir.string();
  reg.install(quiet);
  RecordingUi inactive;
  inactive.active = false;
  fetch_range(quiet, inactive, inactive.control, 1, 3, kClassCheck);
  EXPECT_TRUE(inactive.progresses.empty());
}

TEST_F(FetchTest, NetworkNumberIsReadForEveryExchange) {
  journal[1] = Doc(1, 100);
  journal[2] = Doc(2, 100);
  ui.on_pump = [this](int count) { ui.network = count == 1 ? "3" : " 42"; };
  fetch_range(state, ui, ui.control, 1, 2, kClassCheck);
  EXPECT_EQ(reg.network_numbers, (std::vector<int>{3, 42}));

  ui.network = "COM1";
  ui.on_pump = [](int) {};
  EXPECT_THROW(fetch_range(state, ui, ui.control, 3, 3, kClassCheck), FieldConversionError);
  EXPECT_EQ(reg.requests.size(), 2u);  // no exchange ran
}

TEST_F(FetchTest, RequestByNumbersUsesTheClassAndTableOfTheTypeChoice) {
  journal[3] = Doc(3, 100, kClassZ);
  state.type_index = kChoiceZ;
  state.Edit1 = "3";
  state.Edit2 = "3";
  EXPECT_EQ(request_by_numbers(state, ui, ui.control), 0);
  EXPECT_EQ(reg.requests, std::vector<std::string>{"B;0;3;0;"});
  EXPECT_EQ(state.zvit_state.ordered_copy(),
            (std::vector<std::pair<std::int32_t, std::int32_t>>{{3, 1}}));
  EXPECT_EQ(state.check_state.size(), 0u);

  state.Edit1 = "0";
  EXPECT_EQ(request_by_numbers(state, ui, ui.control), 1);  // refused: no exchange
  EXPECT_EQ(reg.requests.size(), 1u);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Началный номер должен быть >0!"});
}

TEST_F(FetchTest, ZReportChoiceByDatesSendsClassOneAndRecordsInCheckState) {
  journal[20] = Doc(20, 100);
  journal[21] = Doc(21, 100);
  state.type_index = kChoiceZ;
  state.Edit4 = "01.04.16";
  state.Edit5 = "07.04.16";
  state.Edit6 = "00:00";
  state.Edit7 = "13:45";
  reg.answer_f = [](const std::string&) { return Answer{34, "20;21;"}; };
  EXPECT_EQ(request_by_dates(state, ui, ui.control), 0);
  EXPECT_EQ(reg.requests, (std::vector<std::string>{"F;01;04;16;00;00;07;04;16;13;45;",
                                                    "B;1;20;0;", "B;1;21;0;"}));
  // Receipts came back: they are recorded as receipts.
  EXPECT_EQ(state.check_state.ordered_copy(),
            (std::vector<std::pair<std::int32_t, std::int32_t>>{{20, 1}, {21, 1}}));
  EXPECT_EQ(state.zvit_state.size(), 0u);
  EXPECT_EQ(state.first_number, 20);
  EXPECT_EQ(state.last_number, 21);
  EXPECT_EQ(state.model.check_no_min, 20);
  EXPECT_EQ(state.model.check_no_max, 21);
}

// A lookup reply that fails its check value would name wrong receipts: it is
// asked for again, up to the failure limit, and then counts as no answer.
TEST_F(FetchTest, ALookupReplyThatFailsItsCheckIsAskedForAgain) {
  state.Edit4 = "01.04.16";
  state.Edit5 = "07.04.16";
  state.Edit7 = "13:45";
  int damaged = 2;
  reg.answer_f = [&](const std::string&) {
    return damaged-- > 0 ? Answer{link::kBadCheckValue, ""} : Answer{34, "20;21;"};
  };
  std::int32_t first = 1, last = 1;
  EXPECT_TRUE(lookup_range(state, ui.control, first, last));
  EXPECT_EQ(std::pair(first, last), std::pair(20, 21));
  EXPECT_EQ(reg.waits, std::vector<int>(2, kFailurePauseMs));

  damaged = kFailureLimit;
  reg.requests.clear();
  EXPECT_FALSE(lookup_range(state, ui.control, first, last));
  EXPECT_EQ(reg.requests.size(), static_cast<std::size_t>(kFailureLimit));
  // Other failures are not asked again, as before.
  reg.answer_f = [](const std::string&) { return Answer{link::kFellSilent, ""}; };
  reg.requests.clear();
  EXPECT_FALSE(lookup_range(state, ui.control, first, last));
  EXPECT_EQ(reg.requests.size(), 1u);
}

TEST_F(FetchTest, DatesWithoutALookupAnswerFetchDocumentOne) {
  state.Edit4 = "01.04.16";
  state.Edit5 = "07.04.16";
  state.Edit7 = "13:45";
  reg.answer_f = [](const std::string&) { return Answer{-1, ""}; };
  EXPECT_EQ(request_by_dates(state, ui, ui.control), 0);
  EXPECT_EQ(reg.requests.back(), "B;1;1;0;");

  state.Edit4 = "08.04.16";
  EXPECT_EQ(request_by_dates(state, ui, ui.control), 1);
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Конечная дата должна быть не меньше начальной!"});
}

TEST_F(FetchTest, UnwritableTempXmlIsReportedAndTheDocumentsKept) {
  journal[1] = Doc(1, 100);
  state.work_dir = (dir / "missing").string();
  const FetchResult result = fetch_range(state, ui, ui.control, 1, 1, kClassCheck);
  EXPECT_EQ(Cp1251ToUtf8(result.temp_xml_error), ui.messages.at(0));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].rfind("Не удалось записать файл temp.xml: ", 0), 0u) << ui.messages[0];
  EXPECT_NE(ui.messages[0].find("No such file or directory"), std::string::npos) << ui.messages[0];
  EXPECT_EQ(state.raw_list.size(), 4u);
}

}  // namespace
}  // namespace tallyglass

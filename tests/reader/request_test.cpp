#include "reader/request.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <unistd.h>

#include "journal/loader.h"
#include "journal/parse_load.h"
#include "reader/fetch.h"
#include "support/reader_fakes.h"
#include "render/render_listing.h"
#include "text/base64.h"
#include "text/cp1251.h"

#include "support/model_builders.h"
#include "support/test_files.h"

namespace tallyglass {
namespace {

using test_support::ReadFile;
using test_support::SampleJournal;

using test_support::RecordingUi;
using test_support::ScriptedRegister;
using Answer = ScriptedRegister::Answer;

// The sample's documents (one per line) by receipt or Z-report number.
std::map<int, std::string> SampleDocuments(bool zreports) {
  std::map<int, std::string> docs;
  std::size_t at = 0;
  const std::string& text = SampleJournal();
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    at = end + 1;
    if (line.rfind("<DAT", 0) != 0) continue;
    const std::string key = zreports ? "<Z NO=\"" : " NO=\"";
    const auto z = line.find("<Z NO=\"");
    if (zreports != (z != std::string::npos)) continue;
    const auto pos = zreports ? z : line.find("<E ");
    const auto no = line.find(key, pos);
    docs[std::stoi(line.substr(no + key.size()))] = line;
  }
  return docs;
}

// A register serving the sample journal in pieces of 300 Base64 characters.
void ServeSample(ScriptedRegister& reg) {
  reg.answer_b = [checks = SampleDocuments(false), zreports = SampleDocuments(true)](
                     const std::string& text) {
    int code = 0, n = 0, part = 0;
    std::sscanf(text.c_str(), "%d;%d;%d;", &code, &n, &part);
    const auto& docs = code == 0 ? zreports : checks;
    const auto doc = docs.find(n);
    const std::size_t from = static_cast<std::size_t>(part) * 225;
    if (doc == docs.end() || from >= doc->second.size()) return Answer{12, "D;"};
    return Answer{12, EncodeBase64(doc->second.substr(from, 225))};
  };
}

class RequestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = test_support::MakeScratchDir("tallyglass-request");
    state.work_dir = dir.string();
    reg.install(state);
    ServeSample(reg);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  // The golden tape of the sample's documents.
  static Listing Expected(const std::vector<std::string>& ids) { return test_support::SampleTape(ids); }

  std::filesystem::path dir;
  ReaderState state;
  RecordingUi ui;
  ScriptedRegister reg;
};

const std::vector<std::string> kFailureLines = {
    "Непредвиденный сбой в структуре получаемой информации!",
    "Попробуйте выбрать другой диапазон номеров или дат!"};

std::vector<std::string> Utf8(const Listing& listing) {
  std::vector<std::string> lines;
  for (const auto& line : listing) lines.push_back(Cp1251ToUtf8(line));
  return lines;
}

TEST_F(RequestTest, FetchesLoadsAndRendersBehindTheBusyNotice) {
  state.listing = {"old"};
  state.Edit1 = "131";
  state.Edit2 = "133";
  ui.control.request_stop();  // left over from an earlier request: cleared at the start
  const RequestResult result = run_request(state, ui, ui.control, kByNumbers);
  EXPECT_EQ(result.outcome, RequestOutcome::kRendered) << result.error;
  EXPECT_FALSE(ui.control.stop_requested());
  EXPECT_EQ(state.listing, Expected({"R131", "R132", "R133"}));
  EXPECT_FALSE(state.listing.empty());
  const std::vector<std::string> events = {"hide_query",
                                           "show_busy:ВНИМАНИЕ!!!!|ИДЁТ ЗАГРУЗКА ДАННЫХ....",
                                           "raise_busy",
                                           "pump",
                                           "progress:0.00%     131",
                                           "pump",
                                           "progress:33.33%     132",
                                           "pump",
                                           "progress:66.67%     133",
                                           "progress:",
                                           "hide_busy",
                                           "show_query"};
  EXPECT_EQ(ui.events, events);

  // The same range again costs no exchange and renders the same from the model.
  const auto asked = reg.requests.size();
  EXPECT_EQ(run_request(state, ui, ui.control, kByNumbers).outcome, RequestOutcome::kRendered);
  EXPECT_EQ(reg.requests.size(), asked);
  EXPECT_EQ(state.listing, Expected({"R131", "R132", "R133"}));
}

TEST_F(RequestTest, ZReportsByNumber) {
  state.type_index = kChoiceZ;
  state.Edit1 = "41";
  state.Edit2 = "43";
  EXPECT_EQ(run_request(state, ui, ui.control, kByNumbers).outcome, RequestOutcome::kRendered);
  EXPECT_EQ(reg.requests.front(), "B;0;41;0;");
  EXPECT_EQ(state.listing, Expected({"Z41", "Z42", "Z43"}));
}

TEST_F(RequestTest, RefusedCheckLeavesTheListing) {
  state.listing = {"old"};
  state.Edit1 = "7";
  state.Edit2 = "5";
  EXPECT_EQ(run_request(state, ui, ui.control, kByNumbers).outcome, RequestOutcome::kRefused);
  EXPECT_EQ(ui.messages,
            std::vector<std::string>{"Конечный номер должен быть не меньше начального!"});
  EXPECT_EQ(state.listing, Listing{"old"});
  EXPECT_TRUE(reg.requests.empty());
  EXPECT_EQ(ui.events.back(), "show_query");
}

TEST_F(RequestTest, UnreadableTextTwiceAppendsTheStructureLine) {
  reg.answer_b = [](const std::string&) { return Answer{12, EncodeBase64("<DAT><C")}; };
  state.listing = {"old"};
  state.Edit1 = "1";
  state.Edit2 = "2";
  EXPECT_EQ(run_request(state, ui, ui.control, kByNumbers).outcome, RequestOutcome::kStructureFailure);
  EXPECT_EQ(Utf8(state.listing),
            (std::vector<std::string>{"old", "Непредвиденный сбой в структуре получаемой информации!"}));
  EXPECT_EQ(ui.events.back(), "show_query");
  // The numbers stay recorded: asking again fetches nothing.
  EXPECT_EQ(state.check_state.get(1), 1);
}

TEST_F(RequestTest, ConversionFailuresTakeTheFailurePath) {
  struct Case {
    const char* name;
    std::string edit1, network;
  };
  const Case cases[] = {{"number field", "1a", "1"}, {"network number", "1", "COM1"}};
  for (const auto& c : cases) {
    ReaderState fresh;
    RecordingUi ui2;
    ScriptedRegister reg2;
    reg2.install(fresh);
    fresh.work_dir = dir.string();
    fresh.listing = {"old"};
    fresh.Edit1 = c.edit1;
    ui2.network = c.network;
    const RequestResult result = run_request(fresh, ui2, ui2.control, kByNumbers);
    EXPECT_EQ(result.outcome, RequestOutcome::kFailed) << c.name;
    EXPECT_FALSE(result.error.empty()) << c.name;
    std::vector<std::string> expected = {"old"};
    expected.insert(expected.end(), kFailureLines.begin(), kFailureLines.end());
    EXPECT_EQ(Utf8(fresh.listing), expected) << c.name;
    EXPECT_TRUE(reg2.requests.empty()) << c.name;
    EXPECT_EQ(std::vector<std::string>(ui2.events.end() - 3, ui2.events.end()),
              (std::vector<std::string>{"progress:", "hide_busy", "show_query"}))
        << c.name;
  }
}

TEST_F(RequestTest, CancelDuringDocumentFiveRendersTheFourBefore) {
  reg.answer_b = [inner = reg.answer_b](const std::string& text) {
    return text.rfind("1;135;", 0) == 0 ? Answer{-1, ""} : inner(text);
  };
  state.Edit1 = "131";
  state.Edit2 = "140";
  EXPECT_EQ(run_request(state, ui, ui.control, kByNumbers).outcome, RequestOutcome::kRendered);
  EXPECT_EQ(ui.questions, std::vector<std::string>{"Нет связи!|Повторить"});
  EXPECT_EQ(state.listing, Expected(test_support::ReceiptIds(131, 134)));
}

TEST_F(RequestTest, SavingAfterAFailedRequestWritesTheFailureLines) {
  state.Edit1 = "x";
  run_request(state, ui, ui.control, kByNumbers);
  const auto path = (dir / "tape.txt").string();
  save(state, path);
  EXPECT_EQ(ReadFile(path), Utf8ToCp1251(kFailureLines[0]) + "\r\n" +
                                Utf8ToCp1251(kFailureLines[1]) + "\r\n");
}

}  // namespace
}  // namespace tallyglass

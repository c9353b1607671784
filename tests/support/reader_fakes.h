#pragma once
// Test doubles of the reader's surroundings: a window interface that records
// what it was asked to show, and a scripted register in place of the link.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "reader/reader_state.h"
#include "reader/reader_ui.h"
#include "reader/request_control.h"
#include "text/cp1251.h"

namespace tallyglass::test_support {

// Records every call as one UTF-8 line ("inform:...", "ask:caption|text",
// "pump", "progress:...", ...) so a test can read the order back.
class RecordingUi : public ReaderUi {
 public:
  std::vector<std::string> events;
  std::vector<std::string> messages;    // inform, UTF-8
  std::vector<std::string> questions;   // "caption|text", UTF-8
  std::vector<std::string> progresses;  // non-empty progress lines
  int pumps = 0;
  bool active = true;
  std::string network = "1";
  std::function<bool()> answer_retry = [] { return false; };  // Cancel
  std::function<void(int pump_count)> on_pump = [](int) {};
  // The request's control, recording into the same events.
  RequestControl control;

  RecordingUi() {
    control.network_number = [this] { return network; };
    control.pump = [this] {
      ++pumps;
      events.push_back("pump");
      on_pump(pumps);
    };
    control.progress = [this](std::string_view line) {
      if (!line.empty()) progresses.emplace_back(line);
      events.push_back("progress:" + std::string(line));
    };
    control.active = [this] { return active; };
  }
  RecordingUi(const RecordingUi&) = delete;
  RecordingUi& operator=(const RecordingUi&) = delete;

  void inform(std::string_view text) override {
    messages.push_back(Cp1251ToUtf8(text));
    events.push_back("inform:" + messages.back());
  }
  bool ask_retry(std::string_view caption, std::string_view text) override {
    questions.push_back(Cp1251ToUtf8(caption) + "|" + Cp1251ToUtf8(text));
    events.push_back("ask:" + questions.back());
    return answer_retry();
  }
  void show_busy(std::string_view caption, std::string_view first_line) override {
    events.push_back("show_busy:" + Cp1251ToUtf8(caption) + "|" + Cp1251ToUtf8(first_line));
  }
  void hide_busy() override { events.push_back("hide_busy"); }
  void raise_busy() override { events.push_back("raise_busy"); }
  void show_query() override { events.push_back("show_query"); }
  void hide_query() override { events.push_back("hide_query"); }
};

// A register that answers each document request from a script. The script
// gets the request text and gives the result code and the reply text.
struct ScriptedRegister {
  struct Answer {
    int result;
    std::string reply;
  };
  std::function<Answer(const std::string& request)> answer_b;
  std::function<Answer(const std::string& request)> answer_f;
  std::vector<std::string> requests;  // "B;1;5;0;" / "F;..." as asked
  std::vector<int> network_numbers;
  std::vector<int> waits;  // the pauses asked for, in ms
  std::string reply;

  void install(ReaderState& state) {
    state.link.request_b = [this](int net, std::string_view text, int, bool) {
      return run(answer_b, "B;", net, text);
    };
    state.link.request_f = [this](int net, std::string_view text, int mode, bool convert) {
      if (mode != 0 || !convert) return -10;
      return run(answer_f, "F;", net, text);
    };
    state.link.reply_text = [this] { return reply; };
    state.wait_ms = [this](int ms) { waits.push_back(ms); };
  }

 private:
  int run(const std::function<Answer(const std::string&)>& script, const char* letter, int net,
          std::string_view text) {
    requests.push_back(letter + std::string(text));
    network_numbers.push_back(net);
    if (!script) return -12;
    Answer a = script(std::string(text));
    if (a.result > 0) reply = a.reply;
    return a.result;
  }
};

}  // namespace tallyglass::test_support

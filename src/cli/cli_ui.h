#pragma once
// The reader's windows on a terminal: messages and the no-link question on
// standard error, the progress line on standard error when it is a terminal,
// Ctrl-C in place of the busy notice's close box.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "reader/reader_ui.h"
#include "reader/request_control.h"

namespace tallyglass::cli {

class CliUi : public ReaderUi {
 public:
  // keep_going answers the no-link question with Retry.
  explicit CliUi(bool keep_going) : keep_going_(keep_going) {}

  void inform(std::string_view text) override;
  bool ask_retry(std::string_view caption, std::string_view text) override;
  void show_busy(std::string_view, std::string_view) override {}
  void hide_busy() override {}
  void raise_busy() override {}
  void show_query() override {}
  void hide_query() override {}

 private:
  bool keep_going_;
};

// How a request's progress reaches standard error: not at all, as one line
// redrawn in place (a terminal), or as lines of their own for a log or a
// service: one every 10 documents or 5 s, whichever comes first.
enum class Progress { kNone, kTerminal, kLog };

// The progress a command shows: none with --trace (the bytes say it all),
// else as standard error is a terminal or not.
Progress ProgressFor(bool trace);

// A request's control on a terminal: the --case text as the network number,
// the progress on standard error, and Ctrl-C in place of the busy notice's
// close box. One at a time.
class CliControl {
 public:
  CliControl(std::string network_text, Progress progress);
  ~CliControl();
  CliControl(const CliControl&) = delete;
  CliControl& operator=(const CliControl&) = delete;

  RequestControl& control() { return control_; }

 private:
  RequestControl control_;
};

// Empties the progress line on standard error, if one is shown.
void ClearProgress();

// Writes every byte of the line to a stream in hex, one line per burst in
// one direction: "12:04:05.123 -> FF FF 06" (sent) or "<-" (received).
class TraceWriter {
 public:
  explicit TraceWriter(std::FILE* out) : out_(out) {}
  ~TraceWriter() { flush(); }
  void add(bool sent, const std::uint8_t* bytes, std::size_t count);
  void flush();

 private:
  std::FILE* out_;
  bool sent_ = false;
  std::vector<std::uint8_t> pending_;
  std::chrono::system_clock::time_point first_;
  std::chrono::steady_clock::time_point last_;
};

// Windows-1251 text as UTF-8 on a stream, with a newline.
void print_line(std::FILE* out, std::string_view cp1251);

}  // namespace tallyglass::cli

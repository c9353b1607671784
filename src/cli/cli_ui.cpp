#include "cli/cli_ui.h"

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <ctime>
#include <string>
#include <vector>

#include "text/cp1251.h"

namespace tallyglass::cli {
namespace {

// The control of the running request, for the interrupt handler.
RequestControl* g_control = nullptr;
bool g_progress_shown = false;

// The first Ctrl-C asks the fetch to stop (what came so far is still
// rendered); a second one ends the program. Setting the lock-free stop flag is
// safe in a signal handler.
void OnInterrupt(int) {
  if (g_control != nullptr) g_control->request_stop();
  std::signal(SIGINT, SIG_DFL);
}

void ShowProgress(std::string_view line) {
  if (line.empty()) {
    ClearProgress();
    return;
  }
  std::fputs("\r\x1b[K", stderr);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  g_progress_shown = true;
}

// Progress for a log: the reader's line for each document ("12.50%     131")
// counted, and written as a line of its own every 10 documents or 5 s.
class LogProgress {
 public:
  void operator()(std::string_view line) {
    if (line.empty()) return;  // the request's end
    ++documents_;
    const auto now = std::chrono::steady_clock::now();
    if (documents_ % 10 != 0 && now - last_ < std::chrono::seconds(5)) return;
    last_ = now;
    // The reader's line: the share done, the number, and what the archive
    // adds after it ("из архива: 3, с аппарата: 7").
    std::vector<std::string_view> words;
    for (std::size_t at = 0; at < line.size() && words.size() < 3;) {
      const std::size_t start = line.find_first_not_of(' ', at);
      if (start == std::string_view::npos) break;
      const std::size_t end = words.size() < 2 ? line.find(' ', start) : line.size();
      words.push_back(line.substr(start, end - start));
      at = end;
    }
    if (words.size() < 2) return;
    std::string text = "Обработано номеров: " + std::to_string(documents_) + ", текущий номер " +
                       std::string(words[1]) + " (" + std::string(words[0]) + ")";
    if (words.size() > 2) text += "; " + Cp1251ToUtf8(words[2]);
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
  }

 private:
  long documents_ = 0;
  std::chrono::steady_clock::time_point last_ = std::chrono::steady_clock::now();
};

}  // namespace

Progress ProgressFor(bool trace) {
  if (trace) return Progress::kNone;
  return ::isatty(STDERR_FILENO) == 1 ? Progress::kTerminal : Progress::kLog;
}

void ClearProgress() {
  if (g_progress_shown) std::fputs("\r\x1b[K", stderr);
  g_progress_shown = false;
}

void print_line(std::FILE* out, std::string_view cp1251) {
  const std::string text = Cp1251ToUtf8(cp1251);
  std::fwrite(text.data(), 1, text.size(), out);
  std::fputc('\n', out);
}

void CliUi::inform(std::string_view text) {
  ClearProgress();
  print_line(stderr, text);
}

bool CliUi::ask_retry(std::string_view caption, std::string_view text) {
  ClearProgress();
  const std::string line = std::string(caption) + " " + std::string(text) + "? " +
                           (keep_going_ ? "Retry (--keep-going)" : "Cancel");
  print_line(stderr, line);
  return keep_going_;
}

CliControl::CliControl(std::string network_text, Progress progress) {
  control_.network_number = [text = std::move(network_text)] { return text; };
  if (progress == Progress::kTerminal) control_.progress = ShowProgress;
  if (progress == Progress::kLog) control_.progress = LogProgress();
  g_control = &control_;
  std::signal(SIGINT, OnInterrupt);
}

CliControl::~CliControl() {
  std::signal(SIGINT, SIG_DFL);
  g_control = nullptr;
  ClearProgress();
}

void TraceWriter::add(bool sent, const std::uint8_t* bytes, std::size_t count) {
  const auto now = std::chrono::steady_clock::now();
  if (!pending_.empty() && (sent != sent_ || now - last_ > std::chrono::milliseconds(20))) flush();
  for (std::size_t i = 0; i < count; ++i) {
    if (pending_.empty()) {
      sent_ = sent;
      first_ = std::chrono::system_clock::now();
    }
    pending_.push_back(bytes[i]);
    if (pending_.size() == 16) flush();
  }
  last_ = now;
}

void TraceWriter::flush() {
  if (pending_.empty()) return;
  const auto since_epoch = first_.time_since_epoch();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since_epoch).count() % 1000;
  const std::time_t seconds = std::chrono::system_clock::to_time_t(first_);
  std::tm tm{};
  localtime_r(&seconds, &tm);
  std::fprintf(out_, "%02d:%02d:%02d.%03d %s", tm.tm_hour, tm.tm_min, tm.tm_sec,
               static_cast<int>(ms), sent_ ? "->" : "<-");
  for (std::uint8_t b : pending_) std::fprintf(out_, " %02X", b);
  std::fputc('\n', out_);
  pending_.clear();
}

}  // namespace tallyglass::cli

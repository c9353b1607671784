#include "cli/cli_ui.h"

#include <csignal>
#include <ctime>

#include "text/cp1251.h"

namespace tallyglass::cli {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

// The first Ctrl-C asks the fetch to stop (what came so far is still
// rendered); a second one ends the program.
void OnInterrupt(int) {
  g_interrupted = 1;
  std::signal(SIGINT, SIG_DFL);
}

}  // namespace

void print_line(std::FILE* out, std::string_view cp1251) {
  const std::string text = Cp1251ToUtf8(cp1251);
  std::fwrite(text.data(), 1, text.size(), out);
  std::fputc('\n', out);
}

CliUi::CliUi(std::string network_text, bool keep_going, bool show_progress)
    : network_text_(std::move(network_text)), keep_going_(keep_going), show_progress_(show_progress) {
  g_interrupted = 0;
  std::signal(SIGINT, OnInterrupt);
}

CliUi::~CliUi() {
  std::signal(SIGINT, SIG_DFL);
  progress("");
}

void CliUi::inform(std::string_view text) {
  progress("");
  print_line(stderr, text);
}

bool CliUi::ask_retry(std::string_view caption, std::string_view text) {
  progress("");
  const std::string line = std::string(caption) + " " + std::string(text) + "? " +
                           (keep_going_ ? "Retry (--keep-going)" : "Cancel");
  print_line(stderr, line);
  return keep_going_;
}

void CliUi::progress(std::string_view line) {
  if (!show_progress_) return;
  if (line.empty()) {
    if (progress_shown_) std::fputs("\r\x1b[K", stderr);
    progress_shown_ = false;
    return;
  }
  std::fputs("\r\x1b[K", stderr);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  progress_shown_ = true;
}

bool CliUi::stop_requested() { return stop_ || g_interrupted != 0; }

void CliUi::set_stop_requested(bool stop) {
  stop_ = stop;
  if (!stop) g_interrupted = 0;
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

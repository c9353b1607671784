#pragma once
// A ReaderUi for unattended runs (benchmarks, fuzzing): it shows nothing,
// answers Cancel to every question and talks to register number 1.
#include "reader/reader_ui.h"

namespace tallyglass {

class QuietUi : public ReaderUi {
 public:
  // Whether to count as the active application, so that progress lines are made.
  explicit QuietUi(bool active = false) : active_(active) {}

  void inform(std::string_view) override {}
  bool ask_retry(std::string_view, std::string_view) override { return false; }
  void pump() override {}
  void show_busy(std::string_view, std::string_view) override {}
  void progress(std::string_view) override {}
  void hide_busy() override {}
  void raise_busy() override {}
  bool app_active() override { return active_; }
  void show_query() override {}
  void hide_query() override {}
  std::string network_number_text() override { return "1"; }
  bool stop_requested() override { return stop_; }
  void set_stop_requested(bool stop) override { stop_ = stop; }

 private:
  bool active_;
  bool stop_ = false;
};

}  // namespace tallyglass

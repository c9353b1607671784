#pragma once
// A ReaderUi for unattended runs (benchmarks, fuzzing): it shows nothing and
// answers Cancel to every question. A default RequestControl beside it talks
// to register number 1 and shows no progress.
#include "reader/reader_ui.h"

namespace tallyglass {

class QuietUi : public ReaderUi {
 public:
  void inform(std::string_view) override {}
  bool ask_retry(std::string_view, std::string_view) override { return false; }
  void show_busy(std::string_view, std::string_view) override {}
  void hide_busy() override {}
  void raise_busy() override {}
  void show_query() override {}
  void hide_query() override {}
};

}  // namespace tallyglass

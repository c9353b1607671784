#pragma once
// What a request shows through the windows around it, so that it runs the
// same under the desktop program, the CLI and the tests: the dialogs, the busy
// notice and the query window. All text is Windows-1251. The per-run state
// (stop flag, progress, network number) is in RequestControl.
#include <string_view>

namespace tallyglass {

class ReaderUi {
 public:
  virtual ~ReaderUi() = default;
  // Information box with OK, titled with the application title.
  virtual void inform(std::string_view text) = 0;
  // Question with Retry and Cancel; true for Retry.
  virtual bool ask_retry(std::string_view caption, std::string_view text) = 0;

  // The busy notice.
  virtual void show_busy(std::string_view caption, std::string_view first_line) = 0;
  virtual void hide_busy() = 0;
  virtual void raise_busy() = 0;  // bring it to the front

  // The query window.
  virtual void show_query() = 0;
  virtual void hide_query() = 0;
};

}  // namespace tallyglass

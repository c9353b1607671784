#pragma once
// What fetching and the request driver need from the windows around them, so
// that they run the same under the desktop program, the CLI and the tests.
// All text is Windows-1251.
#include <string>
#include <string_view>

namespace tallyglass {

class ReaderUi {
 public:
  virtual ~ReaderUi() = default;
  // Information box with OK, titled with the application title.
  virtual void inform(std::string_view text) = 0;
  // Question with Retry and Cancel; true for Retry.
  virtual bool ask_retry(std::string_view caption, std::string_view text) = 0;
  // Handle pending user input once (where the busy notice's close can stop a fetch).
  virtual void pump() = 0;

  // The busy notice.
  virtual void show_busy(std::string_view caption, std::string_view first_line) = 0;
  virtual void progress(std::string_view line) = 0;  // its second line; "" empties it
  virtual void hide_busy() = 0;
  virtual void raise_busy() = 0;  // bring it to the front
  // Whether the program is the active application (progress is shown only then).
  virtual bool app_active() = 0;

  // The query window.
  virtual void show_query() = 0;
  virtual void hide_query() = 0;

  // The connection window's network-number text, read anew for every exchange.
  virtual std::string network_number_text() = 0;

  // The user asked to stop a running fetch.
  virtual bool stop_requested() = 0;
  virtual void set_stop_requested(bool stop) = 0;
};

}  // namespace tallyglass

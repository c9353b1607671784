#pragma once
// What one request needs from whoever runs it, apart from the windows: the
// stop flag, the progress line, the network number and the handling of
// pending input, and the seam through which documents can be served from
// elsewhere (an archive) or handed on as they complete. The request reads it;
// the desktop's windows or the CLI set it up and set the stop flag. The stop
// flag may be set from any thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tallyglass {

class RequestControl {
 public:
  // The user asked to stop a running fetch: what came until then is kept.
  void request_stop() { stop_.store(true, std::memory_order_relaxed); }
  void clear_stop() { stop_.store(false, std::memory_order_relaxed); }
  bool stop_requested() const { return stop_.load(std::memory_order_relaxed); }

  // The network number's text, read anew for every exchange ("1" when unset).
  std::string network_number_text() const { return network_number ? network_number() : "1"; }
  // Handles pending user input once (where a stop can be asked for).
  void pump_input() const {
    if (pump) pump();
  }
  // Whether progress lines are wanted now (the program is the active one).
  bool shows_progress() const { return progress && (!active || active()); }
  // The busy notice's second line; "" empties it.
  void show_progress(std::string_view line) const {
    if (progress) progress(line);
  }

  std::function<std::string()> network_number;
  std::function<void()> pump;
  std::function<void(std::string_view)> progress;
  std::function<bool()> active;

  // A document of class code and number that need not cross the line: its
  // collected text (Windows-1251, as a fetch would have joined it), or nothing.
  std::function<std::optional<std::string>(int code, std::int32_t number)> serve;
  // A document that came over the line complete, as it enters the raw list.
  std::function<void(int code, std::int32_t number, const std::string& text)> fetched;
  // Whether the connected register must be identified before a document of
  // class code and number can be served (once per connection, and only for a
  // document held elsewhere). When it says so, the request asks the register
  // for that document's part 0 under the rules of any part and hands the
  // answer (nothing when none came) to identify.
  std::function<bool(int code, std::int32_t number)> needs_identity;
  std::function<void(int code, std::int32_t number, const std::optional<std::string>& first_part)> identify;

 private:
  std::atomic<bool> stop_{false};
};

}  // namespace tallyglass

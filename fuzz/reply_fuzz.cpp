// Bytes from a fake line in: the register's side of a pseudo-terminal is
// loaded with the fuzz bytes before the link reads them; once the link has
// read them all, that side is closed, so the link meets a hung-up line at once
// instead of its 300 ms read time-out. The first byte picks what runs: the
// station poll, the "B" or the "F" exchange, or the reader's fetch of two
// documents over the real link.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>

#include "fuzz_support.h"
#include "link/link.h"
#include "reader/fetch.h"
#include "reader/reader_state.h"
#include "reader/quiet_ui.h"

using namespace tallyglass;

namespace {

// The most a pseudo-terminal's input side holds without a reader.
constexpr std::size_t kMaxLine = 4000;

bool IsLinkResult(int r) {
  return r > 0 || r == link::kNoLink || r == link::kFellSilent || r == link::kErrorReply ||
         r == link::kBadCheckValue || r == link::kAllRefused || r == link::kReplyTooLong;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  link::SetWaitFunction([](int) {});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > kMaxLine + 1) return -1;
  const int mode = data[0] % 4;
  const std::string_view line(reinterpret_cast<const char*>(data + 1), size - 1);

  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  TG_FUZZ_CHECK(master >= 0);
  TG_FUZZ_CHECK(::grantpt(master) == 0 && ::unlockpt(master) == 0);
  const std::string slave_path = ::ptsname(master);
  // Opened before the link takes the port exclusively; used to watch its input.
  const int watch = ::open(slave_path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  TG_FUZZ_CHECK(watch >= 0);
  termios raw{};
  TG_FUZZ_CHECK(::tcgetattr(watch, &raw) == 0);
  ::cfmakeraw(&raw);
  TG_FUZZ_CHECK(::tcsetattr(watch, TCSANOW, &raw) == 0);

  std::size_t written = 0;
  while (written < line.size()) {
    const ssize_t n = ::write(master, line.data() + written, line.size() - written);
    TG_FUZZ_CHECK(n > 0);
    written += static_cast<std::size_t>(n);
  }
  // Wait until every byte has reached the input side.
  for (int queued = -1; queued != static_cast<int>(line.size());) {
    TG_FUZZ_CHECK(::ioctl(watch, FIONREAD, &queued) == 0);
    if (queued != static_cast<int>(line.size())) std::this_thread::yield();
  }

  TG_FUZZ_CHECK(link::OpenPort(slave_path, 115200) == link::kPortOpened);
  std::atomic<bool> done{false};
  // Drains what the link writes and hangs the line up once its input is read.
  std::thread register_side([&] {
    char sink[512];
    bool open = true;
    while (!done.load()) {
      if (open) {
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, 1) > 0 && (p.revents & POLLIN)) (void)::read(master, sink, sizeof sink);
        int queued = 0;
        if (::ioctl(watch, FIONREAD, &queued) == 0 && queued == 0) {
          ::close(master);
          open = false;
        }
      } else {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    }
    if (open) ::close(master);
  });

  switch (mode) {
    case 0: {
      const int r = link::PollStation(1);
      TG_FUZZ_CHECK(r == 0 || r == link::kNoLink);
      break;
    }
    case 1:
    case 2: {
      const int r = mode == 1 ? link::RequestB(1, "1;5;0;", 0, true)
                              : link::RequestF(1, "01;04;16;00;00;30;04;16;23;59;", 0, true);
      TG_FUZZ_CHECK(IsLinkResult(r));
      if (r > 0) {
        // A success leaves the reply text and its CR in the buffer.
        const auto& buffer = link::ReplyBuffer();
        const std::string_view text = link::ReplyText();
        TG_FUZZ_CHECK(text.size() < buffer.size() && buffer[text.size()] == '\r');
      }
      break;
    }
    default: {
      ReaderState state;
      state.work_dir = fuzz::WorkDir();
      state.wait_ms = [](int) {};
      QuietUi ui;
      RequestControl control;
      fetch_range(state, ui, control, 1, 2, kClassCheck);
      TG_FUZZ_CHECK(state.raw_list.size() >= 3 && state.raw_list.size() <= 5);
      break;
    }
  }
  link::ClosePort();
  done = true;
  register_side.join();
  ::close(watch);
  return 0;
}

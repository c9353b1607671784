// The serial port over POSIX termios, the station poll and the two request
// exchanges. One port per process, held in module-level state.
#include "link/link.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "link/frame.h"
#include "link/port_speed.h"

namespace tallyglass::link {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kReadTimeoutMs = 300;
constexpr int kPollAttempts = 5;
constexpr int kRequestAttempts = 10;
constexpr int kReadsBeforeSilent = 11;  // RequestB: reads of the ACK and of the start byte
constexpr int kFixedWaitMs = 1000;

// Everything the link works with during an exchange, kept together so that it
// can be locked in memory while the port is open.
struct LinkState {
  std::array<std::uint8_t, kReplyBufferSize> reply{};
  int fd = -1;
  bool resident = false;
  TraceSink trace;
  WaitFunction wait;
  int read_timeout_ms = kReadTimeoutMs;
};
LinkState g_link;

void Trace(bool sent, const std::uint8_t* bytes, std::size_t count) {
  if (g_link.trace && count > 0) g_link.trace(sent, bytes, count);
}

// One blocking write of the whole block; errors are not examined (an exchange
// on a dead port fails through its reads).
void Write(std::string_view bytes) {
  if (g_link.fd < 0 || bytes.empty()) return;
  Trace(true, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(g_link.fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno == EAGAIN) {
      pollfd p{g_link.fd, POLLOUT, 0};
      if (::poll(&p, 1, -1) < 0 && errno != EINTR) return;
    } else {
      return;
    }
  }
}

// One byte, as soon as it is there, or false after the read time-out
// (300 ms) without one. A failed read (a line that hung up) counts as no byte.
bool ReadByte(std::uint8_t& byte) {
  if (g_link.fd < 0) return false;
  const auto deadline = Clock::now() + std::chrono::milliseconds(g_link.read_timeout_ms);
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd p{g_link.fd, POLLIN, 0};
    const int r = ::poll(&p, 1, left > 0 ? static_cast<int>(left) : 0);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    const ssize_t n = ::read(g_link.fd, &byte, 1);
    if (n == 1) {
      Trace(false, &byte, 1);
      return true;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN) && Clock::now() < deadline) continue;
    return false;
  }
}

// After a line that started wrongly, drop what is left of it so the next
// attempt starts in step: read until the line is quiet for one read time-out.
void DiscardUntilQuiet() {
  std::uint8_t byte;
  for (std::size_t i = 0; i < 2 * kReplyBufferSize && ReadByte(byte); ++i) {
  }
}

enum class LineEnd { kComplete, kSilent, kTooLong };

// Reads a line's text (after its start byte) into the reply buffer, then its
// two check bytes, feeding every byte into `check`. Fill bytes are fed but not
// stored. A text that does not fit is read on to its end without storing more.
LineEnd ReadLineBody(CheckRegister& check) {
  std::size_t place = 0;
  bool too_long = false;
  std::uint8_t byte;
  for (;;) {
    if (!ReadByte(byte)) return LineEnd::kSilent;
    check.feed(byte);
    if (byte == kFillByte) continue;
    if (byte == kEndByte) {
      if (!too_long) g_link.reply[place] = byte;
      break;
    }
    if (place < kReplyBufferSize - 1) g_link.reply[place++] = byte;
    else too_long = true;
  }
  for (int i = 0; i < 2; ++i) {
    if (!ReadByte(byte)) return LineEnd::kSilent;
    check.feed(byte);
  }
  return too_long ? LineEnd::kTooLong : LineEnd::kComplete;
}

// Raises the calling thread's scheduling for the length of one exchange and
// puts the previous values back on every way out. Refusals are ignored.
class RaisedPriority {
 public:
  RaisedPriority() {
    const pthread_t self = pthread_self();
    if (pthread_getschedparam(self, &policy_, &param_) == 0) {
      // Real-time, but below the kernel's own real-time threads.
      sched_param raised{};
      raised.sched_priority =
          (sched_get_priority_min(SCHED_FIFO) + sched_get_priority_max(SCHED_FIFO)) / 2;
      realtime_ = pthread_setschedparam(self, SCHED_FIFO, &raised) == 0;
    }
    if (!realtime_) {
      tid_ = static_cast<id_t>(::syscall(SYS_gettid));
      errno = 0;
      nice_ = ::getpriority(PRIO_PROCESS, tid_);
      if (errno == 0) {
        const int raised = nice_ - 10 < -20 ? -20 : nice_ - 10;
        niced_ = raised != nice_ && ::setpriority(PRIO_PROCESS, tid_, raised) == 0;
      }
    }
  }
  ~RaisedPriority() { Restore(); }
  RaisedPriority(const RaisedPriority&) = delete;
  RaisedPriority& operator=(const RaisedPriority&) = delete;

  void Restore() {
    if (realtime_) pthread_setschedparam(pthread_self(), policy_, &param_);
    if (niced_) ::setpriority(PRIO_PROCESS, tid_, nice_);
    realtime_ = false;
    niced_ = false;
  }

 private:
  int policy_ = SCHED_OTHER;
  sched_param param_{};
  bool realtime_ = false;
  id_t tid_ = 0;
  int nice_ = 0;
  bool niced_ = false;
};

std::string DevicePath(std::string_view name) {
  if (name.size() > 3 && (name[0] == 'C' || name[0] == 'c') && (name[1] == 'O' || name[1] == 'o') &&
      (name[2] == 'M' || name[2] == 'm')) {
    int number = 0;
    bool digits = name.size() <= 6;
    for (const char c : name.substr(3)) {
      if (c < '0' || c > '9') digits = false;
      else number = number * 10 + (c - '0');
    }
    if (digits && number >= 1) return "/dev/ttyS" + std::to_string(number - 1);
  }
  if (!name.empty() && name[0] == '/') return std::string(name);
  return "/dev/" + std::string(name);
}

bool SpeedConstant(int speed, speed_t& constant, bool& custom) {
  custom = false;
  switch (speed) {
    case 4800: constant = B4800; return true;
    case 9600: constant = B9600; return true;
    case 19200: constant = B19200; return true;
    case 38400: constant = B38400; return true;
    case 57600: constant = B57600; return true;
    case 115200: constant = B115200; return true;
    case 14400:
    case 28800:
    case 56000:
      constant = B9600;  // replaced through termios2
      custom = true;
      return true;
    default: return false;
  }
}

void CloseDescriptor(int fd) {
  ::ioctl(fd, TIOCNXCL);  // the exclusive mode outlives us when another descriptor stays open
  ::close(fd);
}

void ReleaseResidency() {
  if (g_link.resident) ::munlock(&g_link, sizeof g_link);
  g_link.resident = false;
}

enum class Command { kF, kB };

int Exchange(Command command, int network_number, std::string_view request_text, bool convert) {
  if (network_number < 1 || network_number > 99) return kBadNetworkNumber;
  std::string frame_text(command == Command::kF ? "F;" : "B;");
  frame_text.append(request_text);
  if (convert) frame_text = ToDeviceText(frame_text);
  if (frame_text.size() > kMaxFrameText ||
      frame_text.find_first_of(std::string_view("\0\r", 2)) != std::string::npos)
    return kBadRequestText;
  const int frame_length = static_cast<int>(frame_text.size()) + 4;

  RaisedPriority priority;
  Write(LeadIn());
  bool last_refused = false;
  for (int attempts = 0; attempts < kRequestAttempts;) {
    const std::string frame = BuildFrame(frame_text);
    if (PollStation(network_number) != 0) return kNoLink;
    Write(LeadIn());
    Write(frame);

    std::uint8_t byte = 0;
    bool answered = false;
    if (command == Command::kF) {
      answered = ReadByte(byte);
    } else {
      for (int reads = 0; reads < kReadsBeforeSilent && !answered; ++reads) {
        answered = ReadByte(byte);
        if (!answered) Wait(kFixedWaitMs);
      }
    }
    if (!answered) {
      Write(ReleaseSequence());
      return kFellSilent;
    }
    if (byte != kAck) {
      last_refused = true;
      ++attempts;
      continue;
    }
    last_refused = false;

    if (command == Command::kF) {
      Wait(kFixedWaitMs);
      if (!ReadByte(byte)) {  // taken as the start byte whatever its value
        Write(ReleaseSequence());
        return kFellSilent;
      }
    } else {
      int empty_reads = 0;
      for (;;) {
        if (ReadByte(byte)) {
          if (byte == kStartByte) break;
          continue;
        }
        Wait(kFixedWaitMs);
        if (++empty_reads == kReadsBeforeSilent) {
          Write(ReleaseSequence());
          return kFellSilent;
        }
      }
    }

    CheckRegister check;
    const LineEnd end = ReadLineBody(check);
    if (end == LineEnd::kSilent) {
      priority.Restore();
      Write(ReleaseSequence());
      return kFellSilent;
    }
    if (end == LineEnd::kTooLong) {
      priority.Restore();
      Write(ReleaseSequence());
      return kReplyTooLong;
    }
    // Both replies are verified: a damaged date lookup would name wrong receipts.
    if (check.refuses()) return kBadCheckValue;
    Write(AckSequence());
    if (g_link.reply[0] != 'E') break;
    ++attempts;
  }

  priority.Restore();
  Write(EndSequence());
  if (last_refused) return kAllRefused;
  if (g_link.reply[0] == 'E') {
    Write(ReleaseSequence());
    return kErrorReply;
  }
  return frame_length;
}

}  // namespace

int OpenPort(std::string_view port_name, int speed) {
  speed_t constant = B9600;
  bool custom = false;
  if (!SpeedConstant(speed, constant, custom)) return kUnsupportedSpeed;
  if (g_link.fd >= 0) {  // a second open without a close: drop the old handle
    ReleaseResidency();
    CloseDescriptor(g_link.fd);
    g_link.fd = -1;
  }

  const std::string path = DevicePath(port_name);
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return kPortRefused;
  // flock keeps out a second program even for root, whom TIOCEXCL lets through.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return kPortRefused;
  }
  ::ioctl(fd, TIOCEXCL);

  termios settings{};
  bool accepted = ::tcgetattr(fd, &settings) == 0;
  if (accepted) {
    cfmakeraw(&settings);
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);  // DC1/DC3 are data here
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
    settings.c_cflag |= CS8 | CSTOPB | CREAD;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    accepted = ::cfsetispeed(&settings, constant) == 0 && ::cfsetospeed(&settings, constant) == 0;
    // The input speed follows the output speed; the driver keeps the input bits
    // of an earlier BOTHER speed across opens, which would split the speeds.
    settings.c_cflag &= ~static_cast<tcflag_t>(CIBAUD);
    accepted = accepted && ::tcsetattr(fd, TCSANOW, &settings) == 0;
  }
  if (accepted && custom) accepted = detail::SetCustomSpeed(fd, speed);
  if (!accepted) {
    CloseDescriptor(fd);
    return kSettingsRefused;
  }
  // Reads wait in poll(); writes block until the driver has taken every byte.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);

  int line = TIOCM_DTR;
  ::ioctl(fd, TIOCMBIS, &line);  // DTR first, then RTS; a pseudo-terminal refuses both
  line = TIOCM_RTS;
  ::ioctl(fd, TIOCMBIC, &line);

  g_link.fd = fd;
  g_link.resident = ::mlock(&g_link, sizeof g_link) == 0;
  return kPortOpened;
}

std::string PortDevicePath(std::string_view port_name) { return DevicePath(port_name); }

bool SupportedSpeed(int speed) {
  speed_t constant;
  bool custom;
  return SpeedConstant(speed, constant, custom);
}

int ClosePort() {
  ReleaseResidency();
  if (g_link.fd < 0) return -1;
  Write(ReleaseSequence());
  ::tcdrain(g_link.fd);
  ::ioctl(g_link.fd, TIOCNXCL);
  const int closed = ::close(g_link.fd);
  g_link.fd = -1;
  return closed == 0 ? 1 : -1;
}

int PollStation(int network_number) {
  if (network_number < 1 || network_number > 99) return kBadNetworkNumber;
  const std::string select = SelectSequence(network_number);
  for (int attempt = 0; attempt < kPollAttempts; ++attempt) {
    Write(select);
    std::uint8_t first = 0;
    if (!ReadByte(first)) continue;
    if (first != kStartByte) {
      DiscardUntilQuiet();
      continue;
    }
    CheckRegister unused;  // the status line is not verified
    if (ReadLineBody(unused) != LineEnd::kComplete) continue;
    Write(AckSequence());
    return 0;
  }
  Write(ReleaseSequence());
  return kNoLink;
}

int RequestF(int network_number, std::string_view request_text, int mode, bool convert) {
  if (mode != 0 && mode != 1) return kBadMode;
  return Exchange(Command::kF, network_number, request_text, convert);
}

int RequestB(int network_number, std::string_view request_text, int /*mode*/, bool convert) {
  return Exchange(Command::kB, network_number, request_text, convert);
}

const std::array<std::uint8_t, kReplyBufferSize>& ReplyBuffer() { return g_link.reply; }

std::string_view ReplyText() {
  const auto* begin = reinterpret_cast<const char*>(g_link.reply.data());
  std::string_view all(begin, g_link.reply.size());
  const std::size_t cr = all.find('\r');
  return cr == std::string_view::npos ? all : all.substr(0, cr);
}

void SetTraceSink(TraceSink sink) { g_link.trace = std::move(sink); }

void SetWaitFunction(WaitFunction wait) { g_link.wait = std::move(wait); }

void SetReadTimeout(int ms) { g_link.read_timeout_ms = ms > 0 ? ms : kReadTimeoutMs; }

void Wait(int ms) {
  if (g_link.wait) g_link.wait(ms);
  else std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace tallyglass::link

// The register emulator's serving thread: a byte-driven parser of the
// program's sequences and frames, and the register's answers.
#include "emulator/emulator.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "emulator/line_speed.h"
#include "link/frame.h"
#include "text/base64.h"

namespace tallyglass::emulator {
namespace {

using link::kAck;
using link::kEndByte;
using link::kFillByte;
using link::kReleaseByte;
using link::kSelectByte;
using link::kStartByte;

constexpr std::size_t kLongestFrameText = 400;  // beyond this a frame is dropped
constexpr std::size_t kOverlongText = 2000;
constexpr char kRefusal = 0x15;
constexpr int kFrameGapMs = 1000;  // a frame or sequence broken off this long is forgotten

void MakeRaw(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return;
  cfmakeraw(&t);
  tcsetattr(fd, TCSANOW, &t);
}

// The line as the register sends it: 0x0A, the text, 0x0D, the check bytes.
std::string Line(std::string_view text, Fault fault) {
  std::string body;
  if (fault == Fault::kFillBytes) {
    for (const char c : text) {
      body.push_back(c);
      body.push_back(static_cast<char>(kFillByte));
    }
  } else {
    body.assign(text);
  }
  body.push_back(static_cast<char>(kEndByte));
  std::uint16_t check = link::FrameCheck(body);
  if (fault == Fault::kHiddenDamage && text.size() >= 32) {
    body[0] = static_cast<char>(body[0] ^ 0x80);    // bit 0, counted from the first byte's top
    body[31] = static_cast<char>(body[31] ^ 0x01);  // bit 255
  }
  if (fault == Fault::kBadCheckValue) check ^= 0x5A5A;
  if (fault == Fault::kOneCheckByteWrong) check ^= 0x005A;
  std::string line(1, static_cast<char>(kStartByte));
  line += body;
  line.push_back(static_cast<char>(check >> 8));
  line.push_back(static_cast<char>(check & 0xFF));
  return line;
}

// Reads "v;" fields from `text`; false when the text is not exactly that.
bool Fields(std::string_view text, int* values, int count, std::size_t width) {
  for (int i = 0; i < count; ++i) {
    const std::size_t semicolon = text.find(';');
    if (semicolon == std::string_view::npos || semicolon == 0) return false;
    if (width != 0 && semicolon != width) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + semicolon, values[i]);
    if (error != std::errc() || end != text.data() + semicolon) return false;
    text.remove_prefix(semicolon + 1);
  }
  return text.empty();
}

std::string TwoDigits(int v) {
  return std::string{static_cast<char>('0' + v / 10 % 10), static_cast<char>('0' + v % 10)};
}

bool AppliesToPoll(Fault fault) {
  return fault == Fault::kSilence || fault == Fault::kWrongFirstByte ||
         fault == Fault::kFillBytes || fault == Fault::kOverlongReply ||
         fault == Fault::kCloseLine;
}

struct FaultNameEntry {
  Fault fault;
  const char* name;
};
constexpr FaultNameEntry kFaultNames[] = {
    {Fault::kRefuseFrame, "refuse-frame"},     {Fault::kErrorReply, "error-reply"},
    {Fault::kBadCheckValue, "bad-check"},      {Fault::kOneCheckByteWrong, "one-check-byte"},
    {Fault::kFillBytes, "fill-bytes"},         {Fault::kSilence, "silence"},
    {Fault::kAckOnly, "ack-only"},             {Fault::kCutReply, "cut-reply"},
    {Fault::kOverlongReply, "overlong-reply"}, {Fault::kWrongFirstByte, "wrong-first-byte"},
    {Fault::kCloseLine, "close-line"},         {Fault::kHiddenDamage, "hidden-damage"},
};

}  // namespace

const char* FaultName(Fault fault) {
  for (const auto& entry : kFaultNames)
    if (entry.fault == fault) return entry.name;
  return "none";
}

std::optional<Fault> FaultFromName(std::string_view name) {
  for (const auto& entry : kFaultNames)
    if (name == entry.name) return entry.fault;
  return std::nullopt;
}

std::string FaultNames() {
  std::string names;
  for (const auto& entry : kFaultNames) {
    if (!names.empty()) names += ", ";
    names += entry.name;
  }
  return names;
}

RegisterEmulator::RegisterEmulator(std::vector<Document> documents, Options options)
    : documents_(std::move(documents)), options_(std::move(options)) {}

RegisterEmulator::RegisterEmulator(std::string_view journal, Options options)
    : RegisterEmulator(SplitJournal(journal), std::move(options)) {}

RegisterEmulator::~RegisterEmulator() { Stop(); }

bool RegisterEmulator::Start(std::string* error) {
  auto fail = [&](const char* what) {
    if (error) *error = std::string(what) + ": " + std::strerror(errno);
    Stop();
    return false;
  };
  if (thread_.joinable()) return true;
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) return fail("cannot open a pseudo-terminal");
  if (grantpt(master_) != 0 || unlockpt(master_) != 0) return fail("cannot unlock the pseudo-terminal");
  std::array<char, 128> name{};
  if (ptsname_r(master_, name.data(), name.size()) != 0) return fail("cannot name the pseudo-terminal");
  device_path_ = name.data();
  port_name_ = device_path_.rfind("/dev/", 0) == 0 ? device_path_.substr(5) : device_path_;
  slave_ = ::open(device_path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (slave_ < 0) return fail("cannot open the pseudo-terminal's port");
  MakeRaw(slave_);  // no echo of our own answers before the program sets the line up
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) return fail("cannot make a pipe");
  {
    std::lock_guard lock(mutex_);
    closed_ = false;
  }
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void RegisterEmulator::Stop() {
  if (thread_.joinable()) {
    const char stop = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_[1], &stop, 1);
    thread_.join();
  }
  for (int* fd : {&master_, &slave_, &wake_[0], &wake_[1]}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

void RegisterEmulator::SetFault(Event::Kind kind, int index, Fault fault) {
  std::lock_guard lock(mutex_);
  planned_[{kind, index}] = fault;
}

void RegisterEmulator::SetFaultCallback(std::function<Fault(const Event&)> pick) {
  std::lock_guard lock(mutex_);
  pick_ = std::move(pick);
}

void RegisterEmulator::SetRandomFaults(std::uint32_t seed, double probability,
                                       std::vector<Fault> faults) {
  std::lock_guard lock(mutex_);
  random_.seed(seed);
  random_probability_ = probability;
  random_faults_ = std::move(faults);
}

void RegisterEmulator::SetNoise(double rate, std::uint32_t seed) {
  std::lock_guard lock(mutex_);
  noise_rate_ = rate;
  noise_in_.seed(seed);
  noise_out_.seed(seed ^ 0x5DEECE66Du);
}

std::uint64_t RegisterEmulator::NoiseDamage() const {
  std::lock_guard lock(mutex_);
  return noise_damage_;
}

std::string RegisterEmulator::Spoil(std::string_view bytes, std::mt19937& random) {
  std::lock_guard lock(mutex_);
  if (noise_rate_ <= 0) return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() + 4);
  std::uniform_real_distribution<double> chance(0, 1);
  for (const char c : bytes) {
    // Every draw is made for every byte, so the damage depends on the seed
    // and the byte count alone.
    const bool hit = chance(random) < noise_rate_;
    const unsigned kind = random() % 4;
    const auto other = static_cast<char>(random() & 0xFF);
    const unsigned bit = random() % 8;
    if (!hit) {
      out.push_back(c);
      continue;
    }
    ++noise_damage_;
    switch (kind) {
      case 0: out.push_back(static_cast<char>(c ^ (1u << bit))); break;  // a bit flipped
      case 1: break;                                                     // dropped
      case 2: out.append(2, c); break;                                   // doubled
      default: out.push_back(other); out.push_back(c); break;           // a byte put before it
    }
  }
  return out;
}

void RegisterEmulator::ClearFaults() {
  std::lock_guard lock(mutex_);
  pick_ = nullptr;
  planned_.clear();
  random_faults_.clear();
  random_probability_ = 0;
}

std::string RegisterEmulator::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

std::string RegisterEmulator::Sent() const {
  std::lock_guard lock(mutex_);
  return sent_;
}

void RegisterEmulator::ClearRecords() {
  std::lock_guard lock(mutex_);
  received_.clear();
  sent_.clear();
}

bool RegisterEmulator::WaitForReceived(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return received_cv_.wait_for(lock, timeout, [&] { return received_.size() >= count; });
}

int RegisterEmulator::PollsAnswered() const {
  std::lock_guard lock(mutex_);
  return polls_;
}

int RegisterEmulator::FramesReceived() const {
  std::lock_guard lock(mutex_);
  return frames_;
}

bool RegisterEmulator::LineClosed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

Fault RegisterEmulator::Pick(Event::Kind kind, int index, const std::string& request) {
  std::function<Fault(const Event&)> pick;
  {
    std::lock_guard lock(mutex_);
    pick = pick_;
    if (!pick) {
      if (const auto it = planned_.find({kind, index}); it != planned_.end()) return it->second;
      if (random_faults_.empty() || random_probability_ <= 0) return Fault::kNone;
      // Both draws are made for every event, so the sequence depends on the seed alone.
      const double draw = std::uniform_real_distribution<double>(0, 1)(random_);
      const Fault fault = random_faults_[std::uniform_int_distribution<std::size_t>(
          0, random_faults_.size() - 1)(random_)];
      if (draw >= random_probability_) return Fault::kNone;
      if (kind == Event::kPoll && !AppliesToPoll(fault)) return Fault::kNone;
      if (kind == Event::kFrame && fault == Fault::kWrongFirstByte) return Fault::kNone;
      return fault;
    }
  }
  return pick(Event{kind, index, request});
}

void RegisterEmulator::Serve() {
  // Pacing sleeps to the byte: no timer slack on this thread.
  ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  std::array<std::uint8_t, 512> buffer;
  for (;;) {
    pollfd fds[2] = {{master_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    const int r = ::poll(fds, 2, parse_ == Parse::kIdle ? -1 : kFrameGapMs);
    if (r < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents != 0) return;
    if (r == 0) {
      parse_ = Parse::kIdle;
      continue;
    }
    if ((fds[0].revents & POLLIN) == 0) {
      // Nothing to read but an error state: wait for the stop request only.
      pollfd wake{wake_[0], POLLIN, 0};
      ::poll(&wake, 1, 20);
      if (wake.revents != 0) return;
      continue;
    }
    const ssize_t n = ::read(master_, buffer.data(), buffer.size());
    if (n <= 0) continue;
    const auto now = std::chrono::steady_clock::now();
    const std::string_view chunk(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(n));
    {
      std::lock_guard lock(mutex_);
      received_.append(chunk);
    }
    received_cv_.notify_all();
    for (std::size_t i = 0; i < chunk.size(); ++i) {
      if (options_.baud > 0) {
        const auto byte_time = std::chrono::nanoseconds(11'000'000'000LL / options_.baud);
        received_until_ = std::max(received_until_, now) + byte_time;
      }
      for (const char c : Spoil(chunk.substr(i, 1), noise_in_))
        if (!Feed(static_cast<std::uint8_t>(c))) return;
    }
  }
}

bool RegisterEmulator::Feed(std::uint8_t byte) {
  switch (parse_) {
    case Parse::kIdle:
      break;
    case Parse::kSelect1:
      parse_ = Parse::kIdle;
      if (byte == kSelectByte) {
        parse_ = Parse::kDigit1;
        return true;
      }
      break;
    case Parse::kDigit1:
      if (byte == kSelectByte) return true;
      parse_ = Parse::kIdle;
      if (byte >= '0' && byte <= '9') {
        digit_ = byte - '0';
        parse_ = Parse::kDigit2;
        return true;
      }
      break;
    case Parse::kDigit2:
      parse_ = Parse::kIdle;
      if (byte >= '0' && byte <= '9') {
        selected_ = digit_ * 10 + (byte - '0') == options_.case_number;
        return selected_ ? AnswerPoll() : true;  // another station: silence
      }
      break;
    case Parse::kRelease1:
      parse_ = Parse::kIdle;
      if (byte == kReleaseByte) {
        selected_ = false;
        return true;
      }
      break;
    case Parse::kText:
      if (byte == kEndByte) parse_ = Parse::kCheck1;
      else if (text_.size() >= kLongestFrameText) parse_ = Parse::kIdle;
      else text_.push_back(static_cast<char>(byte));
      return true;
    case Parse::kCheck1:
      check_high_ = byte;
      parse_ = Parse::kCheck2;
      return true;
    case Parse::kCheck2:
      parse_ = Parse::kIdle;
      return AnswerFrame(byte);
  }
  if (byte == kSelectByte) {
    parse_ = Parse::kSelect1;
  } else if (byte == kReleaseByte) {
    parse_ = Parse::kRelease1;
  } else if (byte == kStartByte && selected_) {
    text_.clear();
    parse_ = Parse::kText;
  }
  return true;  // fill bytes, the program's ACK and anything else are passed over
}

bool RegisterEmulator::HearsLine() const {
  return options_.line_speed <= 0 || detail::LineSpeed(slave_) == options_.line_speed;
}

bool RegisterEmulator::AnswerPoll() {
  if (!HearsLine()) return true;
  int index;
  {
    std::lock_guard lock(mutex_);
    index = polls_++;
  }
  const Fault fault = Pick(Event::kPoll, index, {});
  if (fault == Fault::kCloseLine) {
    CloseLine();
    return false;
  }
  if (fault == Fault::kSilence) return true;
  std::string line = Line(fault == Fault::kOverlongReply ? std::string(kOverlongText, 'A')
                                                         : options_.status,
                          fault);
  if (fault == Fault::kWrongFirstByte) line[0] = 0x0B;
  Send(line);
  return true;
}

bool RegisterEmulator::AnswerFrame(std::uint8_t check_low) {
  if (!HearsLine()) return true;
  int index;
  {
    std::lock_guard lock(mutex_);
    index = frames_++;
  }
  const Fault fault = Pick(Event::kFrame, index, text_);
  if (fault == Fault::kCloseLine) {
    CloseLine();
    return false;
  }
  if (fault == Fault::kSilence) return true;
  std::string frame_check = text_;
  frame_check.push_back(static_cast<char>(kEndByte));
  const bool intact = link::FrameCheck(frame_check) == ((check_high_ << 8) | check_low);
  if (!intact || fault == Fault::kRefuseFrame) {
    Send(std::string(1, kRefusal));
    return true;
  }
  std::string answer(1, static_cast<char>(kAck));
  if (fault != Fault::kAckOnly) {
    std::string text = fault == Fault::kErrorReply      ? std::string("E;")
                       : fault == Fault::kOverlongReply ? std::string(kOverlongText, 'A')
                                                        : Answer(text_);
    std::string line = Line(text, fault);
    if (fault == Fault::kCutReply) line.resize(1 + text.size() / 2);
    answer += line;
  }
  Send(answer);
  return true;
}

std::string RegisterEmulator::Answer(std::string_view frame_text) const {
  static const std::string kEnd = "D;";
  static const std::string kError = "E;";
  if (frame_text.rfind("B;", 0) == 0) {
    int v[3];
    if (!Fields(frame_text.substr(2), v, 3, 0) || v[2] < 0) return kError;
    for (const Document& d : documents_) {
      if (d.class_code != v[0] || d.number != v[1]) continue;
      const std::size_t from = static_cast<std::size_t>(v[2]) * kPartSize;
      if (from >= d.bytes.size()) return kEnd;
      return EncodeBase64(std::string_view(d.bytes).substr(from, kPartSize));
    }
    return kEnd;
  }
  if (frame_text.rfind("F;", 0) == 0) {
    // dd;mm;yy;hh;mm; of the start, then of the end; the end minute is whole.
    int v[10];
    if (!Fields(frame_text.substr(2), v, 10, 2)) return kError;
    auto stamp = [](const int* f, const char* seconds) {
      return "20" + TwoDigits(f[2]) + TwoDigits(f[1]) + TwoDigits(f[0]) + TwoDigits(f[3]) +
             TwoDigits(f[4]) + seconds;
    };
    const std::string from = stamp(v, "00");
    const std::string to = stamp(v + 5, "59");
    int first = -1;
    int last = -1;
    for (const Document& d : documents_) {
      if (d.class_code != kReceiptClass || d.number < 0 || d.time_stamp.size() != 14) continue;
      if (d.time_stamp < from || d.time_stamp > to) continue;
      first = first < 0 ? d.number : std::min(first, d.number);
      last = std::max(last, d.number);
    }
    if (first < 0) return "0;0;";  // no receipt in the period
    return std::to_string(first) + ";" + std::to_string(last) + ";";
  }
  return kError;
}

void RegisterEmulator::Send(std::string_view intended) {
  {
    std::lock_guard lock(mutex_);
    sent_.append(intended);
  }
  const std::string spoilt = Spoil(intended, noise_out_);
  const std::string_view bytes = spoilt;
  auto write_all = [this](const char* data, std::size_t size) {
    while (size > 0) {
      const ssize_t n = ::write(master_, data, size);
      if (n > 0) {
        data += n;
        size -= static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN) return false;
      pollfd fds[2] = {{master_, POLLOUT, 0}, {wake_[0], POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0 && errno != EINTR) return false;
      if (fds[1].revents != 0) return false;
    }
    return true;
  };
  if (options_.baud <= 0) {
    write_all(bytes.data(), bytes.size());
    return;
  }
  // Each byte is handed over when its last bit would have arrived on the wire.
  const auto byte_time = std::chrono::nanoseconds(11'000'000'000LL / options_.baud);
  const auto start = std::max({std::chrono::steady_clock::now(), received_until_, sent_until_});
  std::size_t done = 0;
  while (done < bytes.size()) {
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const auto whole_bytes = elapsed < elapsed.zero() ? 0 : elapsed / byte_time;
    const std::size_t due = std::min<std::size_t>(bytes.size(), static_cast<std::size_t>(whole_bytes));
    if (due > done) {
      if (!write_all(bytes.data() + done, due - done)) return;
      done = due;
    } else {
      std::this_thread::sleep_until(start + byte_time * static_cast<long>(done + 1));
    }
  }
  sent_until_ = start + byte_time * static_cast<long>(bytes.size());
}

void RegisterEmulator::CloseLine() {
  // Marked first, so that whoever sees the line hang up also sees it closed.
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  // The serving thread owns the descriptors; Stop() finds them closed.
  ::close(master_);
  ::close(slave_);
  master_ = -1;
  slave_ = -1;
}

}  // namespace tallyglass::emulator

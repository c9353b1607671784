#pragma once
// A cash register on a pseudo-terminal: it answers the station poll, accepts
// request frames and serves a journal's documents, for tests, demos and users
// without a register. Runs on its own thread; the program under test opens
// PortName() with link::OpenPort like any serial port.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "link/protocol.h"

namespace tallyglass::emulator {

// Class codes of the "B" request.
inline constexpr int kZReportClass = kClassZ;
inline constexpr int kReceiptClass = kClassCheck;

// One journal document: the bytes from "<DAT" to the end of its "</MAC>".
struct Document {
  int class_code = kReceiptClass;  // kZReportClass for a document with a Z element
  int number = -1;                 // E "NO" or Z "NO"; -1 when it has none
  std::string time_stamp;          // fourteen digits from the TS element (or E "TS")
  std::string bytes;
};

// Splits a journal in the collected form (declaration, <RQ V="1">, documents,
// </RQ>) into its documents, byte for byte.
std::vector<Document> SplitJournal(std::string_view journal);

// What the emulator does wrong at one poll or one request frame.
enum class Fault {
  kNone,
  kRefuseFrame,     // frame: a byte other than ACK instead of ACK
  kErrorReply,      // frame: ACK, then the reply text "E;"
  kBadCheckValue,   // both check bytes wrong (the link's register ends with both non-zero)
  kOneCheckByteWrong,  // only the low check byte wrong (the register still passes it)
  kFillBytes,       // 0xFF after every text byte of the line; the check value covers them
  kSilence,         // no answer at all
  kAckOnly,         // frame: ACK and then nothing
  kCutReply,        // frame: ACK, start byte and half the text, then nothing
  kOverlongReply,   // a line of 2000 text bytes with a correct check value
  kWrongFirstByte,  // poll: the status line starts with 0x0B instead of 0x0A
  kCloseLine,       // close the pseudo-terminal instead of answering ("the register is gone")
  kHiddenDamage,    // frame: two bits of the reply text flipped 255 bits apart, which the
                    // check value cannot see (its generator's order is 255); the first
                    // makes a character outside Base64, so the piece decodes short
};

// The command line's names of the faults ("refuse-frame", "silence", ...),
// one for each kind but kNone, and back; nothing for an unknown name.
const char* FaultName(Fault fault);
std::optional<Fault> FaultFromName(std::string_view name);
// Every name, comma-separated, for messages and help.
std::string FaultNames();

struct Event {
  enum Kind { kPoll, kFrame } kind = kPoll;
  int index = 0;        // counted from 0, separately for polls and for frames
  std::string request;  // a frame's text as received (empty for a poll)
};

struct EmulatorOptions {
  int case_number = 1;  // the network number it answers to
  std::string status = "ZENTA1 EMULATOR";
  int baud = 0;  // > 0: every byte sent and received takes 11 bits at this speed
  // > 0: answer only while the program has set the line to this speed, as a
  // register hears nothing but noise at any other; 0 answers at every speed.
  int line_speed = 0;
};

class RegisterEmulator {
 public:
  using Options = EmulatorOptions;

  explicit RegisterEmulator(std::vector<Document> documents, Options options);
  explicit RegisterEmulator(std::string_view journal, Options options = Options{});
  ~RegisterEmulator();  // stops
  RegisterEmulator(const RegisterEmulator&) = delete;
  RegisterEmulator& operator=(const RegisterEmulator&) = delete;

  // Opens the pseudo-terminal and starts serving; false with a message on failure.
  bool Start(std::string* error = nullptr);
  void Stop();
  // The name for link::OpenPort, such as "pts/7"; DevicePath() is "/dev/pts/7".
  const std::string& PortName() const { return port_name_; }
  const std::string& DevicePath() const { return device_path_; }
  const std::vector<Document>& Documents() const { return documents_; }

  // Fault injection. A callback, when set, decides every event; otherwise the
  // faults set for given indices, then the random mode.
  void SetFault(Event::Kind kind, int index, Fault fault);
  void SetFaultCallback(std::function<Fault(const Event&)> pick);
  // Each event goes wrong with `probability`, with a fault drawn from `faults`
  // (those that do not apply to a poll leave polls alone); seeded, so repeatable.
  void SetRandomFaults(std::uint32_t seed, double probability, std::vector<Fault> faults);
  void ClearFaults();
  // A noisy line: each byte, in both directions, is spoilt with `rate`
  // (0 to 1) — a bit flipped, the byte dropped, doubled, or a random byte put
  // before it — as a poor cable or a noisy adapter does. Seeded: the damage
  // follows the seed and the bytes alone, not timing. Received() and Sent()
  // keep the bytes as each side sent them, before the damage.
  void SetNoise(double rate, std::uint32_t seed);
  // How many bytes the noise has spoilt so far, both directions.
  std::uint64_t NoiseDamage() const;

  // Every byte received from the program and sent to it, in order.
  std::string Received() const;
  std::string Sent() const;
  void ClearRecords();
  // Waits until at least `count` bytes have been received in all (since the
  // last ClearRecords); false at the deadline.
  bool WaitForReceived(std::size_t count, std::chrono::milliseconds timeout) const;
  int PollsAnswered() const;
  int FramesReceived() const;
  bool LineClosed() const;

 private:
  enum class Parse { kIdle, kSelect1, kDigit1, kDigit2, kRelease1, kText, kCheck1, kCheck2 };
  using TimePoint = std::chrono::steady_clock::time_point;

  void Serve();
  bool Feed(std::uint8_t byte);  // false when the line was closed
  bool HearsLine() const;  // the program's line speed is ours (or we take any)
  bool AnswerPoll();
  bool AnswerFrame(std::uint8_t check_low);
  std::string Answer(std::string_view frame_text) const;
  Fault Pick(Event::Kind kind, int index, const std::string& request);
  void Send(std::string_view bytes);
  void CloseLine();
  // The bytes as the other end gets them through the noise.
  std::string Spoil(std::string_view bytes, std::mt19937& random);

  std::vector<Document> documents_;
  Options options_;
  std::string port_name_;
  std::string device_path_;
  int master_ = -1;
  int slave_ = -1;     // held open so the master never sees a hang-up between programs
  int wake_[2] = {-1, -1};
  std::thread thread_;

  // Serving thread only.
  Parse parse_ = Parse::kIdle;
  bool selected_ = false;
  int digit_ = 0;
  std::string text_;
  std::uint8_t check_high_ = 0;
  TimePoint received_until_{};  // when the last byte read has fully arrived on the wire
  TimePoint sent_until_{};

  mutable std::mutex mutex_;
  mutable std::condition_variable received_cv_;
  std::string received_;
  std::string sent_;
  int polls_ = 0;
  int frames_ = 0;
  bool closed_ = false;
  std::function<Fault(const Event&)> pick_;
  std::map<std::pair<int, int>, Fault> planned_;
  std::vector<Fault> random_faults_;
  double random_probability_ = 0;
  std::mt19937 random_;
  double noise_rate_ = 0;
  std::mt19937 noise_in_, noise_out_;  // one per direction
  std::uint64_t noise_damage_ = 0;
};

}  // namespace tallyglass::emulator

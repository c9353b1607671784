#pragma once
// The device link: one serial port per process, held in module-level state,
// and the exchanges with the register. Every call answers with a result code;
// nothing is shown to the user here.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tallyglass::link {

// OpenPort results.
inline constexpr int kPortOpened = 1;
inline constexpr int kUnsupportedSpeed = -2;
inline constexpr int kPortRefused = -3;      // absent, or held by another program
inline constexpr int kSettingsRefused = -5;  // the port is closed again

// Results of the request exchanges; positive values are the length of the frame sent.
inline constexpr int kNoLink = -1;  // the register did not answer its poll
inline constexpr int kBadNetworkNumber = -2;
inline constexpr int kBadMode = -10;
inline constexpr int kFellSilent = -12;
inline constexpr int kErrorReply = -15;
inline constexpr int kBadCheckValue = -1000;
// The link's own results, for faults the register protocol leaves open:
// the tenth attempt ended with the frame refused, so no reply to the request
// was read (ReplyBuffer holds the last poll's status text); EndSequence written.
inline constexpr int kAllRefused = -16;
// The reply text did not fit ReplyBuffer; the line was read to its end (CR and
// both check bytes) and ReleaseSequence written. The buffer holds the first
// kReplyBufferSize - 1 bytes of the text and no CR.
inline constexpr int kReplyTooLong = -17;
// The frame text is longer than 196 bytes or holds 0x00 or 0x0D; nothing was sent.
inline constexpr int kBadRequestText = -18;

inline constexpr std::size_t kReplyBufferSize = 1644;

// Port names: "COMn" is /dev/ttyS(n-1), a name beginning with "/" is a path,
// any other name lies under /dev/ ("ttyUSB0", "pts/3"). After kSettingsRefused
// the port is closed again, so a later OpenPort of it can succeed.
int OpenPort(std::string_view port_name, int speed);
// The device file OpenPort opens for a port name ("COM1" is "/dev/ttyS0").
std::string PortDevicePath(std::string_view port_name);
// Whether OpenPort takes this speed (bit/s).
bool SupportedSpeed(int speed);
// 1 when the port was closed, -1 otherwise (also when none was open).
int ClosePort();
// 0 when the register answered with a status line (then in ReplyBuffer),
// kNoLink after five failed attempts, kBadNetworkNumber (nothing sent) for a
// number outside 1..99.
int PollStation(int network_number);
int RequestF(int network_number, std::string_view request_text, int mode, bool convert);
int RequestB(int network_number, std::string_view request_text, int mode, bool convert);

// The last reply line's text and its CR; bytes after the CR are left over.
const std::array<std::uint8_t, kReplyBufferSize>& ReplyBuffer();
// The reply text before its CR (the whole buffer when no CR is in it).
std::string_view ReplyText();

// Every byte written or read, for the service engineer's trace.
using TraceSink = std::function<void(bool sent, const std::uint8_t* bytes, std::size_t count)>;
void SetTraceSink(TraceSink sink);

// The protocol's fixed waits (not the 300 ms read time-out) go through Wait,
// so tests can record them instead of sleeping. An empty function restores
// the real sleep.
using WaitFunction = std::function<void(int ms)>;
void SetWaitFunction(WaitFunction wait);
void Wait(int ms);

// The time one read waits for a byte: 300 ms, as the register needs. A
// shorter one is for measuring against an emulator on this machine, where
// thousands of damaged exchanges would otherwise spend most of their time in
// time-outs; 0 restores 300 ms.
void SetReadTimeout(int ms);

}  // namespace tallyglass::link

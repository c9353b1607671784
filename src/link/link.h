#pragma once
// The device link: one serial port per process, held in module-level state,
// and the exchanges with the register. Every call answers with a result code;
// nothing is shown to the user here.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
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
// (The link's own additions, for faults the register protocol leaves open, are
// declared beside these by the link itself.)

inline constexpr std::size_t kReplyBufferSize = 1644;

int OpenPort(std::string_view port_name, int speed);
int ClosePort();
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

}  // namespace tallyglass::link

#pragma once
// The wire vocabulary of the register's protocol: control bytes, the fixed
// sequences, request frames, the 16-bit check value and the conversion of
// outgoing text into the register's 7-bit character set. Pure functions only.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tallyglass::link {

inline constexpr std::uint8_t kStartByte = 0x0A;  // first byte of a frame and a reply line
inline constexpr std::uint8_t kEndByte = 0x0D;    // ends the text; two check bytes follow
inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kSelectByte = 0x11;   // sent twice, then the network number
inline constexpr std::uint8_t kReleaseByte = 0x13;  // sent twice
inline constexpr std::uint8_t kFillByte = 0xFF;     // dropped wherever it is received

// Longest frame text: the frame is built in a 200-byte area.
inline constexpr std::size_t kMaxFrameText = 196;

// Check value of a byte string: the register H:L after every byte and two more
// zero steps (CRC-16, generator 0x8001, MSB first, initial 0, no final XOR).
// The high byte goes first on the line.
std::uint16_t FrameCheck(std::string_view bytes);

// 0x0A, the text, 0x0D, then FrameCheck(text + 0x0D) high byte first:
// text.size() + 4 bytes.
std::string BuildFrame(std::string_view frame_text);

// The check computation one byte at a time, for verifying a reply line: fed
// every byte after the start byte (fill bytes, the 0x0D and both check bytes
// included), an undamaged line leaves both bytes zero.
class CheckRegister {
 public:
  void reset() { high_ = 0; low_ = 0; }
  void feed(std::uint8_t byte);
  std::uint8_t high() const { return high_; }
  std::uint8_t low() const { return low_; }
  // An undamaged line always ends at 00 00, so anything else is refused. (The
  // register family's own rule, refusing only when both bytes are non-zero,
  // passes most single-bit errors near the end of a line: one bit leaves a
  // sparse remainder with one byte zero.)
  bool refuses() const { return high_ != 0 || low_ != 0; }

 private:
  std::uint8_t high_ = 0;
  std::uint8_t low_ = 0;
};

// Windows-1251 text to the register's character set, byte for byte. Applying
// it twice is wrong: the Cyrillic output range 0x60-0x7F would be remapped.
std::string ToDeviceText(std::string_view text);

// The fixed sequences.
std::string LeadIn();                            // 11 x FF
std::string SelectSequence(int network_number);  // 10 x FF, 11 11, two digits, 10 x FF
std::string AckSequence();                       // 3 x FF, 06, 3 x FF
std::string ReleaseSequence();                   // 8 x FF, 13 13, 8 x FF
std::string EndSequence();                       // 10 x FF, 13 13, 15 x FF

}  // namespace tallyglass::link

#include "link/frame.h"

#include <array>

namespace tallyglass::link {
namespace {

// p(H) = H ^ H>>1 ^ ... ^ H>>7: bit j is the parity of bits j..7 of H.
constexpr std::array<std::uint8_t, 256> MakeParityTable() {
  std::array<std::uint8_t, 256> table{};
  for (unsigned h = 0; h < 256; ++h) {
    unsigned t = h;
    for (int i = 0; i < 7; ++i) t = (t >> 1) ^ h;
    table[h] = static_cast<std::uint8_t>(t);
  }
  return table;
}
constexpr std::array<std::uint8_t, 256> kParity = MakeParityTable();

inline void Step(std::uint8_t& high, std::uint8_t& low, std::uint8_t c) {
  const std::uint8_t p = kParity[high];
  high = static_cast<std::uint8_t>(low ^ ((p & 1u) << 7));
  low = static_cast<std::uint8_t>(c ^ p);
}

constexpr std::array<std::uint8_t, 256> MakeDeviceTable() {
  std::array<std::uint8_t, 256> t{};
  for (unsigned c = 0; c < 256; ++c) {
    std::uint8_t out = 0x20;
    if (c <= 0x5F) {
      out = static_cast<std::uint8_t>(c);
    } else if (c == 0x60) {
      out = 0x20;
    } else if (c <= 0x7F) {
      out = static_cast<std::uint8_t>(c - 0x20);
    } else if (c <= 0xBF) {
      if (c == 0xAA || c == 0xBA) out = 0x5D;       // Є є
      else if (c == 0xAF || c == 0xBF) out = 0x5C;  // Ї ї
      else if (c == 0xB2 || c == 0xB3) out = 0x5B;  // І і
    } else {
      const unsigned letter = c & 0x1F;  // А..Я and а..я share their position
      if (letter <= 0x1A) out = static_cast<std::uint8_t>(0x60 + letter);
      else if (letter == 0x1B) out = 0x7E;  // Ы
      else if (letter == 0x1C) out = 0x7B;  // Ь
      else if (letter == 0x1D) out = 0x7F;  // Э
      else if (letter == 0x1E) out = 0x7C;  // Ю
      else out = 0x7D;                      // Я
    }
    t[c] = out;
  }
  return t;
}
constexpr std::array<std::uint8_t, 256> kDevice = MakeDeviceTable();

std::string Fill(std::size_t n) { return std::string(n, static_cast<char>(kFillByte)); }

}  // namespace

std::uint16_t FrameCheck(std::string_view bytes) {
  std::uint8_t high = 0;
  std::uint8_t low = 0;
  for (const char c : bytes) Step(high, low, static_cast<std::uint8_t>(c));
  Step(high, low, 0);
  Step(high, low, 0);
  return static_cast<std::uint16_t>((high << 8) | low);
}

std::string BuildFrame(std::string_view frame_text) {
  std::string frame;
  frame.reserve(frame_text.size() + 4);
  frame.push_back(static_cast<char>(kStartByte));
  frame.append(frame_text);
  frame.push_back(static_cast<char>(kEndByte));
  const std::uint16_t check = FrameCheck(std::string_view(frame).substr(1));
  frame.push_back(static_cast<char>(check >> 8));
  frame.push_back(static_cast<char>(check & 0xFF));
  return frame;
}

void CheckRegister::feed(std::uint8_t byte) { Step(high_, low_, byte); }

std::string ToDeviceText(std::string_view text) {
  std::string out(text.size(), '\0');
  for (std::size_t i = 0; i < text.size(); ++i)
    out[i] = static_cast<char>(kDevice[static_cast<std::uint8_t>(text[i])]);
  return out;
}

std::string LeadIn() { return Fill(11); }

std::string SelectSequence(int network_number) {
  std::string s = Fill(10);
  s.push_back(static_cast<char>(kSelectByte));
  s.push_back(static_cast<char>(kSelectByte));
  s.push_back(static_cast<char>('0' + network_number / 10 % 10));
  s.push_back(static_cast<char>('0' + network_number % 10));
  s += Fill(10);
  return s;
}

std::string AckSequence() { return Fill(3) + static_cast<char>(kAck) + Fill(3); }

std::string ReleaseSequence() {
  return Fill(8) + static_cast<char>(kReleaseByte) + static_cast<char>(kReleaseByte) + Fill(8);
}

std::string EndSequence() {
  return Fill(10) + static_cast<char>(kReleaseByte) + static_cast<char>(kReleaseByte) + Fill(15);
}

}  // namespace tallyglass::link

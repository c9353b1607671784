#include "text/base64.h"

#include <array>
#include <cstdint>

namespace tallyglass {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::int8_t, 256> MakeDecodeTable() {
  std::array<std::int8_t, 256> table{};
  for (auto& v : table) v = -1;
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
  return table;
}
constexpr auto kDecode = MakeDecodeTable();

}  // namespace

std::string DecodeBase64(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 4 * 3 + 2);
  std::uint32_t group = 0;
  int count = 0;
  for (unsigned char c : text) {
    const int v = kDecode[c];
    if (v < 0) break;  // "=" or any other character outside the alphabet
    group = (group << 6) | static_cast<std::uint32_t>(v);
    if (++count == 4) {
      out += static_cast<char>(group >> 16);
      out += static_cast<char>(group >> 8);
      out += static_cast<char>(group);
      group = 0;
      count = 0;
    }
  }
  if (count == 2) {
    out += static_cast<char>(group >> 4);
  } else if (count == 3) {
    out += static_cast<char>(group >> 10);
    out += static_cast<char>(group >> 2);
  }
  return out;
}

std::string EncodeBase64(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t g = (static_cast<unsigned char>(bytes[i]) << 16) |
                            (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                            static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[(g >> 18) & 63];
    out += kAlphabet[(g >> 12) & 63];
    out += kAlphabet[(g >> 6) & 63];
    out += kAlphabet[g & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    std::uint32_t g = static_cast<unsigned char>(bytes[i]) << 16;
    if (rest == 2) g |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    out += kAlphabet[(g >> 18) & 63];
    out += kAlphabet[(g >> 12) & 63];
    out += rest == 2 ? kAlphabet[(g >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

}  // namespace tallyglass

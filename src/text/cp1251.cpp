#include "text/cp1251.h"

#include <array>

namespace tallyglass {
namespace {

// Code points of 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order.
constexpr std::array<char16_t, 64> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

}  // namespace

char32_t Cp1251CodePoint(unsigned char byte) {
  if (byte < 0x80) return byte;
  if (byte >= 0xC0) return 0x0410 + (byte - 0xC0);
  return kHighHalf[byte - 0x80];
}

char CodePointToCp1251(char32_t cp) {
  if (cp < 0x80) return static_cast<char>(cp);
  if (cp >= 0x0410 && cp <= 0x044F) return static_cast<char>(0xC0 + (cp - 0x0410));
  for (std::size_t i = 0; i < kHighHalf.size(); ++i) {
    if (kHighHalf[i] == cp && cp != 0xFFFD) return static_cast<char>(0x80 + i);
  }
  return '?';
}

void AppendCp1251AsUtf8(std::string& out, std::string_view text) {
  // At most three UTF-8 bytes a character: written in place, then cut to length.
  const std::size_t start = out.size();
  out.resize(start + 3 * text.size());
  char* o = out.data() + start;
  for (const unsigned char c : text) {
    const char32_t cp = c == 0x98 ? U'?' : Cp1251CodePoint(c);
    if (cp < 0x80) {
      *o++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
      *o++ = static_cast<char>(0xC0 | (cp >> 6));
      *o++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      *o++ = static_cast<char>(0xE0 | (cp >> 12));
      *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *o++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
}

std::string Cp1251ToUtf8(std::string_view text) {
  std::string out;
  AppendCp1251AsUtf8(out, text);
  return out;
}

void AppendUtf8AsCp1251(std::string& out, std::string_view text) {
  // Never longer than the UTF-8: written in place, then cut to its length.
  const std::size_t start = out.size();
  out.resize(start + text.size());
  char* o = out.data() + start;
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      *o++ = static_cast<char>(c);
      ++i;
      continue;
    }
    int extra = 0;
    char32_t cp = 0;
    char32_t least = 0;  // below it the form is overlong
    if ((c & 0xE0) == 0xC0) {
      extra = 1;
      cp = c & 0x1F;
      least = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      cp = c & 0x0F;
      least = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      cp = c & 0x07;
      least = 0x10000;
    } else {
      *o++ = '?';  // a stray continuation byte or an invalid lead byte
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    bool ok = true;
    for (int k = 0; k < extra; ++k, ++j) {
      if (j >= n || (static_cast<unsigned char>(text[j]) & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (static_cast<unsigned char>(text[j]) & 0x3F);
    }
    // A broken sequence (cut short, or overlong) is one "?" for its lead and
    // the continuation bytes read; a byte that cut it starts the next character.
    *o++ = ok && cp >= least ? CodePointToCp1251(cp) : '?';
    i = j;
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
}

std::string Utf8ToCp1251(std::string_view text) {
  std::string out;
  AppendUtf8AsCp1251(out, text);
  return out;
}

}  // namespace tallyglass

#pragma once
// Text at the Qt boundary: the core's Windows-1251 bytes to QString and back.
#include <QString>
#include <string>
#include <string_view>

#include "text/cp1251.h"

namespace tallyglass {

inline QString ToQt(std::string_view cp1251) {
  QString s(static_cast<qsizetype>(cp1251.size()), Qt::Uninitialized);
  QChar* out = s.data();
  for (unsigned char byte : cp1251) *out++ = QChar(static_cast<char16_t>(Cp1251CodePoint(byte)));
  return s;
}

inline std::string FromQt(const QString& text) {
  std::string out;
  out.reserve(static_cast<std::size_t>(text.size()));
  for (char32_t cp : text.toUcs4()) out += CodePointToCp1251(cp);
  return out;
}

}  // namespace tallyglass

#include "render/compose.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

#include "text/cp1251.h"

namespace tallyglass {
namespace {

void append_number(std::string& out, std::uint64_t n) {
  char buf[24];
  const auto res = std::to_chars(buf, buf + sizeof buf, n);
  out.append(buf, res.ptr);
}

std::string quoted(std::string_view text) {
  std::string out = "\"";
  out += text;
  out += '"';
  return out;
}

}  // namespace

std::string fixed_text(double v, int decimals) {
  static constexpr std::uint64_t kScale[] = {1, 10, 100, 1000};
  if (decimals < 0) decimals = 0;
  if (decimals > 3) decimals = 3;
  if (!std::isfinite(v)) {
    char buf[16];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
  }
  const bool negative = std::signbit(v);
  const double a = std::fabs(v);
  std::string out;
  if (a == 0) {
    out = "0";
    if (decimals > 0) out.append(1, '.').append(static_cast<std::size_t>(decimals), '0');
    return out;
  }
  // a = mant * 2^exp exactly, with mant below 2^53.
  int exp = 0;
  const double frac = std::frexp(a, &exp);
  const auto mant = static_cast<std::uint64_t>(std::ldexp(frac, 53));
  exp -= 53;
  if (exp >= 0) {
    // A whole number of at least 2^52: its digits are exact, the decimals zero.
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::fixed, 0);
    if (negative) out = "-";
    out.append(buf, res.ptr);
    if (decimals > 0) out.append(1, '.').append(static_cast<std::size_t>(decimals), '0');
    return out;
  }
  // q = a * 10^decimals rounded half away from zero, in exact integer steps:
  // mant * 10^decimals stays below 2^63, so adding the half cannot overflow.
  const int shift = -exp;
  const std::uint64_t scaled = mant * kScale[decimals];
  std::uint64_t q = 0;
  if (shift < 64) q = (scaled + (std::uint64_t{1} << (shift - 1))) >> shift;
  if (negative && q != 0) out = "-";
  append_number(out, q / kScale[decimals]);
  if (decimals > 0) {
    out += '.';
    const std::uint64_t rest = q % kScale[decimals];
    std::uint64_t unit = kScale[decimals] / 10;
    for (int i = 0; i < decimals; ++i, unit /= 10) out += static_cast<char>('0' + (rest / unit) % 10);
  }
  return out;
}

std::string amount_text(float x) {
  const float amount = x * 0.01f;  // single precision, as the register computes it
  return fixed_text(amount, 2);
}

std::string rate_text(float x) { return fixed_text(x, 2); }

std::string quantity_text(float x) { return fixed_text(static_cast<double>(x) * 0.001, 3); }

std::string quantity_whole_text(float x) { return fixed_text(static_cast<double>(x) * 0.001, 0); }

std::string integer_text(float x) { return fixed_text(x, 0); }

std::int32_t integer_part(float x) {
  if (std::isnan(x)) return 0;
  if (x >= 2147483648.0f) return std::numeric_limits<std::int32_t>::max();
  if (x <= -2147483648.0f) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(x);
}

int tax_group(std::string_view text) {
  std::string_view digits = text;
  const bool plus = !digits.empty() && digits.front() == '+';
  if (plus) digits.remove_prefix(1);
  int value = 0;
  const char* end = digits.data() + digits.size();
  const auto res = std::from_chars(digits.data(), end, value);
  if (digits.empty() || (plus && digits.front() == '-') || res.ec != std::errc() ||
      res.ptr != end) {
    throw RenderError("tax group " + quoted(text) + " is not an integer");
  }
  return value;
}

const std::string& tax_letter(int group) {
  static const std::array<std::string, 11> kLetters = {
      " ",
      "A",  // the Latin capital A
      Utf8ToCp1251("Б"),
      Utf8ToCp1251("В"),
      Utf8ToCp1251("Г"),
      Utf8ToCp1251("Д"),
      Utf8ToCp1251("Є"),
      Utf8ToCp1251("Ж"),
      Utf8ToCp1251("И"),
      Utf8ToCp1251("Ї"),
      "*",
  };
  static const std::string kOther = Utf8ToCp1251("Много параметров");
  if (group < 0 || group > 10) return kOther;
  return kLetters[static_cast<std::size_t>(group)];
}

std::string place_right(std::string text, std::string_view value, int end_column) {
  if (text.size() < 38) text.append(35, ' ');
  const auto n = static_cast<long>(value.size());
  if (n == 0) return text;
  const long first = static_cast<long>(end_column) - n + 1;
  if (first < 1) {
    throw RenderError("value " + quoted(value) + " (" + std::to_string(n) +
                      " characters) does not fit before column " + std::to_string(end_column));
  }
  if (static_cast<std::size_t>(end_column) > text.size()) {
    throw RenderError("value " + quoted(value) + " would end at column " +
                      std::to_string(end_column) + ", beyond the line's " +
                      std::to_string(text.size()) + " characters");
  }
  text.replace(static_cast<std::size_t>(first - 1), value.size(), value);
  return text;
}

std::string stamp_text(std::string_view stamp, bool with_time) {
  // Characters from 1-based column `from`, as many of `count` as there are.
  const auto part = [stamp](std::size_t from, std::size_t count) {
    return from - 1 < stamp.size() ? stamp.substr(from - 1, count) : std::string_view();
  };
  std::string out;
  out.reserve(17);
  out.append(part(7, 2)).append(1, '.').append(part(5, 2)).append(1, '.').append(part(1, 4));
  out.append("  ");
  if (with_time) out.append(part(9, 2)).append(1, ':').append(part(11, 2));
  return out;
}

void append_separator(Listing& listing) {
  static const std::string kSeparator = "  " + std::string(38, '-');
  listing.push_back(kSeparator);
}

void render_heading(const rq& model, const dat& doc, TaxpayerLine form, Listing& listing) {
  static const std::string kLine1 = Utf8ToCp1251("          ДП \"Компанія ZENTA\"");
  static const std::string kLine2 = Utf8ToCp1251("                м.Київ");
  static const std::string kZn = Utf8ToCp1251("     ЗН ");
  static const std::string kFn = Utf8ToCp1251("  ФН ");
  listing.push_back(kLine1);
  listing.push_back(kLine2);
  switch (form) {
    case TaxpayerLine::indented:
      listing.push_back(std::string(11, ' ') + doc.TN);
      break;
    case TaxpayerLine::flush:
      listing.push_back(doc.TN);
      break;
    case TaxpayerLine::absent:
      break;
  }
  // The fiscal number always comes from the first loaded document.
  static const dat kNoDocument{};
  const auto first = model.dats.begin();
  const std::string& first_fn =
      (first != model.dats.end() && first->first == 0 ? first->second : kNoDocument).FN;
  std::string line;
  line.reserve(kZn.size() + doc.ZN.size() + kFn.size() + first_fn.size());
  line.append(kZn).append(doc.ZN).append(kFn).append(first_fn);
  listing.push_back(std::move(line));
}

}  // namespace tallyglass

#include "cli/date_options.h"

#include <vector>

namespace tallyglass::cli {
namespace {

// The `parts` fields of text between `separator`s, each of 1 to `max_width`
// digits; nothing when the text is anything else.
std::optional<std::vector<int>> digit_parts(std::string_view text, char separator, std::size_t parts,
                                            std::size_t max_width) {
  std::vector<int> values;
  std::size_t start = 0;
  for (std::size_t i = 0; i < parts; ++i) {
    const std::size_t end = i + 1 < parts ? text.find(separator, start) : text.size();
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view part = text.substr(start, end - start);
    if (part.empty() || part.size() > max_width) return std::nullopt;
    int value = 0;
    for (const char c : part) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + (c - '0');
    }
    values.push_back(value);
    start = end + 1;
  }
  return values;
}

std::string two_digits(int value) {
  return std::string(1, static_cast<char>('0' + value / 10 % 10)) + static_cast<char>('0' + value % 10);
}

bool leap(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

}  // namespace

std::string OptionDate::field() const { return two_digits(day) + "." + two_digits(month) + "." + two_digits(year % 100); }

std::string OptionDate::stamp() const { return std::to_string(year) + two_digits(month) + two_digits(day); }

std::optional<OptionDate> ParseOptionDate(std::string_view text) {
  const auto last_dot = text.rfind('.');
  if (last_dot == std::string_view::npos) return std::nullopt;
  const std::size_t year_digits = text.size() - last_dot - 1;
  if (year_digits != 2 && year_digits != 4) return std::nullopt;
  const auto parts = digit_parts(text, '.', 3, 4);
  if (!parts) return std::nullopt;
  OptionDate date{(*parts)[0], (*parts)[1], (*parts)[2]};
  if (text.find('.') > 2 || last_dot - text.find('.') - 1 > 2) return std::nullopt;
  if (year_digits == 2) date.year += 2000;
  if (date.year < 2000 || date.year > 2099) return std::nullopt;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (date.month < 1 || date.month > 12 || date.day < 1) return std::nullopt;
  const int days = kDays[date.month - 1] + (date.month == 2 && leap(date.year) ? 1 : 0);
  if (date.day > days) return std::nullopt;
  return date;
}

std::string OptionTime::field() const { return two_digits(hour) + ":" + two_digits(minute); }

std::optional<OptionTime> ParseOptionTime(std::string_view text) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos || colon > 2 || text.size() - colon - 1 != 2) return std::nullopt;
  const auto parts = digit_parts(text, ':', 2, 2);
  if (!parts) return std::nullopt;
  OptionTime time{(*parts)[0], (*parts)[1]};
  if (time.hour > 23 || time.minute > 59) return std::nullopt;
  return time;
}

std::string BadDateMessage(std::string_view option, std::string_view text) {
  return std::string(option) + ": «" + std::string(text) +
         "» — не дата; нужна существующая дата ДД.ММ.ГГ или ДД.ММ.ГГГГ (например, 14.03.16)";
}

std::string BadTimeMessage(std::string_view option, std::string_view text) {
  return std::string(option) + ": «" + std::string(text) +
         "» — не время; нужно время ЧЧ:ММ, часы от 0 до 23, минуты от 0 до 59 (например, 09:05)";
}

}  // namespace tallyglass::cli

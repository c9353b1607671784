#pragma once
// The date and time options of the commands (--from-date, --to-time, ...):
// a real calendar date, a real time of day, checked before anything else
// happens. Messages are Russian and name the option.
#include <optional>
#include <string>
#include <string_view>

namespace tallyglass::cli {

// DD.MM.YY or DD.MM.YYYY (day and month of one or two digits; a four-digit
// year from 2000 to 2099, as the register's two-digit years are 20YY), a day
// the calendar has: 31.02.16 and 00.03.16 are not dates, 29.02.16 is.
struct OptionDate {
  int day = 0, month = 0, year = 0;  // year in full (2016)
  std::string field() const;  // "14.03.16", as the query window's date field holds it
  std::string stamp() const;  // "20160314"
};
std::optional<OptionDate> ParseOptionDate(std::string_view text);

// HH:MM (the hour of one or two digits): hours 0 to 23, minutes 0 to 59.
struct OptionTime {
  int hour = 0, minute = 0;
  std::string field() const;  // "09:05"
};
std::optional<OptionTime> ParseOptionTime(std::string_view text);

// "--from-date: «31.02.16» — не дата; нужна дата ДД.ММ.ГГ или ДД.ММ.ГГГГ", and
// the like for a time.
std::string BadDateMessage(std::string_view option, std::string_view text);
std::string BadTimeMessage(std::string_view option, std::string_view text);

}  // namespace tallyglass::cli

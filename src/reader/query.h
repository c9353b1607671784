#pragma once
// The query window's logic without the window: the date and time values of
// its fields, its defaults, the request checks, the date-range lookup, the
// "Вернуть номера" handler and the type change.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "reader/reader_state.h"
#include "reader/reader_ui.h"
#include "reader/request_control.h"

namespace tallyglass {

// A field or reply text that is not a decimal integer. Inside a request it
// ends the request through the driver's failure path.
class FieldConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A decimal integer as typed: leading spaces, an optional sign, digits, and
// nothing after them; it must fit 32 bits. Anything else throws FieldConversionError.
std::int32_t field_to_int(std::string_view text);

// The network number of a request (ParseNetworkNumber's rule); anything else
// throws FieldConversionError.
std::int32_t network_number(std::string_view text);

// Decimal text of a value, with no leading zeros.
std::string int_text(std::int64_t value);

// A date as typed into a date field: two-digit year, month, day.
struct date_e {
  std::int32_t year = 0;
  std::int32_t month = 0;
  std::int32_t day = 0;

  // From "dd.mm.yy": characters 1-2 the day, 4-5 the month, 7-8 the year.
  // What people type reads the same: one-digit day, month or year, and
  // blanks around the digits ("1.3.16" is 01.03.16).
  static date_e from_text(std::string_view text);
  std::string request_form() const;  // "dd;mm;yy;"
  std::string display_form() const;  // "dd.mm.yy"
  date_e first_of_previous_month() const;
};

// A time as typed into a time field.
struct time_e {
  std::int32_t hour = 0;
  std::int32_t minute = 0;

  // From "hh:mm" when ":" is the third character; otherwise 00:00. A
  // one-digit hour or minute reads as typed ("9:05" is 09:05).
  static time_e from_text(std::string_view text);
  std::string request_form() const;  // "hh;mm;"
};

// The local date and time the defaults are taken from.
struct local_time {
  int year = 2000;  // four digits
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
};
local_time current_local_time();

// The window's defaults: end date today, end time now (09:05), start date the
// first day of the previous month, start time 00:00, type "Чек+Z-отчет".
void form_create(ReaderState& state, const local_time& now);

// The number check: stores Edit1 and Edit2 into first_number and last_number,
// then accepts first >= 1 and last >= first; otherwise shows its message.
bool check_numbers(ReaderState& state, ReaderUi& ui);

// The date check: refuses a start date later than the end date (year, month,
// day on the two-digit values; times are not compared).
bool check_dates(ReaderState& state, ReaderUi& ui);

// Integer field k (1 or 2) of a reply text: the text before the first ";",
// or between the first and the second.
std::int32_t reply_field(std::string_view text, int k);

// Asks the register for the receipt numbers of the date range in the fields.
// On a positive result first and last become the reply's two numbers and true
// is returned; otherwise they keep their values and nothing is reported.
bool lookup_range(ReaderState& state, const RequestControl& control, std::int32_t& first,
                  std::int32_t& last);

// "Вернуть номера": the lookup from 1 and 1 into the model's receipt-number
// pair and the number fields. A conversion failure is thrown to the caller
// with the model and the fields unchanged.
void return_numbers(ReaderState& state, const RequestControl& control);

// The type change: the number fields from the model's Z-report range for
// "Z-отчет", from its receipt range for every other choice.
void type_change(ReaderState& state);

}  // namespace tallyglass

#include "reader/query.h"

#include <charconv>
#include <ctime>
#include <tuple>

#include "link/link.h"
#include "link/protocol.h"
#include "reader/fetch.h"
#include "text/cp1251.h"
#include "text/numbers.h"

namespace tallyglass {
namespace {

// Characters from..from+count-1 (counted from 1); shorter or empty past the end.
std::string_view chars(std::string_view text, std::size_t from, std::size_t count) {
  if (from > text.size()) return {};
  return text.substr(from - 1, count);
}

// The fields of a date or time as people type it: count pieces between the
// separators, each one or two digits with blanks around them allowed
// ("1.3.16", "9:05", or "1 .3 .16" as a masked field leaves it). False when
// the text is not of that form.
bool short_fields(std::string_view text, char separator, std::size_t count, std::int32_t* values) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t end = i + 1 < count ? text.find(separator) : text.size();
    if (end == std::string_view::npos) return false;
    std::string_view piece = text.substr(0, end);
    while (!piece.empty() && piece.front() == ' ') piece.remove_prefix(1);
    while (!piece.empty() && piece.back() == ' ') piece.remove_suffix(1);
    if (piece.empty() || piece.size() > 2) return false;
    values[i] = 0;
    for (char c : piece) {
      if (c < '0' || c > '9') return false;
      values[i] = values[i] * 10 + (c - '0');
    }
    text.remove_prefix(i + 1 < count ? end + 1 : end);
  }
  return true;
}

// Two digits: a value below 10 gets a "0" in front.
std::string two_digits(std::int32_t value) {
  return value < 10 ? "0" + int_text(value) : int_text(value);
}

}  // namespace

std::int32_t field_to_int(std::string_view text) {
  const auto value = ParseFieldInteger(text);
  if (!value) throw FieldConversionError("'" + std::string(text) + "' is not a valid integer value");
  return *value;
}

std::int32_t network_number(std::string_view text) {
  const auto value = ParseNetworkNumber(text);
  if (!value) throw FieldConversionError("'" + std::string(text) + "' is not a network number from 1 to 99");
  return *value;
}

std::string int_text(std::int64_t value) { return IntText(value); }

date_e date_e::from_text(std::string_view text) {
  date_e d;
  std::int32_t typed[3];
  if (short_fields(text, '.', 3, typed)) {
    d.day = typed[0];
    d.month = typed[1];
    d.year = typed[2];
    return d;
  }
  d.day = field_to_int(chars(text, 1, 2));
  d.month = field_to_int(chars(text, 4, 2));
  d.year = field_to_int(chars(text, 7, 2));
  return d;
}

std::string date_e::request_form() const {
  return two_digits(day) + ";" + two_digits(month) + ";" + two_digits(year) + ";";
}

std::string date_e::display_form() const {
  return two_digits(day) + "." + two_digits(month) + "." + two_digits(year);
}

date_e date_e::first_of_previous_month() const {
  date_e d = *this;
  d.day = 1;
  if (month == 1) {
    d.month = 12;
    d.year = year == 0 ? 99 : year - 1;
  } else {
    d.month = month - 1;
  }
  return d;
}

time_e time_e::from_text(std::string_view text) {
  time_e t;
  std::int32_t typed[2];
  if (short_fields(text, ':', 2, typed)) {
    t.hour = typed[0];
    t.minute = typed[1];
    return t;
  }
  if (text.size() >= 3 && text[2] == ':') {
    t.hour = field_to_int(chars(text, 1, 2));
    t.minute = field_to_int(chars(text, 4, 2));
  }
  return t;
}

std::string time_e::request_form() const {
  return two_digits(hour) + ";" + two_digits(minute) + ";";
}

local_time current_local_time() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min};
}

void form_create(ReaderState& state, const local_time& now) {
  date_e today;
  today.day = now.day;
  today.month = now.month;
  today.year = now.year % 100;
  state.Edit5 = today.display_form();
  state.Edit7 = two_digits(now.hour) + ":" + two_digits(now.minute);
  state.Edit4 = today.first_of_previous_month().display_form();
  state.Edit6 = "00:00";
  state.type_index = kChoiceCheckZ;
  state.type_text = type_choice_text(kChoiceCheckZ);
}

bool check_numbers(ReaderState& state, ReaderUi& ui) {
  static const std::string kFirstPositive = Utf8ToCp1251("Началный номер должен быть >0!");
  static const std::string kLastNotBelow =
      Utf8ToCp1251("Конечный номер должен быть не меньше начального!");
  state.first_number = field_to_int(state.Edit1);
  state.last_number = field_to_int(state.Edit2);
  if (state.last_number >= state.first_number && state.first_number >= 1) return true;
  ui.inform(state.first_number < 1 ? kFirstPositive : kLastNotBelow);
  return false;
}

bool check_dates(ReaderState& state, ReaderUi& ui) {
  static const std::string kEndNotBefore =
      Utf8ToCp1251("Конечная дата должна быть не меньше начальной!");
  const date_e start = date_e::from_text(state.Edit4);
  const date_e end = date_e::from_text(state.Edit5);
  time_e::from_text(state.Edit6);
  time_e::from_text(state.Edit7);
  if (std::tie(start.year, start.month, start.day) > std::tie(end.year, end.month, end.day)) {
    ui.inform(kEndNotBefore);
    return false;
  }
  return true;
}

std::int32_t reply_field(std::string_view text, int k) {
  if (k != 1 && k != 2) throw std::invalid_argument("reply_field: field 1 or 2");
  const std::size_t first = text.find(';');
  if (first == std::string_view::npos) return field_to_int({});  // no field at all
  if (k == 1) return field_to_int(text.substr(0, first));
  const std::string_view rest = text.substr(first + 1);
  return field_to_int(rest.substr(0, rest.find(';')));
}

bool lookup_range(ReaderState& state, const RequestControl& control, std::int32_t& first,
                  std::int32_t& last) {
  const date_e start_date = date_e::from_text(state.Edit4);
  const date_e end_date = date_e::from_text(state.Edit5);
  const time_e start_time = time_e::from_text(state.Edit6);
  const time_e end_time = time_e::from_text(state.Edit7);
  const std::string request = start_date.request_form() + start_time.request_form() +
                              end_date.request_form() + end_time.request_form();
  // A reply that fails its check value is asked for again, as a damaged part
  // is; any other failure ends the lookup as it always has.
  int result = 0;
  for (int failures = 0;;) {
    const int number = network_number(control.network_number_text());
    result = state.link.request_f(number, request, 0, true);
    if (result != link::kBadCheckValue || ++failures >= kFailureLimit || control.stop_requested()) break;
    state.wait_ms(kFailurePauseMs);
  }
  if (result <= 0) return false;
  const std::string reply = state.link.reply_text();
  const std::int32_t from = reply_field(reply, 1);
  const std::int32_t to = reply_field(reply, 2);
  first = from;
  last = to;
  return true;
}

void return_numbers(ReaderState& state, const RequestControl& control) {
  std::int32_t first = 1;
  std::int32_t last = 1;
  lookup_range(state, control, first, last);
  state.model.check_no_min = first;
  state.model.check_no_max = last;
  state.Edit1 = int_text(first);
  state.Edit2 = int_text(last);
}

void type_change(ReaderState& state) {
  if (state.type_index == kChoiceZ) {
    state.Edit1 = int_text(state.model.zvit_no_min);
    state.Edit2 = int_text(state.model.zvit_no_max);
  } else {
    state.Edit1 = int_text(state.model.check_no_min);
    state.Edit2 = int_text(state.model.check_no_max);
  }
}

}  // namespace tallyglass

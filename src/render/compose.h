#pragma once
// Line composition shared by the receipt and Z-report layouts. All text is
// Windows-1251 bytes: one byte is one character is one column, columns count
// from 1.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "journal/model.h"
#include "render/listing.h"

namespace tallyglass {

// A document's rendering cannot go on: a tax group text that is not an
// integer, or a value that does not fit before its end column.
class RenderError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// v written with the given number of decimals (0 to 3), "." as the point, no
// grouping, the last digit rounded half away from zero on v's exact binary
// value, "-" in front when the written value is not zero.
std::string fixed_text(double v, int decimals);

// The value texts of the layouts.
std::string amount_text(float x);          // x * 0.01 in single precision, two decimals
std::string rate_text(float x);            // x, two decimals
std::string quantity_text(float x);        // x * 0.001, three decimals
std::string quantity_whole_text(float x);  // x * 0.001 rounded, no point
std::string integer_text(float x);         // x rounded, no point

// The integer part of x, truncated toward zero (saturating; NaN gives 0).
std::int32_t integer_part(float x);

// The tax group a text names. Throws RenderError unless the text is an
// integer (an optional sign and decimal digits, nothing else).
int tax_group(std::string_view text);

// The letter of a tax group; "Много параметров" outside 0..10.
const std::string& tax_letter(int group);

// The tape's columns, counted from 1.
inline constexpr int kAmountColumn = 37;         // amounts, rates and stamps end here
inline constexpr int kZFirstAmountColumn = 24;   // the first of a Z-report line's two amounts
inline constexpr int kTaxRateColumn = 30;        // the rate of a receipt's tax line
inline constexpr int kNumberColumn = 11;         // the receipt number of the footer
inline constexpr std::size_t kNameWidth = 34;    // a long sale name is cut into pieces this wide

// Writes value into text so that it ends at end_column. A text shorter than
// 38 characters first gets 35 spaces appended. Throws RenderError when the
// value would start before column 1 or end beyond the text.
std::string place_right(std::string text, std::string_view value, int end_column);

// "DD.MM.YYYY  " from a "YYYYMMDDhhmm..." stamp, then "hh:mm" when with_time.
// Parts beyond the end of the stamp are left out.
std::string stamp_text(std::string_view stamp, bool with_time);

// Appends the 2-space + 38-hyphen separator.
void append_separator(Listing& listing);

// Where the heading puts the taxpayer number.
enum class TaxpayerLine { indented, absent, flush };

// The heading lines every document starts with. The fiscal number comes from
// the first loaded document, not from doc.
void render_heading(const rq& model, const dat& doc, TaxpayerLine form, Listing& listing);

// Read access to the model that never creates entries: an absent key gives
// the record's defaults.
template <typename Map>
const typename Map::mapped_type& record_at(const Map& map, typename Map::key_type key) {
  static const typename Map::mapped_type kDefault{};
  const auto it = map.find(key);
  return it == map.end() ? kDefault : it->second;
}

}  // namespace tallyglass

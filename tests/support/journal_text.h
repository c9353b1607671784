#pragma once
// Loading small journal texts written in UTF-8 in the tests.
#include <string>
#include <string_view>

#include "journal/loader.h"
#include "journal/model.h"

namespace tallyglass::test_support {

// The collected form around some documents: declaration, <RQ V="1">, body, </RQ>,
// converted to Windows-1251.
std::string journal_text(std::string_view utf8_body);

// A model and its loader state; load() parses and loads, letting failures out.
struct Journal {
  rq model;
  control state;

  void load(std::string_view utf8_body);
  void load_text(std::string_view cp1251_text);
  check& receipt(int doc = 0) { return model.dats[doc].checks[0]; }
  zvit& zreport(int doc = 0) { return model.dats[doc].zvits[0]; }
};

// A readable summary of a document (kinds, keys, counts, print order and the
// main values) to compare whole documents.
std::string describe(const dat& d);

std::string cp(std::string_view utf8);  // Utf8ToCp1251

}  // namespace tallyglass::test_support

#pragma once
// Builders of hand-made models and helpers to compare rendered lines.
#include <gtest/gtest.h>

#include <fstream>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "journal/model.h"
#include "render/listing.h"
#include "text/cp1251.h"

namespace tallyglass::test_support {

inline std::string W(std::string_view utf8) { return Utf8ToCp1251(utf8); }

// The next line of a kind in a receipt, placed at the next print position,
// as the loader leaves it.
template <typename Map>
typename Map::mapped_type& add_line(check& c, line_kind kind, Map& lines) {
  std::int32_t* counts[] = {&c.p_count, &c.cp_count, &c.d_count, &c.s_count, &c.m_count, &c.i_count,
                            &c.o_count, &c.l_count, &c.h_count, &c.vd_count, &c.e_count};
  std::int32_t& count = *counts[kind - 1];
  const std::int32_t key = count++;
  c.line_order[c.line_order_next++] = {kind, key};
  return lines[key];
}

inline sale& add_p(check& c) { return add_line(c, kind_P, c.p_lines); }
inline sale& add_cp(check& c) { return add_line(c, kind_CP, c.cp_lines); }
inline sale_up_down& add_d(check& c) { return add_line(c, kind_D, c.d_lines); }
inline sale_up_down& add_s(check& c) { return add_line(c, kind_S, c.s_lines); }
inline sale_pay& add_m(check& c) { return add_line(c, kind_M, c.m_lines); }
inline sale_in_out& add_i(check& c) { return add_line(c, kind_I, c.i_lines); }
inline sale_in_out& add_o(check& c) { return add_line(c, kind_O, c.o_lines); }
inline sale_comment& add_l(check& c) { return add_line(c, kind_L, c.l_lines); }
inline sale_serv_info& add_h(check& c) { return add_line(c, kind_H, c.h_lines); }
inline sale_end& add_e(check& c) {
  c.line_order[c.line_order_next++] = {kind_E, c.e_count++};
  return c.end_line;
}

// A document at the next load position, with the heading values of the
// worked examples.
inline dat& add_doc(rq& model, float di) {
  dat& d = model.dats[model.doc_count++];
  d.DI = di;
  d.TN = W("ПН 111111111111");
  d.ZN = "402400089";
  d.FN = "5555555555";
  d.ts.text = "20140430144400";
  return d;
}

inline check& add_receipt(rq& model, float di, float number) {
  dat& d = add_doc(model, di);
  check& c = d.checks[0];
  c.CN = 1;
  add_e(c).NO = number;
  model.note_check_no(static_cast<std::int32_t>(number));
  return c;
}

inline zvit& add_zreport(rq& model, float di, float number) {
  dat& d = add_doc(model, di);
  d.is_check = false;
  zvit& z = d.zvits[0];
  z.NO = number;
  model.note_zvit_no(static_cast<std::int32_t>(number));
  return z;
}

// A text placed in a line: starting at a column, or ending at one.
struct Piece {
  int column;
  std::string_view utf8;
  bool ends_there = false;
};
inline Piece At(int column, std::string_view utf8) { return {column, utf8, false}; }
inline Piece End(int column, std::string_view utf8) { return {column, utf8, true}; }

// A Windows-1251 line of `length` spaces with the pieces written over it.
inline std::string Line(std::size_t length, std::initializer_list<Piece> pieces) {
  std::string line(length, ' ');
  for (const Piece& p : pieces) {
    const std::string text = W(p.utf8);
    const std::size_t start = p.ends_there ? p.column - text.size() : p.column - 1;
    line.replace(start, text.size(), text);
  }
  return line.substr(0, length);
}

inline std::string Show(const std::string& cp1251) {
  return "\"" + Cp1251ToUtf8(cp1251) + "\" [" + std::to_string(cp1251.size()) + "]";
}

inline std::string ShowListing(const Listing& listing) {
  std::string out;
  for (const auto& line : listing) out += Show(line) + "\n";
  return out;
}

// Where the run of lines starts in the listing, or npos.
inline std::size_t FindRun(const Listing& listing, const std::vector<std::string>& run) {
  if (run.size() > listing.size()) return std::string::npos;
  for (std::size_t i = 0; i + run.size() <= listing.size(); ++i) {
    bool all = true;
    for (std::size_t j = 0; j < run.size() && all; ++j) all = listing[i + j] == run[j];
    if (all) return i;
  }
  return std::string::npos;
}

inline std::size_t Count(const Listing& listing, const std::string& line) {
  std::size_t n = 0;
  for (const auto& l : listing) n += l == line;
  return n;
}

// The first difference between two listings, as line and column, or "".
inline std::string FirstDifference(const Listing& got, const Listing& want) {
  for (std::size_t i = 0; i < std::max(got.size(), want.size()); ++i) {
    if (i >= got.size()) return "line " + std::to_string(i + 1) + " missing: want " + Show(want[i]);
    if (i >= want.size()) return "line " + std::to_string(i + 1) + " extra: " + Show(got[i]);
    if (got[i] == want[i]) continue;
    std::size_t col = 0;
    while (col < got[i].size() && col < want[i].size() && got[i][col] == want[i][col]) ++col;
    return "line " + std::to_string(i + 1) + ", column " + std::to_string(col + 1) +
           ":\n   got " + Show(got[i]) + "\n  want " + Show(want[i]);
  }
  return "";
}

// A golden listing kept beside the tests as UTF-8 lines.
inline Listing ReadGolden(const std::string& name) {
  std::ifstream in(std::string(TALLYGLASS_SOURCE_DIR) + "/tests/render/golden/" + name);
  EXPECT_TRUE(in) << "cannot read golden listing " << name;
  Listing lines;
  for (std::string line; std::getline(in, line);) lines.push_back(W(line));
  return lines;
}

// The sample journal's tape as kept in golden/sample/, one file a document
// ("R131" the receipt numbered 131, "Z41" the Z-report numbered 41, "S130"
// the service receipt 130 as the choice "Внес./Изъят." lays it out): a listing
// of several documents is theirs joined in the order given.
inline Listing SampleTape(const std::vector<std::string>& ids) {
  Listing tape;
  for (const auto& id : ids) {
    const Listing one = ReadGolden("sample/" + id + ".txt");
    EXPECT_FALSE(one.empty()) << id;
    tape.insert(tape.end(), one.begin(), one.end());
  }
  return tape;
}

// "R130", "R131", ... for the receipts first..last.
inline std::vector<std::string> ReceiptIds(int first, int last) {
  std::vector<std::string> ids;
  for (int n = first; n <= last; ++n) ids.push_back("R" + std::to_string(n));
  return ids;
}

// Compares a rendering with a golden listing whose line lengths (trailing
// spaces included) are those the worked example gives.
inline void ExpectGolden(const Listing& got, const std::string& name,
                         const std::vector<std::size_t>& lengths) {
  const Listing want = ReadGolden(name);
  ASSERT_EQ(want.size(), lengths.size()) << name;
  for (std::size_t i = 0; i < want.size(); ++i)
    EXPECT_EQ(want[i].size(), lengths[i]) << name << " line " << i + 1;
  EXPECT_EQ(FirstDifference(got, want), "") << name;
}

}  // namespace tallyglass::test_support

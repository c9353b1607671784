#include "export/exact_journal.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <set>
#include <tuple>

#include "journal/journal_error.h"
#include "journal/xml_document.h"
#include "text/cp1251.h"

namespace tallyglass {

namespace {

std::string_view trim_blanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Digits into a magnitude; false on a non-digit or an overflow of 64 bits.
bool accumulate(std::string_view digits, unsigned __int128& value) {
  for (const char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > (static_cast<unsigned __int128>(1) << 64)) return false;
  }
  return true;
}

std::int64_t signed_value(bool negative, unsigned __int128 magnitude) {
  constexpr auto kMax = static_cast<unsigned __int128>(std::numeric_limits<std::int64_t>::max());
  if (negative) {
    if (magnitude > kMax + 1) throw std::invalid_argument("is beyond the range of 64-bit integers");
    return magnitude == kMax + 1 ? std::numeric_limits<std::int64_t>::min()
                                 : -static_cast<std::int64_t>(magnitude);
  }
  if (magnitude > kMax) throw std::invalid_argument("is beyond the range of 64-bit integers");
  return static_cast<std::int64_t>(magnitude);
}

}  // namespace

std::int64_t parse_exact_integer(std::string_view text) { return parse_exact_fixed(text, 0); }

std::int64_t parse_exact_fixed(std::string_view text, int decimals) {
  std::string_view t = trim_blanks(text);
  if (t.empty()) throw std::invalid_argument("is empty");
  bool negative = false;
  if (t.front() == '-' || t.front() == '+') {
    negative = t.front() == '-';
    t.remove_prefix(1);
  }
  std::string_view whole = t, fraction;
  if (const auto dot = t.find('.'); dot != std::string_view::npos && decimals > 0) {
    whole = t.substr(0, dot);
    fraction = t.substr(dot + 1);
  }
  const char* what = decimals == 0 ? "is not an integer" : "is not a decimal with at most two places";
  if (decimals == 3) what = "is not a decimal with at most three places";
  if ((whole.empty() && fraction.empty()) || static_cast<int>(fraction.size()) > decimals ||
      (whole.empty() && t.size() == 1)) {
    throw std::invalid_argument(what);
  }
  unsigned __int128 magnitude = 0;
  if (!accumulate(whole, magnitude)) {
    // Tell a plain overflow from a text that is no number.
    const bool digits = std::all_of(whole.begin(), whole.end(), [](char c) { return c >= '0' && c <= '9'; });
    throw std::invalid_argument(digits ? "is beyond the range of 64-bit integers" : what);
  }
  for (int i = 0; i < decimals; ++i) {
    const char c = i < static_cast<int>(fraction.size()) ? fraction[i] : '0';
    if (c < '0' || c > '9') throw std::invalid_argument(what);
    magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
    if (magnitude > (static_cast<unsigned __int128>(1) << 64)) {
      throw std::invalid_argument("is beyond the range of 64-bit integers");
    }
  }
  return signed_value(negative, magnitude);
}

std::string fixed_text(std::int64_t value, int decimals, char point) {
  const bool negative = value < 0;
  // The magnitude as unsigned, so that the lowest 64-bit value is exact too.
  std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  char digits[32];
  auto* end = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
  std::string_view d(digits, static_cast<std::size_t>(end - digits));
  std::string out;
  out.reserve(d.size() + static_cast<std::size_t>(decimals) + 3);
  if (negative) out += '-';
  if (decimals == 0) {
    out += d;
    return out;
  }
  const auto places = static_cast<std::size_t>(decimals);
  if (d.size() <= places) {
    out += '0';
    out += point;
    out.append(places - d.size(), '0');
    out += d;
  } else {
    out += d.substr(0, d.size() - places);
    out += point;
    out += d.substr(d.size() - places);
  }
  return out;
}

const char* receipt_kind_text(ReceiptKind kind) {
  switch (kind) {
    case ReceiptKind::sale: return "sale";
    case ReceiptKind::refund: return "refund";
    case ReceiptKind::service: return "service";
    case ReceiptKind::other: return "other";
  }
  return "other";
}

std::string iso_time(std::string_view ts) {
  const bool digits = ts.size() == 14 && std::all_of(ts.begin(), ts.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!digits) return std::string(ts);
  std::string out;
  out.reserve(19);
  out.append(ts.substr(0, 4)).append("-").append(ts.substr(4, 2)).append("-").append(ts.substr(6, 2));
  out.append("T").append(ts.substr(8, 2)).append(":").append(ts.substr(10, 2)).append(":").append(ts.substr(12, 2));
  return out;
}

namespace {

// Walks one parsed journal into exact documents. Every value failure names
// the document (by DI, or by its place when DI itself is the fault), the
// element and the attribute.
class ExactWalker {
 public:
  ExactWalker(xml_document& xml, std::string_view source) : xml_(xml), source_(source) {}

  void walk(std::vector<ExactDocument>& out) {
    int ordinal = 0;
    for (auto n = xml_.first_child(xml_.root()); n != nullptr; n = xml_.next_sibling(n)) {
      if (xml_.name(n) != "DAT") continue;
      ++ordinal;
      ExactDocument doc;
      end_ts_.clear();
      where_ = "document " + std::to_string(ordinal);
      if (!source_.empty()) where_ += " of " + std::string(source_);
      dat(n, doc);
      if (doc.ts.empty()) doc.ts = end_ts_;
      out.push_back(std::move(doc));
    }
  }

 private:
  using node = node_view::node;

  template <typename F>
  void each_attribute(node n, std::string_view element, F&& f) {
    for (auto a = xml_.first_attribute(n); a != nullptr; a = xml_.next_attribute(a)) {
      const std::string name(xml_.attribute_name(a));
      const std::string_view value = xml_.attribute_value(a);
      try {
        f(std::string_view(name), value);
      } catch (const std::invalid_argument& e) {
        // A hostile value may be long: the message shows its start.
        std::string shown(value.substr(0, 64));
        if (value.size() > 64) shown += "...";
        throw ExportError(where_ + ": attribute " + Cp1251ToUtf8(name) + " of " + std::string(element) + ": \"" +
                          Cp1251ToUtf8(shown) + "\" " + e.what());
      }
    }
  }

  static std::int64_t integer(std::string_view v) { return parse_exact_integer(v); }
  static std::int64_t rate(std::string_view v) { return parse_exact_fixed(v, 2); }

  void dat(node n, ExactDocument& doc) {
    each_attribute(n, "DAT", [&](std::string_view name, std::string_view v) {
      if (name == "ZN") doc.zn = v;
      else if (name == "FN") doc.fn = v;
      else if (name == "TN") doc.tn = v;
      else if (name == "DI") doc.di = integer(v);
    });
    where_ = "document DI " + std::to_string(doc.di);
    if (!source_.empty()) where_ += " of " + std::string(source_);
    for (auto c = xml_.first_child(n); c != nullptr; c = xml_.next_sibling(c)) {
      const std::string_view name = xml_.name(c);
      if (name == "C") {
        receipt(c, doc);
      } else if (name == "Z") {
        zreport(c, doc);
      } else if (name == "TS") {
        std::string_view text;
        if (xml_.only_child_text(c, text)) doc.ts = text;
      }
    }
  }

  void receipt(node n, ExactDocument& doc) {
    doc.is_zreport = false;
    each_attribute(n, "C", [&](std::string_view name, std::string_view v) {
      if (name == "T") doc.type = integer(v);
    });
    switch (doc.type) {
      case 0: doc.kind = ReceiptKind::sale; break;
      case 1: doc.kind = ReceiptKind::refund; break;
      case 2: doc.kind = ReceiptKind::service; break;
      default: doc.kind = ReceiptKind::other; break;
    }
    for (auto c = xml_.first_child(n); c != nullptr; c = xml_.next_sibling(c)) {
      const std::string name(xml_.name(c));
      if (name == "M") {
        payment(c, doc);
      } else if (name == "E") {
        end(c, doc);
      } else if (name == "P" || name == "CP" || name == "D" || name == "S" || name == "I" || name == "O" ||
                 name == "L" || name == "H" || name == "VD") {
        line(c, name, doc);
      }
    }
  }

  void line(node n, const std::string& kind, ExactDocument& doc) {
    ExactLine l;
    l.kind = kind;
    const bool sale = kind == "P" || kind == "CP";
    const bool adjust = kind == "D" || kind == "S";
    const bool cash = kind == "I" || kind == "O";
    each_attribute(n, kind, [&](std::string_view name, std::string_view v) {
      if (name == "N") l.n = integer(v);
      else if (name == "SM" && (sale || adjust || cash)) l.sum = integer(v);
      else if (name == "TX" && (sale || adjust)) l.tax_group = trim_blanks(v);
      else if (name == "NM" && (sale || cash)) l.name = v;
      else if (sale && name == "C") l.code = v;
      else if (sale && name == "Q") l.quantity = parse_exact_fixed(v, 0);
      else if (sale && name == "PRC") l.price = integer(v);
      else if (adjust && name == "PR") l.rate = rate(v);
      else if (cash && name == "T") l.code = std::to_string(integer(v));
      else if (kind == "H" && name == "HT") l.code = v;
      else if (kind == "VD" && name == "NI") l.code = std::to_string(integer(v));
    });
    if (kind == "L" || kind == "H") {
      std::string_view text;
      if (xml_.only_child_text(n, text)) l.name = text;
    }
    doc.lines.push_back(std::move(l));
  }

  void payment(node n, ExactDocument& doc) {
    ExactPayment p;
    each_attribute(n, "M", [&](std::string_view name, std::string_view v) {
      if (name == "N") p.n = integer(v);
      else if (name == "T") p.form = integer(v);
      else if (name == "NM") p.name = v;
      else if (name == "SM") p.sum = integer(v);
      else if (name == "RM") p.change = integer(v);
      else if (name == "RRN") p.rrn = v;
    });
    doc.payments.push_back(std::move(p));
  }

  void end(node n, ExactDocument& doc) {
    std::string group;
    std::int64_t txpr = 0, txsm = 0, dtpr = 0, dtsm = 0, txal = 0;
    bool has_tax = false;
    each_attribute(n, "E", [&](std::string_view name, std::string_view v) {
      if (name == "NO") doc.number = integer(v);
      else if (name == "SM") doc.total = integer(v);
      else if (name == "CS") doc.cash_desk = trim_blanks(v);
      else if (name == "TS") end_ts_ = v;
      else if (name == "VD") doc.annulled = integer(v) == 1;
      else if (name == "TX") group = trim_blanks(v), has_tax = true;
      else if (name == "TXPR") txpr = rate(v);
      else if (name == "TXSM") txsm = integer(v), has_tax = true;
      else if (name == "DTSM") dtsm = integer(v), has_tax = true;
      else if (name == "TXAL") txal = integer(v);
      else if (name == "DTPR") dtpr = rate(v);
    });
    bool children = false;
    for (auto c = xml_.first_child(n); c != nullptr; c = xml_.next_sibling(c)) {
      if (xml_.name(c) != "TX") continue;
      children = true;
      ExactTax t;
      each_attribute(c, "TX", [&](std::string_view name, std::string_view v) {
        if (name == "TX") t.group = trim_blanks(v);
        else if (name == "TXPR") t.rate = rate(v);
        else if (name == "TXSM") t.tax = integer(v);
        else if (name == "DTPR") t.excise_rate = rate(v);
        else if (name == "DTSM") t.excise = integer(v);
        else if (name == "TXAL") integer(v);
      });
      doc.taxes.push_back(std::move(t));
    }
    if (!children && has_tax) {
      ExactTax t;
      t.group = group;
      if (txal == 0) {
        t.rate = txpr, t.tax = txsm;
        t.excise_rate = dtpr, t.excise = dtsm;
      } else {
        t.rate = dtpr, t.tax = dtsm;
        t.excise_rate = txpr, t.excise = txsm;
      }
      doc.taxes.push_back(std::move(t));
    }
  }

  void zreport(node n, ExactDocument& doc) {
    doc.is_zreport = true;
    each_attribute(n, "Z", [&](std::string_view name, std::string_view v) {
      if (name == "NO") doc.number = integer(v);
    });
    for (auto c = xml_.first_child(n); c != nullptr; c = xml_.next_sibling(c)) {
      const std::string_view name = xml_.name(c);
      if (name == "M") {
        ZPaymentForm f;
        each_attribute(c, "M", [&](std::string_view a, std::string_view v) {
          if (a == "T") f.form = integer(v);
          else if (a == "NM") f.name = v;
          else if (a == "SMI") f.sales = integer(v);
          else if (a == "SMO") f.refunds = integer(v);
        });
        doc.forms.push_back(std::move(f));
      } else if (name == "IO") {
        ZCash f;
        each_attribute(c, "IO", [&](std::string_view a, std::string_view v) {
          if (a == "T") f.form = integer(v);
          else if (a == "NM") f.name = v;
          else if (a == "SMI") f.put_in = integer(v);
          else if (a == "SMO") f.taken_out = integer(v);
          else if (a == "SMT") f.drawer = integer(v);
        });
        doc.cash.push_back(std::move(f));
      } else if (name == "NC") {
        ZCounters f;
        each_attribute(c, "NC", [&](std::string_view a, std::string_view v) {
          if (a == "NI") f.sales = integer(v);
          else if (a == "NO") f.refunds = integer(v);
        });
        doc.counters.push_back(f);
      } else if (name == "TXS") {
        ZTaxGroup g;
        each_attribute(c, "TXS", [&](std::string_view a, std::string_view v) {
          if (a == "TX") g.group = trim_blanks(v);
          else if (a == "TS") g.date = v;
          else if (a == "TXPR") g.rate = rate(v);
          else if (a == "DTPR") g.excise_rate = rate(v);
          else if (a == "SMI") g.turnover_sales = integer(v);
          else if (a == "SMO") g.turnover_refunds = integer(v);
          else if (a == "TXI") g.tax_sales = integer(v);
          else if (a == "TXO") g.tax_refunds = integer(v);
          else if (a == "DTI") g.excise_sales = integer(v);
          else if (a == "DTO") g.excise_refunds = integer(v);
        });
        doc.groups.push_back(std::move(g));
      }
    }
  }

  xml_document& xml_;
  std::string_view source_;
  std::string where_;
  std::string end_ts_;  // "E" TS, the time stamp when the "TS" element is missing
};

}  // namespace

void ExactJournal::add_text(std::string_view text, std::string_view source) {
  std::vector<ExactDocument> fresh;
  try {
    xml_document xml(text);
    ExactWalker(xml, source).walk(fresh);
  } catch (const XmlParseError& e) {
    throw ExportError((source.empty() ? std::string("journal") : std::string(source)) + ": " + Cp1251ToUtf8(e.what()));
  }
  shared_.add(text);
  using Key = std::tuple<std::string, std::string, std::int64_t>;
  std::set<Key> held;
  for (const auto& d : documents) held.emplace(d.zn, d.fn, d.di);
  documents.reserve(documents.size() + fresh.size());
  for (auto& d : fresh) {
    if (held.emplace(d.zn, d.fn, d.di).second) documents.push_back(std::move(d));
  }
}

void ExactJournal::add_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::error_code ec;
  if (!in || std::filesystem::is_directory(path, ec)) {
    throw ExportError("cannot read " + path + (errno != 0 ? std::string(": ") + std::strerror(errno) : ""));
  }
  const std::string text{std::istreambuf_iterator<char>(in), {}};
  if (in.bad()) throw ExportError("cannot read " + path);
  add_text(text, path);
}

void ExactJournal::keep_register(std::string_view zn) {
  std::erase_if(documents, [&](const ExactDocument& d) { return d.zn != zn; });
}

void ExactJournal::sort() {
  std::stable_sort(documents.begin(), documents.end(), [](const ExactDocument& a, const ExactDocument& b) {
    return std::tie(a.di, a.zn, a.fn) < std::tie(b.di, b.zn, b.fn);
  });
}

}  // namespace tallyglass

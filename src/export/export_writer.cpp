#include "export/export_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <map>
#include <system_error>
#include <tuple>

#include "render/render_listing.h"
#include "text/cp1251.h"

namespace tallyglass {

std::vector<const ExactDocument*> select_documents(const ExactJournal& journal, const ExportSelection& what) {
  std::vector<const ExactDocument*> out;
  if (what.by == ExportSelection::By::all) {
    for (const auto& d : journal.documents) out.push_back(&d);
    return out;
  }
  if (what.by == ExportSelection::By::dates) {
    for (const auto& d : journal.documents) {
      if (d.ts >= what.from_ts && d.ts <= what.to_ts) out.push_back(&d);
    }
    return out;
  }
  // By numbers: per register, from the first chosen receipt to the receipt
  // numbered `to`, or, when there is none, to just before the first receipt
  // numbered above it (the Z-reports closing the range's last day come along).
  struct Span {
    std::int64_t first = std::numeric_limits<std::int64_t>::max();
    std::int64_t last_chosen = std::numeric_limits<std::int64_t>::min();
    std::int64_t exact_end = std::numeric_limits<std::int64_t>::min();  // DI of receipt `to`
    std::int64_t above = std::numeric_limits<std::int64_t>::max();      // DI of the first receipt above `to`
  };
  std::map<std::pair<std::string, std::string>, Span> spans;
  for (const auto& d : journal.documents) {
    if (d.is_zreport) continue;
    Span& s = spans[{d.zn, d.fn}];
    if (d.number > what.to) s.above = std::min(s.above, d.di);
    if (d.number < what.from || d.number > what.to) continue;
    s.first = std::min(s.first, d.di);
    s.last_chosen = std::max(s.last_chosen, d.di);
    if (d.number == what.to) s.exact_end = std::max(s.exact_end, d.di);
  }
  for (const auto& d : journal.documents) {
    if (!d.is_zreport) {
      if (d.number >= what.from && d.number <= what.to) out.push_back(&d);
      continue;
    }
    const auto it = spans.find({d.zn, d.fn});
    if (it == spans.end() || it->second.last_chosen < it->second.first) continue;
    const Span& s = it->second;
    const std::int64_t end = s.exact_end != std::numeric_limits<std::int64_t>::min() ? s.exact_end : s.above - 1;
    if (d.di >= s.first && d.di <= end) out.push_back(&d);
  }
  return out;
}

std::vector<const ExactDocument*> select_for_choice(const ExactJournal& journal, int choice, std::int64_t first,
                                                    std::int64_t last) {
  if (choice == kChoiceCheckZ) {
    ExportSelection s;
    s.by = ExportSelection::By::numbers;
    s.from = first;
    s.to = last;
    return select_documents(journal, s);
  }
  std::vector<const ExactDocument*> out;
  for (const auto& d : journal.documents) {
    if (d.number < first || d.number > last) continue;
    const bool take = choice == kChoiceZ         ? d.is_zreport
                      : choice == kChoiceCheck   ? !d.is_zreport
                      : choice == kChoiceService ? !d.is_zreport && d.kind == ReceiptKind::service
                                                 : false;
    if (take) out.push_back(&d);
  }
  return out;
}

void append_csv_field(std::string& row, std::string_view utf8, char separator) {
  bool quote = !utf8.empty() && (utf8.front() == ' ' || utf8.back() == ' ');
  for (const char c : utf8) {
    if (c == separator || c == '"' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      quote = true;
      break;
    }
  }
  if (!quote) {
    row += utf8;
    return;
  }
  row += '"';
  for (const char c : utf8) {
    if (c == '"') row += '"';
    row += c;
  }
  row += '"';
}

namespace {

// Builds the rows of one table.
class CsvTable {
 public:
  CsvTable(std::string& out, const CsvDialect& d) : out_(out), d_(d) {}
  CsvTable& text(std::string_view cp1251) {
    sep();
    append_csv_field(out_, Cp1251ToUtf8(cp1251), d_.separator);
    return *this;
  }
  CsvTable& ascii(std::string_view s) {
    sep();
    append_csv_field(out_, s, d_.separator);
    return *this;
  }
  CsvTable& integer(std::int64_t v) { return ascii(fixed_text(v, 0)); }
  CsvTable& money(std::int64_t v) { return ascii(fixed_text(v, 2, d_.point)); }
  CsvTable& money(const std::optional<std::int64_t>& v) { return v ? money(*v) : ascii(""); }
  CsvTable& fixed(const std::optional<std::int64_t>& v, int places) {
    return v ? ascii(fixed_text(*v, places, d_.point)) : ascii("");
  }
  void end() {
    out_ += "\r\n";
    first_ = true;
  }
  // The keys every row begins with.
  CsvTable& keys(const ExactDocument& d) { return text(d.zn).text(d.fn).integer(d.di).integer(d.number); }

 private:
  void sep() {
    if (!first_) out_ += d_.separator;
    first_ = false;
  }
  std::string& out_;
  const CsvDialect& d_;
  bool first_ = true;
};

void header(std::string& out, const CsvDialect& d, std::initializer_list<const char*> names) {
  CsvTable t(out, d);
  for (const char* n : names) t.ascii(n);
  t.end();
}

const char* kind_text(const ExactDocument& d) { return d.is_zreport ? "zreport" : receipt_kind_text(d.kind); }

}  // namespace

CsvTables export_csv(const std::vector<const ExactDocument*>& docs, const CsvDialect& dialect) {
  CsvTables t;
  const std::string bom = dialect.bom ? "\xEF\xBB\xBF" : "";
  for (std::string* s : {&t.documents, &t.lines, &t.payments, &t.taxes, &t.zreports}) *s = bom;
  t.documents.reserve(docs.size() * 96);
  t.lines.reserve(docs.size() * 1024);
  header(t.documents, dialect,
         {"zn", "fn", "di", "number", "class", "datetime", "kind", "annulled", "total", "cash_desk"});
  header(t.lines, dialect,
         {"zn", "fn", "di", "number", "n", "kind", "code", "name", "quantity", "price", "sum", "tax_group", "rate"});
  header(t.payments, dialect, {"zn", "fn", "di", "number", "n", "form", "name", "sum", "change", "rrn"});
  header(t.taxes, dialect, {"zn", "fn", "di", "number", "group", "rate", "tax", "excise", "excise_rate"});
  header(t.zreports, dialect, {"zn", "fn", "di", "number", "section", "key", "name", "figure", "value"});
  CsvTable documents(t.documents, dialect), lines(t.lines, dialect), payments(t.payments, dialect),
      taxes(t.taxes, dialect), zreports(t.zreports, dialect);
  for (const ExactDocument* p : docs) {
    const ExactDocument& d = *p;
    documents.keys(d).ascii(d.is_zreport ? "zreport" : "receipt").text(iso_time(d.ts)).ascii(kind_text(d));
    if (d.is_zreport) {
      documents.ascii("").ascii("").ascii("");
    } else {
      documents.ascii(d.annulled ? "1" : "0").money(d.total).text(d.cash_desk);
    }
    documents.end();
    for (const auto& l : d.lines) {
      lines.keys(d).integer(l.n).ascii(l.kind).text(l.code).text(l.name).fixed(l.quantity, 3).money(l.price)
          .money(l.sum).text(l.tax_group).fixed(l.rate, 2).end();
    }
    for (const auto& m : d.payments) {
      payments.keys(d).integer(m.n).integer(m.form).text(m.name).money(m.sum).money(m.change).text(m.rrn).end();
    }
    for (const auto& x : d.taxes) {
      taxes.keys(d).text(x.group).fixed(x.rate, 2).money(x.tax).money(x.excise).fixed(x.excise_rate, 2).end();
    }
    auto figure = [&](const char* section, const std::string& key, const std::string& name, const char* fig,
                      std::string value) {
      zreports.keys(d).ascii(section).text(key).text(name).ascii(fig).ascii(value).end();
    };
    const char point = dialect.point;
    for (const auto& f : d.forms) {
      const std::string key = fixed_text(f.form, 0);
      figure("M", key, f.name, "SMI", fixed_text(f.sales, 2, point));
      figure("M", key, f.name, "SMO", fixed_text(f.refunds, 2, point));
    }
    for (const auto& c : d.cash) {
      const std::string key = fixed_text(c.form, 0);
      figure("IO", key, c.name, "SMI", fixed_text(c.put_in, 2, point));
      figure("IO", key, c.name, "SMO", fixed_text(c.taken_out, 2, point));
      figure("IO", key, c.name, "SMT", fixed_text(c.drawer, 2, point));
    }
    for (const auto& c : d.counters) {
      figure("NC", "", "", "NI", fixed_text(c.sales, 0));
      figure("NC", "", "", "NO", fixed_text(c.refunds, 0));
    }
    for (const auto& g : d.groups) {
      figure("TXS", g.group, "", "TXPR", fixed_text(g.rate, 2, point));
      figure("TXS", g.group, "", "SMI", fixed_text(g.turnover_sales, 2, point));
      figure("TXS", g.group, "", "SMO", fixed_text(g.turnover_refunds, 2, point));
      figure("TXS", g.group, "", "TXI", fixed_text(g.tax_sales, 2, point));
      figure("TXS", g.group, "", "TXO", fixed_text(g.tax_refunds, 2, point));
      figure("TXS", g.group, "", "DTPR", fixed_text(g.excise_rate, 2, point));
      figure("TXS", g.group, "", "DTI", fixed_text(g.excise_sales, 2, point));
      figure("TXS", g.group, "", "DTO", fixed_text(g.excise_refunds, 2, point));
    }
  }
  return t;
}

namespace {

void json_string_utf8(std::string& out, std::string_view utf8) {
  out += '"';
  for (const char c : utf8) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      static constexpr char kHex[] = "0123456789abcdef";
      switch (c) {
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += "\\u00"; out += kHex[u >> 4]; out += kHex[u & 15];
      }
    } else {
      out += c;
    }
  }
  out += '"';
}

class JsonObject {
 public:
  explicit JsonObject(std::string& out) : out_(out) { out_ += '{'; }
  JsonObject& key(std::string_view k) {
    if (!first_) out_ += ',';
    first_ = false;
    json_string_utf8(out_, k);
    out_ += ':';
    return *this;
  }
  JsonObject& text(std::string_view k, std::string_view cp1251) {
    key(k);
    json_string_utf8(out_, Cp1251ToUtf8(cp1251));
    return *this;
  }
  JsonObject& ascii(std::string_view k, std::string_view v) {
    key(k);
    json_string_utf8(out_, v);
    return *this;
  }
  JsonObject& integer(std::string_view k, std::int64_t v) {
    key(k);
    out_ += fixed_text(v, 0);
    return *this;
  }
  JsonObject& boolean(std::string_view k, bool v) {
    key(k);
    out_ += v ? "true" : "false";
    return *this;
  }
  JsonObject& money(std::string_view k, std::int64_t v) { return ascii(k, fixed_text(v, 2)); }
  JsonObject& fixed(std::string_view k, const std::optional<std::int64_t>& v, int places) {
    if (!v) {
      key(k);
      out_ += "null";
      return *this;
    }
    return ascii(k, fixed_text(*v, places));
  }
  void close() { out_ += '}'; }

 private:
  std::string& out_;
  bool first_ = true;
};

template <typename T, typename F>
void json_array(std::string& out, JsonObject& parent, std::string_view name, const std::vector<T>& items, F&& f) {
  parent.key(name);
  out += '[';
  bool first = true;
  for (const auto& item : items) {
    if (!first) out += ',';
    first = false;
    JsonObject o(out);
    f(o, item);
    o.close();
  }
  out += ']';
}

}  // namespace

std::string export_json(const std::vector<const ExactDocument*>& docs) {
  std::string out;
  out.reserve(docs.size() * 3000);
  out += "[";
  bool first = true;
  for (const ExactDocument* p : docs) {
    const ExactDocument& d = *p;
    out += first ? "\n" : ",\n";
    first = false;
    JsonObject o(out);
    o.text("zn", d.zn).text("fn", d.fn).text("tn", d.tn).integer("di", d.di).integer("number", d.number);
    o.ascii("class", d.is_zreport ? "zreport" : "receipt").text("datetime", iso_time(d.ts));
    o.ascii("kind", kind_text(d));
    if (!d.is_zreport) {
      o.integer("type", d.type).boolean("annulled", d.annulled).money("total", d.total).text("cash_desk", d.cash_desk);
      json_array(out, o, "lines", d.lines, [](JsonObject& j, const ExactLine& l) {
        j.integer("n", l.n).ascii("kind", l.kind).text("code", l.code).text("name", l.name);
        j.fixed("quantity", l.quantity, 3).fixed("price", l.price, 2).fixed("sum", l.sum, 2);
        j.text("tax_group", l.tax_group).fixed("rate", l.rate, 2);
      });
      json_array(out, o, "payments", d.payments, [](JsonObject& j, const ExactPayment& m) {
        j.integer("n", m.n).integer("form", m.form).text("name", m.name).money("sum", m.sum);
        j.money("change", m.change).text("rrn", m.rrn);
      });
      json_array(out, o, "taxes", d.taxes, [](JsonObject& j, const ExactTax& x) {
        j.text("group", x.group).money("rate", x.rate).money("tax", x.tax).money("excise", x.excise);
        j.money("excise_rate", x.excise_rate);
      });
    } else {
      json_array(out, o, "payment_forms", d.forms, [](JsonObject& j, const ZPaymentForm& f) {
        j.integer("form", f.form).text("name", f.name).money("sales", f.sales).money("refunds", f.refunds);
      });
      json_array(out, o, "cash", d.cash, [](JsonObject& j, const ZCash& c) {
        j.integer("form", c.form).text("name", c.name).money("put_in", c.put_in);
        j.money("taken_out", c.taken_out).money("drawer", c.drawer);
      });
      json_array(out, o, "counters", d.counters, [](JsonObject& j, const ZCounters& c) {
        j.integer("sales", c.sales).integer("refunds", c.refunds);
      });
      json_array(out, o, "tax_groups", d.groups, [](JsonObject& j, const ZTaxGroup& g) {
        j.text("group", g.group).text("date", g.date).money("rate", g.rate);
        j.money("turnover_sales", g.turnover_sales).money("turnover_refunds", g.turnover_refunds);
        j.money("tax_sales", g.tax_sales).money("tax_refunds", g.tax_refunds);
        j.money("excise_rate", g.excise_rate).money("excise_sales", g.excise_sales);
        j.money("excise_refunds", g.excise_refunds);
      });
    }
    o.close();
  }
  out += docs.empty() ? "]\n" : "\n]\n";
  return out;
}

namespace {

std::system_error file_error(const std::filesystem::path& path, int error) {
  return std::system_error(error, std::generic_category(), "cannot write " + path.string());
}

// The bytes into a new temporary file beside `final_path`; its name.
std::filesystem::path write_temporary(const std::filesystem::path& final_path, const std::string& bytes) {
  std::string pattern = final_path.string() + ".XXXXXX";
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) throw file_error(final_path, errno);
  const std::filesystem::path temp = pattern;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int e = errno;
      ::close(fd);
      ::unlink(temp.c_str());
      throw file_error(final_path, e);
    }
    done += static_cast<std::size_t>(n);
  }
  ::fchmod(fd, 0644);
  if (::close(fd) != 0) {
    const int e = errno;
    ::unlink(temp.c_str());
    throw file_error(final_path, e);
  }
  return temp;
}

}  // namespace

void write_file_atomically(const std::filesystem::path& file, const std::string& bytes) {
  const auto temp = write_temporary(file, bytes);
  if (::rename(temp.c_str(), file.c_str()) != 0) {
    const int e = errno;
    ::unlink(temp.c_str());
    throw file_error(file, e);
  }
}

void write_csv_folder(const std::filesystem::path& folder, const CsvTables& tables) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) throw std::system_error(ec, "cannot create " + folder.string());
  const std::pair<const char*, const std::string*> files[] = {
      {"documents.csv", &tables.documents}, {"lines.csv", &tables.lines},     {"payments.csv", &tables.payments},
      {"taxes.csv", &tables.taxes},         {"zreports.csv", &tables.zreports}};
  std::vector<std::pair<std::filesystem::path, std::filesystem::path>> written;  // temporary, final
  try {
    for (const auto& [name, bytes] : files) {
      const auto final_path = folder / name;
      written.emplace_back(write_temporary(final_path, *bytes), final_path);
    }
  } catch (...) {
    for (const auto& w : written) ::unlink(w.first.c_str());
    throw;
  }
  for (std::size_t i = 0; i < written.size(); ++i) {
    if (::rename(written[i].first.c_str(), written[i].second.c_str()) != 0) {
      const int e = errno;
      for (std::size_t j = i; j < written.size(); ++j) ::unlink(written[j].first.c_str());
      throw file_error(written[i].second, e);
    }
  }
}

}  // namespace tallyglass

#include "export/reconcile.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "text/cp1251.h"

namespace tallyglass {

namespace {

std::int64_t add(std::int64_t a, std::int64_t b, const ExactDocument& d) {
  std::int64_t r = 0;
  if (__builtin_add_overflow(a, b, &r)) {
    throw ExportError("document DI " + std::to_string(d.di) + ": the day's sum leaves the range of 64-bit integers");
  }
  return r;
}

struct FormSums { std::int64_t sales = 0, refunds = 0; };
struct GroupSums { std::int64_t turn_in = 0, turn_out = 0, tax_in = 0, tax_out = 0, excise_in = 0, excise_out = 0; };
struct CashSums { std::int64_t put_in = 0, taken_out = 0, drawer = 0; };

// One side of a day: what the Z-report says or what the receipts add up to.
struct DayTotals {
  bool has_counts = false;
  std::int64_t sales = 0, refunds = 0;
  std::map<std::int64_t, FormSums> forms;
  std::map<std::string, GroupSums> groups;
  std::map<std::int64_t, CashSums> cash;
};

DayTotals zreport_totals(const ExactDocument& z) {
  DayTotals t;
  for (const auto& c : z.counters) {
    t.has_counts = true;
    t.sales = add(t.sales, c.sales, z);
    t.refunds = add(t.refunds, c.refunds, z);
  }
  for (const auto& f : z.forms) {
    auto& s = t.forms[f.form];
    s.sales = add(s.sales, f.sales, z);
    s.refunds = add(s.refunds, f.refunds, z);
  }
  for (const auto& g : z.groups) {
    auto& s = t.groups[g.group];
    s.turn_in = add(s.turn_in, g.turnover_sales, z);
    s.turn_out = add(s.turn_out, g.turnover_refunds, z);
    s.tax_in = add(s.tax_in, g.tax_sales, z);
    s.tax_out = add(s.tax_out, g.tax_refunds, z);
    s.excise_in = add(s.excise_in, g.excise_sales, z);
    s.excise_out = add(s.excise_out, g.excise_refunds, z);
  }
  for (const auto& c : z.cash) {
    auto& s = t.cash[c.form];
    s.put_in = add(s.put_in, c.put_in, z);
    s.taken_out = add(s.taken_out, c.taken_out, z);
    s.drawer = add(s.drawer, c.drawer, z);
  }
  return t;
}

// Adds one receipt as the register adds it into its Z-report.
void add_receipt(DayTotals& t, const ExactDocument& d) {
  if (d.annulled) return;
  if (d.kind == ReceiptKind::service) {
    for (const auto& l : d.lines) {
      if (!l.sum || (l.kind != "I" && l.kind != "O")) continue;
      const std::int64_t form = l.code.empty() ? 0 : parse_exact_integer(l.code);
      auto& c = t.cash[form];
      (l.kind == "I" ? c.put_in : c.taken_out) = add(l.kind == "I" ? c.put_in : c.taken_out, *l.sum, d);
    }
    return;
  }
  if (d.kind != ReceiptKind::sale && d.kind != ReceiptKind::refund) return;
  const bool sale = d.kind == ReceiptKind::sale;
  (sale ? t.sales : t.refunds) += 1;
  for (const auto& m : d.payments) {
    auto& f = t.forms[m.form];
    std::int64_t net = 0;
    if (__builtin_sub_overflow(m.sum, m.change, &net)) net = add(m.sum, -m.change, d);
    (sale ? f.sales : f.refunds) = add(sale ? f.sales : f.refunds, net, d);
  }
  std::string last_group;
  for (const auto& l : d.lines) {
    if (!l.sum) continue;
    const bool item = l.kind == "P" || l.kind == "CP";
    if (!item && l.kind != "D" && l.kind != "S") continue;
    // A discount or markup without its own group belongs to the line above it.
    const std::string& group = l.tax_group.empty() && !item ? last_group : l.tax_group;
    if (item) last_group = l.tax_group;
    auto& g = t.groups[group];
    const std::int64_t v = l.kind == "D" ? -*l.sum : *l.sum;
    (sale ? g.turn_in : g.turn_out) = add(sale ? g.turn_in : g.turn_out, v, d);
  }
  for (const auto& x : d.taxes) {
    auto& g = t.groups[x.group];
    (sale ? g.tax_in : g.tax_out) = add(sale ? g.tax_in : g.tax_out, x.tax, d);
    (sale ? g.excise_in : g.excise_out) = add(sale ? g.excise_in : g.excise_out, x.excise, d);
  }
}

void figure(ReconcileDay& day, std::string name, bool amount, std::optional<std::int64_t> z, std::int64_t r) {
  ReconcileFigure f;
  f.name = std::move(name);
  f.amount = amount;
  f.zreport = z;
  f.receipts = r;
  f.agree = day.open || z.value_or(0) == r;
  if (!f.agree) day.agree = false;
  day.figures.push_back(std::move(f));
}

template <typename K, typename V>
std::set<K> keys_of(const std::map<K, V>& a, const std::map<K, V>& b) {
  std::set<K> keys;
  for (const auto& [k, v] : a) keys.insert(k);
  for (const auto& [k, v] : b) keys.insert(k);
  return keys;
}

template <typename K, typename V>
std::optional<V> find_in(const std::map<K, V>& m, const K& k) {
  const auto it = m.find(k);
  if (it == m.end()) return std::nullopt;
  return it->second;
}

void compare(ReconcileDay& day, const DayTotals* z, DayTotals r, const ExactDocument* z_doc) {
  static const DayTotals kNone;
  const DayTotals& zt = z ? *z : kNone;
  // The drawer: put in - taken out + sales - refunds of the same form.
  for (auto& [form, c] : r.cash) {
    const FormSums f = find_in(r.forms, form).value_or(FormSums{});
    c.drawer = c.put_in - c.taken_out + f.sales - f.refunds;
  }
  for (const auto& [form, c] : zt.cash) {
    if (r.cash.count(form) == 0) {
      const FormSums f = find_in(r.forms, form).value_or(FormSums{});
      r.cash[form].drawer = f.sales - f.refunds;
    }
  }
  (void)z_doc;
  auto zv = [&](bool present, std::int64_t v) { return present ? std::optional<std::int64_t>(v) : std::nullopt; };
  figure(day, "NC NI", false, zv(zt.has_counts, zt.sales), r.sales);
  figure(day, "NC NO", false, zv(zt.has_counts, zt.refunds), r.refunds);
  for (const auto form : keys_of(zt.forms, r.forms)) {
    const auto zf = find_in(zt.forms, form);
    const auto rf = find_in(r.forms, form).value_or(FormSums{});
    const std::string k = "M T=" + std::to_string(form) + " ";
    figure(day, k + "SMI", true, zv(zf.has_value(), zf ? zf->sales : 0), rf.sales);
    figure(day, k + "SMO", true, zv(zf.has_value(), zf ? zf->refunds : 0), rf.refunds);
  }
  for (const auto& group : keys_of(zt.groups, r.groups)) {
    const auto zg = find_in(zt.groups, group);
    const auto rg = find_in(r.groups, group).value_or(GroupSums{});
    const std::string k = "TXS TX=" + Cp1251ToUtf8(group) + " ";
    const bool p = zg.has_value();
    const GroupSums g = zg.value_or(GroupSums{});
    figure(day, k + "SMI", true, zv(p, g.turn_in), rg.turn_in);
    figure(day, k + "SMO", true, zv(p, g.turn_out), rg.turn_out);
    figure(day, k + "TXI", true, zv(p, g.tax_in), rg.tax_in);
    figure(day, k + "TXO", true, zv(p, g.tax_out), rg.tax_out);
    figure(day, k + "DTI", true, zv(p, g.excise_in), rg.excise_in);
    figure(day, k + "DTO", true, zv(p, g.excise_out), rg.excise_out);
  }
  for (const auto form : keys_of(zt.cash, r.cash)) {
    const auto zc = find_in(zt.cash, form);
    const auto rc = find_in(r.cash, form).value_or(CashSums{});
    const std::string k = "IO T=" + std::to_string(form) + " ";
    const bool p = zc.has_value();
    const CashSums c = zc.value_or(CashSums{});
    figure(day, k + "SMI", true, zv(p, c.put_in), rc.put_in);
    figure(day, k + "SMO", true, zv(p, c.taken_out), rc.taken_out);
    figure(day, k + "SMT", true, zv(p, c.drawer), rc.drawer);
  }
}

void add_range(std::vector<std::pair<std::int64_t, std::int64_t>>& ranges, std::int64_t first, std::int64_t last) {
  if (first <= last) ranges.emplace_back(first, last);
}

}  // namespace

bool Reconciliation::agree() const {
  return std::all_of(days.begin(), days.end(), [](const ReconcileDay& d) { return d.agree && d.complete; });
}

Reconciliation reconcile(const std::vector<const ExactDocument*>& docs, const std::vector<AbandonedReceipt>& abandoned) {
  std::map<std::pair<std::string, std::string>, std::vector<const ExactDocument*>> registers;
  for (const ExactDocument* d : docs) registers[{d->zn, d->fn}].push_back(d);

  Reconciliation result;
  for (auto& entry : registers) {
    // Named, not bound: a lambda below captures them, which clang 14 refuses
    // for a structured binding.
    const std::pair<std::string, std::string>& reg = entry.first;
    std::vector<const ExactDocument*>& list = entry.second;
    std::stable_sort(list.begin(), list.end(), [](const ExactDocument* a, const ExactDocument* b) { return a->di < b->di; });
    std::vector<std::int64_t> lost;
    for (const auto& a : abandoned) {
      if ((a.zn.empty() || a.zn == reg.first) && (a.fn.empty() || a.fn == reg.second)) lost.push_back(a.number);
    }
    std::sort(lost.begin(), lost.end());

    std::optional<std::int64_t> last_number;  // of the register's receipts so far
    std::int64_t next_di = list.empty() ? 0 : list.front()->di;
    std::vector<const ExactDocument*> receipts;

    auto close_day = [&](const ExactDocument* z) {
      ReconcileDay day;
      day.zn = Cp1251ToUtf8(reg.first);
      day.fn = Cp1251ToUtf8(reg.second);
      day.open = z == nullptr;
      const std::optional<std::int64_t> before = last_number;
      DayTotals sums;
      std::int64_t expected_di = next_di;
      for (const ExactDocument* r : receipts) {
        add_range(day.gaps.di, expected_di, r->di - 1);
        expected_di = r->di + 1;
        if (last_number) add_range(day.gaps.numbers, *last_number + 1, r->number - 1);
        last_number = r->number;
        if (day.first_number == 0) day.first_number = r->number;
        day.last_number = r->number;
        ++day.receipts;
        if (r->annulled) ++day.annulled;
        add_receipt(sums, *r);
      }
      if (z) {
        add_range(day.gaps.di, expected_di, z->di - 1);
        day.number = z->number;
        day.di = z->di;
        day.ts = Cp1251ToUtf8(iso_time(z->ts));
        next_di = z->di + 1;
      }
      for (const std::int64_t n : lost) {
        // Before a register's first loaded receipt nothing tells which day a number belonged to.
        const bool after = before ? n > *before : day.first_number != 0 && n >= day.first_number;
        const bool within = day.open || (last_number && n <= *last_number);
        if (after && within) day.gaps.abandoned.push_back(n);
      }
      day.complete = day.gaps.empty();
      if (z) {
        const DayTotals zt = zreport_totals(*z);
        compare(day, &zt, std::move(sums), z);
      } else {
        compare(day, nullptr, std::move(sums), nullptr);
      }
      (day.open ? result.open : result.days).push_back(std::move(day));
      receipts.clear();
    };

    for (const ExactDocument* d : list) {
      if (d->is_zreport) {
        close_day(d);
      } else {
        receipts.push_back(d);
      }
    }
    if (!receipts.empty()) close_day(nullptr);
  }
  return result;
}

namespace {

std::string value_text(const ReconcileFigure& f, std::int64_t v) { return fixed_text(v, f.amount ? 2 : 0); }

// Width in characters of a UTF-8 text.
std::size_t columns(const std::string& s) {
  return static_cast<std::size_t>(std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string pad_left(std::string s, std::size_t width) {
  if (columns(s) < width) s.insert(0, width - columns(s), ' ');
  return s;
}

std::string pad_right(std::string s, std::size_t width) {
  if (columns(s) < width) s.append(width - columns(s), ' ');
  return s;
}

std::string ranges_text(const std::vector<std::pair<std::int64_t, std::int64_t>>& ranges) {
  std::string out;
  for (const auto& [a, b] : ranges) {
    if (!out.empty()) out += ", ";
    out += std::to_string(a);
    if (b != a) out += "-" + std::to_string(b);
  }
  return out;
}

void gaps_text(std::string& out, const ReconcileGaps& g) {
  if (!g.di.empty()) out += "  нет документов DI " + ranges_text(g.di) + "\n";
  if (!g.numbers.empty()) out += "  нет чеков № " + ranges_text(g.numbers) + "\n";
  if (!g.abandoned.empty()) {
    out += "  получены без данных чеки №";
    for (const auto n : g.abandoned) out += " " + std::to_string(n);
    out += "\n";
  }
}

void day_text(std::string& out, const ReconcileDay& d) {
  if (d.open) {
    out += "Открытая смена (ZN " + d.zn + ", FN " + d.fn + ")";
  } else {
    out += "Z-отчет " + std::to_string(d.number) + " (ZN " + d.zn + ", FN " + d.fn + ", DI " + std::to_string(d.di) +
           (d.ts.empty() ? "" : ", " + d.ts) + ")";
  }
  out += ": чеков " + std::to_string(d.receipts);
  if (d.receipts > 0) out += " (№ " + std::to_string(d.first_number) + "-" + std::to_string(d.last_number) + ")";
  if (d.annulled > 0) out += ", аннулировано " + std::to_string(d.annulled);
  if (d.open) {
    out += " — не сверяется\n";
  } else {
    out += std::string(" — ") + (d.agree ? "сходится" : "расходится") + (d.complete ? "" : ", неполная") + "\n";
  }
  out += "  " + pad_right("показатель", 18) + pad_left("Z-отчет", 14) + pad_left("чеки", 14) +
         pad_left("разница", 14) + "  итог\n";
  for (const auto& f : d.figures) {
    const std::string z = f.zreport ? value_text(f, *f.zreport) : (d.open ? "" : "—");
    const std::string diff = d.open ? "" : value_text(f, f.receipts - f.zreport.value_or(0));
    out += "  " + pad_right(f.name, 18) + pad_left(z, 14) + pad_left(value_text(f, f.receipts), 14) +
           pad_left(diff, 14) + "  " + (d.open ? "" : f.agree ? "да" : "НЕТ") + "\n";
  }
  gaps_text(out, d.gaps);
  out += "\n";
}

void json_ranges(std::string& out, const std::vector<std::pair<std::int64_t, std::int64_t>>& ranges) {
  out += '[';
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    if (i) out += ',';
    out += "[" + std::to_string(ranges[i].first) + "," + std::to_string(ranges[i].second) + "]";
  }
  out += ']';
}

void json_escape(std::string& out, std::string_view s) {
  out += '"';
  for (const char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[(c >> 4) & 15];
      out += kHex[c & 15];
    } else {
      out += c;
    }
  }
  out += '"';
}

void day_json(std::string& out, const ReconcileDay& d) {
  out += "{\"zn\":";
  json_escape(out, d.zn);
  out += ",\"fn\":";
  json_escape(out, d.fn);
  if (!d.open) {
    out += ",\"number\":" + std::to_string(d.number) + ",\"di\":" + std::to_string(d.di) + ",\"datetime\":";
    json_escape(out, d.ts);
  }
  out += ",\"receipts\":" + std::to_string(d.receipts) + ",\"annulled\":" + std::to_string(d.annulled);
  out += ",\"first_number\":" + std::to_string(d.first_number) + ",\"last_number\":" + std::to_string(d.last_number);
  out += std::string(",\"complete\":") + (d.complete ? "true" : "false");
  if (!d.open) out += std::string(",\"agree\":") + (d.agree ? "true" : "false");
  out += ",\"figures\":[";
  for (std::size_t i = 0; i < d.figures.size(); ++i) {
    const auto& f = d.figures[i];
    if (i) out += ',';
    out += "{\"name\":";
    json_escape(out, f.name);
    if (!d.open) {
      out += ",\"zreport\":";
      if (f.zreport) {
        json_escape(out, value_text(f, *f.zreport));
      } else {
        out += "null";
      }
    }
    out += ",\"receipts\":";
    json_escape(out, value_text(f, f.receipts));
    if (!d.open) out += std::string(",\"agree\":") + (f.agree ? "true" : "false");
    out += '}';
  }
  out += "],\"gaps\":{\"di\":";
  json_ranges(out, d.gaps.di);
  out += ",\"numbers\":";
  json_ranges(out, d.gaps.numbers);
  out += ",\"abandoned\":[";
  for (std::size_t i = 0; i < d.gaps.abandoned.size(); ++i) {
    if (i) out += ',';
    out += std::to_string(d.gaps.abandoned[i]);
  }
  out += "]}}";
}

}  // namespace

std::string reconciliation_text(const Reconciliation& r) {
  std::string out;
  int agree = 0, differ = 0, incomplete = 0, open_receipts = 0;
  for (const auto& d : r.days) {
    day_text(out, d);
    agree += d.agree && d.complete;
    differ += !d.agree;
    incomplete += !d.complete;
  }
  for (const auto& d : r.open) {
    day_text(out, d);
    open_receipts += d.receipts;
  }
  out += "Итого: Z-отчетов " + std::to_string(r.days.size()) + ", сходятся " + std::to_string(agree) +
         ", расходятся " + std::to_string(differ) + ", неполных " + std::to_string(incomplete);
  if (!r.open.empty()) out += ", чеков открытой смены " + std::to_string(open_receipts);
  out += r.agree() ? " — всё сходится\n" : " — есть расхождения\n";
  return out;
}

std::string reconciliation_json(const Reconciliation& r) {
  std::string out = std::string("{\"agree\":") + (r.agree() ? "true" : "false") + ",\"zreports\":[";
  for (std::size_t i = 0; i < r.days.size(); ++i) {
    out += i ? ",\n" : "\n";
    day_json(out, r.days[i]);
  }
  out += "],\"open\":[";
  for (std::size_t i = 0; i < r.open.size(); ++i) {
    out += i ? ",\n" : "\n";
    day_json(out, r.open[i]);
  }
  out += "]}\n";
  return out;
}

}  // namespace tallyglass

#include "render/receipt.h"

#include <string>

#include "render/compose.h"
#include "text/base64.h"
#include "text/cp1251.h"

namespace tallyglass {
namespace {

// The receipt literals in Windows-1251, converted once.
struct Texts {
  std::string desk = Utf8ToCp1251(" Каса");
  std::string desk0 = Utf8ToCp1251(" Каса0");
  std::string short_desk = Utf8ToCp1251("            Каса");
  std::string short_desk0 = Utf8ToCp1251("            Каса0");
  std::string refund = Utf8ToCp1251("               ПОВЕРНЕННЯ");
  std::string discount_rate = Utf8ToCp1251("  Знижка -");
  std::string discount = Utf8ToCp1251("  Знижка ");
  std::string on_sum = Utf8ToCp1251(" на Суму");
  std::string on_tax = Utf8ToCp1251(" на Податок");
  std::string markup = Utf8ToCp1251("  Надбавка ");
  std::string cash_in = Utf8ToCp1251("  Внесок");
  std::string cash_out = Utf8ToCp1251("  Видача");
  std::string bar_bit = "BarBitLine";
  std::string annulled = Utf8ToCp1251("       * ЧЕК АНУЛЬОВАНО *");
  std::string total = Utf8ToCp1251("  Сума") + std::string(15, ' ');
  std::string vat = Utf8ToCp1251("       ПДВ_");
  std::string excise = Utf8ToCp1251("  Акцз. збір Д = ");
  std::string credit = Utf8ToCp1251("КРЕДИТ");
  std::string transaction = Utf8ToCp1251("  Транзакція N");
  std::string change = Utf8ToCp1251("  Решта");
  std::string number_template = "  000000000";
  std::string fiscal = Utf8ToCp1251("         ФІСКАЛЬНИЙ ЧЕК");
  std::string refund_type = Utf8ToCp1251("         ВИДАТКОВИЙ ЧЕК");
  std::string service_type = Utf8ToCp1251("         СЛУЖБОВИЙ ЧЕК");
};

const Texts& texts() {
  static const Texts t;
  return t;
}

enum class Layout { full, service };

// "  " + s: most item lines are shifted right by two columns.
std::string indent(std::string_view s) {
  std::string out;
  out.reserve(s.size() + 2);
  out.append("  ").append(s);
  return out;
}

// The same for a line composed just before; its spare capacity usually
// takes the two spaces without a new allocation.
std::string indent(std::string&& s) {
  s.insert(0, 2, ' ');
  return std::move(s);
}

// Amount, a space and the tax letter: the right-hand value of sale lines.
std::string amount_with_letter(float amount, int group) {
  std::string v = amount_text(amount);
  v += ' ';
  v += tax_letter(group);
  return v;
}

void sale_line(const sale& s, bool wrap, bool whole_quantity, Listing& out) {
  std::string_view rest = s.NM;
  if (wrap) {
    while (rest.size() > kNameWidth) {
      out.push_back(indent(rest.substr(0, kNameWidth)));
      rest.remove_prefix(kNameWidth);
    }
  }
  std::string k;
  if (s.Q != 0) {
    out.push_back(indent(rest));
    k = whole_quantity ? quantity_whole_text(s.Q) : quantity_text(s.Q);
    k += ". X ";
    k += amount_text(s.PRC);
    k += " =";
  } else {
    k.assign(rest).append(7, ' ');
  }
  const std::string v = amount_with_letter(s.SM, tax_group(s.TX));
  out.push_back(indent(place_right(std::move(k), v, kAmountColumn)));
}

void discount_line(const sale_up_down& d, Listing& out) {
  const Texts& t = texts();
  std::string k = t.discount_rate + rate_text(d.PR);
  if (integer_part(d.TY) == 1) {
    k += '%';
  } else {
    k = t.discount;
  }
  const std::int32_t target = integer_part(d.TR);
  if (target == 1) k += t.on_sum;
  if (target == 2) k += t.on_tax;
  const int group = d.TX.empty() ? 6 : tax_group(d.TX);
  const std::string v = "-" + amount_with_letter(d.SM, group);
  out.push_back(indent(place_right(std::move(k), v, kAmountColumn)));
}

void markup_line(const sale_up_down& s, Listing& out) {
  std::string k = texts().markup + rate_text(s.PR);
  if (integer_part(s.TY) == 1) k += '%';
  const std::string v = amount_with_letter(s.SM, tax_group(s.TX));
  out.push_back(indent(place_right(std::move(k), v, kAmountColumn)));
}

void service_info_line(const sale_serv_info& h, Layout layout, Listing& out) {
  if (layout == Layout::service) {
    out.push_back(indent(h.text));
    return;
  }
  std::string line = indent(h.HT);
  line += ' ';
  line += h.HT == texts().bar_bit ? h.text : DecodeBase64(h.text);
  out.push_back(std::move(line));
}

// Kinds 1-4 and 6-9; payments, annulment and the end are other passes' work.
void item_line(const check& c, const line_ref& ref, Layout layout, Listing& out) {
  const Texts& t = texts();
  switch (ref.kind) {
    case kind_P:
      sale_line(record_at(c.p_lines, ref.key), true, layout == Layout::service, out);
      break;
    case kind_CP:
      sale_line(record_at(c.cp_lines, ref.key), false, true, out);
      break;
    case kind_D:
      discount_line(record_at(c.d_lines, ref.key), out);
      break;
    case kind_S:
      markup_line(record_at(c.s_lines, ref.key), out);
      break;
    case kind_I:
      out.push_back(place_right(t.cash_in, amount_text(record_at(c.i_lines, ref.key).SM), kAmountColumn));
      break;
    case kind_O:
      out.push_back(
          place_right(t.cash_out, "-" + amount_text(record_at(c.o_lines, ref.key).SM), kAmountColumn));
      break;
    case kind_L:
      out.push_back(indent(record_at(c.l_lines, ref.key).text));
      break;
    case kind_H:
      service_info_line(record_at(c.h_lines, ref.key), layout, out);
      break;
    default:
      break;
  }
}

// The lead, the rate ending at column 30 (its trailing spaces cover the space
// after "="), the amount ending at column 37.
void tax_line(const std::string& lead, float rate, float amount, Listing& out) {
  std::string k = place_right(lead, rate_text(rate) + "%        ", kTaxRateColumn);
  out.push_back(place_right(std::move(k), amount_text(amount), kAmountColumn));
}

void vat_line(int group, float rate, float amount, Listing& out) {
  const std::string& letter = tax_letter(group);
  std::string lead = texts().vat;
  lead.append(letter).append(1, ' ').append(letter).append(" = ");
  tax_line(lead, rate, amount, out);
}

// The receipt end: the annulment mark, or the total and the tax lines.
void totals(const check& c, bool& annulled, Listing& out) {
  const Texts& t = texts();
  const sale_end& e = c.end_line;
  if (e.VD == 1) {
    annulled = true;
    out.push_back(t.annulled);
    return;
  }
  if (c.T == 2) return;  // a service receipt has no totals
  append_separator(out);
  out.push_back(place_right(t.total, amount_text(e.SM), kAmountColumn));
  if (e.has_tx) {
    for (std::int32_t key = 0; key < e.tx_count; ++key) {
      const tx& tax = record_at(e.taxes, key);
      vat_line(tax_group(tax.TX), tax.TXPR, tax.TXSM, out);
    }
    append_separator(out);
  } else if (e.TXAL == 0) {
    vat_line(tax_group(e.TX), e.TXPR, e.TXSM, out);
    append_separator(out);
    append_separator(out);
  } else {
    vat_line(tax_group(e.TX), e.DTPR, e.DTSM, out);
    tax_line(t.excise, e.TXPR, e.TXSM, out);
    append_separator(out);
    append_separator(out);
  }
}

void payment(const sale_pay& p, Listing& out) {
  const Texts& t = texts();
  std::string k = indent(p.NM);
  k.append(6, ' ');
  out.push_back(place_right(std::move(k), amount_text(p.SM), kAmountColumn));
  if (p.NM == t.credit) {
    out.push_back(t.transaction);
    out.push_back(indent(p.RRN));
  }
  if (p.RM != 0) out.push_back(place_right(t.change, "-" + amount_text(p.RM), kAmountColumn));
}

void render_layout(const rq& model, std::int32_t position, Layout layout, Listing& out) {
  const Texts& t = texts();
  const dat& doc = record_at(model.dats, position);
  const check& c = record_at(doc.checks, 0);
  const sale_end& e = c.end_line;
  bool annulled = false;

  render_heading(model, doc,
                 layout == Layout::full ? TaxpayerLine::indented : TaxpayerLine::absent, out);

  if (layout == Layout::full) {
    const std::int32_t desk = c.CN > 99 ? 1 : c.CN;
    std::string line(9, ' ');
    line.append(c.ON).append(desk >= 10 ? t.desk : t.desk0).append(std::to_string(desk));
    out.push_back(std::move(line));
  } else {
    const std::int32_t desk = integer_part(e.CS);
    out.push_back((desk >= 10 ? t.short_desk : t.short_desk0) + std::to_string(desk));
  }
  append_separator(out);
  if (layout == Layout::full && c.T == 1) {
    out.push_back(t.refund);
    append_separator(out);
  }

  // Print positions 1 to line_count(), in order; a position without an entry
  // gives nothing.
  const auto first = c.line_order.lower_bound(1);
  const auto last = c.line_order.upper_bound(c.line_count());
  for (auto it = first; it != last; ++it) item_line(c, it->second, layout, out);
  if (layout == Layout::full) {
    for (auto it = first; it != last; ++it) {
      if (it->second.kind == kind_E) totals(c, annulled, out);
    }
    for (auto it = first; it != last; ++it) {
      if (it->second.kind == kind_M) payment(record_at(c.m_lines, it->second.key), out);
    }
  }

  // Footer: the receipt number with leading zeros, the date and time ending
  // at column 37, then the receipt type.
  std::string k = place_right(t.number_template, integer_text(e.NO), kNumberColumn);
  k.append(layout == Layout::full ? 1 : 8, ' ');
  out.push_back(place_right(std::move(k), stamp_text(doc.ts.text, true), kAmountColumn));
  switch (integer_part(c.T)) {
    case 0:
      if (!annulled) out.push_back(t.fiscal);
      break;
    case 1:
      out.push_back(t.refund_type);
      break;
    case 2:
      out.push_back(t.service_type);
      break;
    default:
      break;
  }
  append_separator(out);
  append_separator(out);
}

}  // namespace

void render_receipt(const rq& model, std::int32_t position, Listing& listing) {
  render_layout(model, position, Layout::full, listing);
}

void render_service_receipt(const rq& model, std::int32_t position, Listing& listing) {
  render_layout(model, position, Layout::service, listing);
}

}  // namespace tallyglass

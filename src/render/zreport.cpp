#include "render/zreport.h"

#include <limits>
#include <string>

#include "render/compose.h"
#include "text/cp1251.h"

namespace tallyglass {
namespace {

struct Texts {
  std::string title = Utf8ToCp1251("           Z-звіт N ");
  std::string subtitle = Utf8ToCp1251("              ЗАГАЛОМ");
  std::string pay_header = Utf8ToCp1251("  ------      Повернення    Продаж");
  std::string pay_total = Utf8ToCp1251("  ВСЬОГО           ");
  std::string cash_header = Utf8ToCp1251("  ------         Видача     Внесок");
  std::string cash_in_drawer = Utf8ToCp1251("  Готівка в касі") + std::string(21, ' ');
  std::string tax_header = Utf8ToCp1251("  ------        Податок       Обіг");
  std::string sales = Utf8ToCp1251("  ДОД. ");
  std::string refunds = Utf8ToCp1251("  ВІД. ");
  std::string no_taxes = "                    0.00      0.00";
  std::string sales_count = Utf8ToCp1251("  Чеків продажу ");
  std::string refund_count = Utf8ToCp1251("  Чеків повернення ");
  std::string rates = Utf8ToCp1251("  Податок     від ");
  std::string excise = Utf8ToCp1251("    Акцизний збір (Вк2) ");
  std::string vat = Utf8ToCp1251("            ПДВ_");
  std::string vat_included = Utf8ToCp1251(" (Вкл) ");
  std::string closing = Utf8ToCp1251("         ФІСКАЛЬНИЙ ЧЕК");
};

const Texts& texts() {
  static const Texts t;
  return t;
}

// The letter right after an excise line moves on to the next group.
int next_group(int g) { return g < std::numeric_limits<int>::max() ? g + 1 : g; }

// A line with amounts ending at columns 24 and 37.
void two_amounts(std::string lead, const std::string& left, const std::string& right,
                 Listing& out) {
  std::string k = place_right(std::move(lead), left, kZFirstAmountColumn);
  out.push_back(place_right(std::move(k), right, kAmountColumn));
}

}  // namespace

void render_zreport(const rq& model, std::int32_t position, Listing& out) {
  const Texts& t = texts();
  const dat& doc = record_at(model.dats, position);
  const zvit& z = record_at(doc.zvits, 0);

  render_heading(model, doc, TaxpayerLine::flush, out);
  out.push_back(t.title + std::to_string(integer_part(z.NO)));
  out.push_back(t.subtitle);

  if (z.has_z_m) {
    out.push_back(t.pay_header);
    float refunded = 0;  // single-precision sums, as the register adds them
    float sold = 0;
    for (std::int32_t key = 0; key < z.z_m_count; ++key) {
      const vid_pay& m = record_at(z.z_m_lines, key);
      two_amounts("  " + m.NM, amount_text(m.SMO), amount_text(m.SMI), out);
      refunded += m.SMO * 0.01f;
      sold += m.SMI * 0.01f;
    }
    two_amounts(t.pay_total, fixed_text(refunded, 2), fixed_text(sold, 2), out);
  }

  if (z.has_io) {
    out.push_back(t.cash_header);
    for (std::int32_t key = 0; key < z.io_count; ++key) {
      const vid_rotate& r = record_at(z.io_lines, key);
      two_amounts("  " + r.NM, amount_text(r.SMO), amount_text(r.SMI), out);
      out.push_back(place_right(t.cash_in_drawer, amount_text(r.SMT), kAmountColumn));
    }
  }

  out.push_back(t.tax_header);
  if (z.has_txs) {
    for (std::int32_t key = 0; key < z.txs_count; ++key) {
      const vid_tax& tax = record_at(z.txs_lines, key);
      int g = tax_group(tax.TX);
      if (tax.DTI != 0) {
        two_amounts(t.sales + tax_letter(g), amount_text(tax.DTI), amount_text(tax.SMI - tax.TXI),
                    out);
        g = next_group(g);
      }
      two_amounts(t.sales + tax_letter(g), amount_text(tax.TXI), amount_text(tax.SMI), out);
    }
  } else {
    out.push_back(t.no_taxes);
  }

  std::string count = t.sales_count;
  if (z.has_nc) {
    for (std::int32_t key = 0; key < z.nc_count; ++key) count += integer_text(record_at(z.nc_lines, key).NI);
  } else {
    count += '0';
  }
  out.push_back(std::move(count));

  if (z.has_txs) {
    for (std::int32_t key = 0; key < z.txs_count; ++key) {
      const vid_tax& tax = record_at(z.txs_lines, key);
      two_amounts(t.refunds + tax_letter(tax_group(tax.TX)), amount_text(tax.DTO),
                  amount_text(tax.SMO), out);
    }
  } else {
    out.push_back(t.no_taxes);
  }

  count = t.refund_count;
  if (z.has_nc) {
    for (std::int32_t key = 0; key < z.nc_count; ++key) count += integer_text(record_at(z.nc_lines, key).NO);
  } else {
    count += '0';
  }
  out.push_back(std::move(count));

  if (z.has_txs) {
    out.push_back(place_right(t.rates, stamp_text(record_at(z.txs_lines, 0).TS, false), kAmountColumn));
    for (std::int32_t key = 0; key < z.txs_count; ++key) {
      const vid_tax& tax = record_at(z.txs_lines, key);
      int g = tax_group(tax.TX);
      if (tax.DTPR != 0) {
        std::string lead = t.excise;
        lead.append(tax_letter(g)).append(" = ");
        out.push_back(place_right(std::move(lead), rate_text(tax.DTPR) + "%", kAmountColumn));
        g = next_group(g);
      }
      const std::string& letter = tax_letter(g);
      std::string lead = t.vat;
      lead.append(letter).append(t.vat_included).append(letter).append(" = ");
      out.push_back(place_right(std::move(lead), rate_text(tax.TXPR) + "%", kAmountColumn));
    }
  } else {
    out.push_back(t.rates);
  }

  out.push_back(place_right(std::string(8, ' '), stamp_text(doc.ts.text, true), kAmountColumn));
  out.push_back(t.closing);
  append_separator(out);
  append_separator(out);
}

}  // namespace tallyglass

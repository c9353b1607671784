#include "support/journal_text.h"

#include "journal/xml_document.h"
#include "text/cp1251.h"

namespace tallyglass::test_support {

std::string journal_text(std::string_view utf8_body) {
  std::string utf8 = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<RQ V=\"1\">\r\n";
  utf8 += utf8_body;
  utf8 += "\r\n</RQ>\r\n";
  return Utf8ToCp1251(utf8);
}

void Journal::load(std::string_view utf8_body) { load_text(journal_text(utf8_body)); }

void Journal::load_text(std::string_view cp1251_text) {
  xml_document document(cp1251_text);
  state.clear();
  load_root(model, state, document, document.root());
}

std::string cp(std::string_view utf8) { return Utf8ToCp1251(utf8); }

namespace {

void add(std::string& out, const char* name, float v) {
  out += name;
  out += '=';
  out += std::to_string(v);
  out += ' ';
}

void add(std::string& out, const char* name, const std::string& v) {
  out += name;
  out += "=\"";
  out += v;
  out += "\" ";
}

}  // namespace

std::string describe(const dat& d) {
  std::string s;
  add(s, "FN", d.FN);
  add(s, "DI", d.DI);
  add(s, "TS", d.ts.text);
  s += d.is_check ? "check\n" : "zvit\n";
  for (const auto& [key, c] : d.checks) {
    s += "C" + std::to_string(key) + ' ';
    add(s, "T", c.T);
    add(s, "ON", c.ON);
    s += "counts " + std::to_string(c.p_count) + ',' + std::to_string(c.cp_count) + ',' +
         std::to_string(c.d_count) + ',' + std::to_string(c.s_count) + ',' +
         std::to_string(c.m_count) + ',' + std::to_string(c.i_count) + ',' +
         std::to_string(c.o_count) + ',' + std::to_string(c.l_count) + ',' +
         std::to_string(c.h_count) + ',' + std::to_string(c.vd_count) + ',' +
         std::to_string(c.e_count) + " next " + std::to_string(c.line_order_next) + "\norder";
    for (const auto& [pos, ref] : c.line_order) {
      s += ' ' + std::to_string(pos) + ':' + std::to_string(ref.kind) + '/' +
           std::to_string(ref.key);
    }
    s += '\n';
    for (const auto& [k, p] : c.p_lines) {
      s += "P" + std::to_string(k) + ' ';
      add(s, "N", p.N);
      add(s, "NM", p.NM);
      add(s, "SM", p.SM);
      s += '\n';
    }
    for (const auto& [k, m] : c.m_lines) {
      s += "M" + std::to_string(k) + ' ';
      add(s, "NM", m.NM);
      add(s, "SM", m.SM);
      s += '\n';
    }
    s += "E ";
    add(s, "NO", c.end_line.NO);
    add(s, "SM", c.end_line.SM);
    s += "taxes " + std::to_string(c.end_line.tx_count) + '\n';
  }
  for (const auto& [key, z] : d.zvits) {
    s += "Z" + std::to_string(key) + ' ';
    add(s, "NO", z.NO);
    s += "counts " + std::to_string(z.txs_count) + ',' + std::to_string(z.z_m_count) + ',' +
         std::to_string(z.io_count) + ',' + std::to_string(z.nc_count) + '\n';
  }
  return s;
}

}  // namespace tallyglass::test_support

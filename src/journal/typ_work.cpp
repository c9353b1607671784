#include "journal/typ_work.h"

#include <initializer_list>
#include <utility>

namespace tallyglass {
namespace {

using entry = std::pair<const char*, std::int32_t>;

void fill(typ_work::table& t, std::initializer_list<entry> entries) {
  for (const auto& [name, code] : entries) t.emplace(name, code);
}

std::int32_t get_or_add(typ_work::table& t, std::string_view name) {
  const auto it = t.find(name);
  if (it != t.end()) return it->second;
  t.emplace(std::string(name), 0);
  return 0;
}

}  // namespace

typ_work::typ_work() {
  fill(elements, {{"RQ", 0},  {"DAT", 1}, {"MAC", 2},  {"C", 3},    {"Z", 4},   {"TS", 5},
                  {"P", 6},   {"CP", 7},  {"D", 8},    {"S", 9},    {"M", 10},  {"I", 11},
                  {"O", 12},  {"L", 13},  {"H", 14},   {"VD", 15},  {"E", 16},  {"TXS", 17},
                  {"Z_M", 18}, {"IO", 19}, {"NC", 20}, {"TX", 21}});
  fill(rq_table, {{"V", 0}});
  fill(dat_table, {{"FN", 0}, {"TN", 1}, {"ZN", 2}, {"DI", 3}, {"DT", 4}, {"V", 5}});
  fill(mac_table, {{"DI", 0}, {"NT", 1}});
  fill(c_table, {{"T", 0}, {"CN", 1}, {"ON", 2}});
  fill(p_table, {{"N", 0}, {"C", 1}, {"CD", 2}, {"NM", 3}, {"SM", 4}, {"Q", 5}, {"PRC", 6},
                 {"TX", 7}});
  fill(d_table, {{"TR", 0}, {"TY", 1}, {"ST", 2}, {"NI", 3}, {"TX", 4}, {"PR", 5}, {"SM", 6},
                 {"N", 7}});
  fill(m_table, {{"N", 0}, {"T", 1}, {"NM", 2}, {"SM", 3}, {"RM", 4}, {"RRN", 5}});
  fill(i_o_table, {{"N", 0}, {"T", 1}, {"NM", 2}, {"SM", 3}});
  fill(l_table, {{"N", 0}});
  fill(vd_table, {{"N", 0}, {"NI", 1}});
  fill(e_table, {{"N", 0},     {"NO", 1},    {"SM", 2},    {"SE", 3},   {"TX", 4},   {"TXPR", 5},
                 {"TXSM", 6},  {"DTPR", 7},  {"DTSM", 8},  {"TXTY", 9}, {"TXAL", 10}, {"CS", 11},
                 {"VD", 12},   {"TS", 13},   {"FN", 14},   {"NS", 15}});
  fill(ts_table, {{"TS", 0}});
  fill(z_table, {{"NO", 0}});
  fill(txs_table, {{"TX", 0},   {"TS", 1},   {"TXPR", 2}, {"TXI", 3},  {"TXO", 4},  {"DTPR", 5},
                   {"DTI", 6},  {"DTO", 7},  {"TXTY", 8}, {"TXAL", 9}, {"SMI", 10}, {"SMO", 11}});
  fill(z_m_table, {{"T", 0}, {"NM", 1}, {"SMI", 2}, {"SMO", 3}});
  fill(io_table, {{"T", 0}, {"NM", 1}, {"SMI", 2}, {"SMO", 3}, {"SMT", 4}});
  fill(nc_table, {{"NI", 0}, {"NO", 1}});
  fill(tx_table, {{"TX", 0}, {"TXPR", 1}, {"TXSM", 2}, {"DTPR", 3}, {"DTSM", 4}, {"TXTY", 5},
                  {"TXAL", 6}});
  fill(h_table, {{"N", 0}, {"HP", 2}, {"HT", 3}});
}

typ_work::table* typ_work::table_of(std::int32_t element) {
  switch (element) {
    case el_RQ: return &rq_table;
    case el_DAT: return &dat_table;
    case el_MAC: return &mac_table;
    case el_C: return &c_table;
    case el_Z: return &z_table;
    case el_TS: return &ts_table;
    case el_P:
    case el_CP: return &p_table;
    case el_D:
    case el_S: return &d_table;
    case el_M: return &m_table;
    case el_I:
    case el_O: return &i_o_table;
    case el_L: return &l_table;
    case el_H: return &h_table;
    case el_VD: return &vd_table;
    case el_E: return &e_table;
    case el_TXS: return &txs_table;
    case el_Z_M: return &z_m_table;
    case el_IO: return &io_table;
    case el_NC: return &nc_table;
    case el_TX: return &tx_table;
    default: return nullptr;
  }
}

std::int32_t typ_work::element_code(std::string_view name) { return get_or_add(elements, name); }

std::int32_t typ_work::attribute_code(std::int32_t element, std::string_view name) {
  table* t = table_of(element);
  return t == nullptr ? 0 : get_or_add(*t, name);
}

}  // namespace tallyglass

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
  fill(rq_table, {{"V", kRQ_V}});
  fill(dat_table, {{"FN", kDAT_FN}, {"TN", kDAT_TN}, {"ZN", kDAT_ZN}, {"DI", kDAT_DI},
                   {"DT", kDAT_DT}, {"V", kDAT_V}});
  fill(mac_table, {{"DI", kMAC_DI}, {"NT", kMAC_NT}});
  fill(c_table, {{"T", kC_T}, {"CN", kC_CN}, {"ON", kC_ON}});
  fill(p_table, {{"N", kP_N}, {"C", kP_C}, {"CD", kP_CD}, {"NM", kP_NM}, {"SM", kP_SM},
                 {"Q", kP_Q}, {"PRC", kP_PRC}, {"TX", kP_TX}});
  fill(d_table, {{"TR", kD_TR}, {"TY", kD_TY}, {"ST", kD_ST}, {"NI", kD_NI}, {"TX", kD_TX},
                 {"PR", kD_PR}, {"SM", kD_SM}, {"N", kD_N}});
  fill(m_table, {{"N", kM_N}, {"T", kM_T}, {"NM", kM_NM}, {"SM", kM_SM}, {"RM", kM_RM},
                 {"RRN", kM_RRN}});
  fill(i_o_table, {{"N", kI_N}, {"T", kI_T}, {"NM", kI_NM}, {"SM", kI_SM}});
  fill(l_table, {{"N", kL_N}});
  fill(vd_table, {{"N", kVD_N}, {"NI", kVD_NI}});
  fill(e_table, {{"N", kE_N}, {"NO", kE_NO}, {"SM", kE_SM}, {"SE", kE_SE}, {"TX", kE_TX},
                 {"TXPR", kE_TXPR}, {"TXSM", kE_TXSM}, {"DTPR", kE_DTPR}, {"DTSM", kE_DTSM},
                 {"TXTY", kE_TXTY}, {"TXAL", kE_TXAL}, {"CS", kE_CS}, {"VD", kE_VD},
                 {"TS", kE_TS}, {"FN", kE_FN}, {"NS", kE_NS}});
  fill(ts_table, {{"TS", kTS_TS}});
  fill(z_table, {{"NO", kZ_NO}});
  fill(txs_table, {{"TX", kTXS_TX}, {"TS", kTXS_TS}, {"TXPR", kTXS_TXPR}, {"TXI", kTXS_TXI},
                   {"TXO", kTXS_TXO}, {"DTPR", kTXS_DTPR}, {"DTI", kTXS_DTI}, {"DTO", kTXS_DTO},
                   {"TXTY", kTXS_TXTY}, {"TXAL", kTXS_TXAL}, {"SMI", kTXS_SMI},
                   {"SMO", kTXS_SMO}});
  fill(z_m_table, {{"T", kZM_T}, {"NM", kZM_NM}, {"SMI", kZM_SMI}, {"SMO", kZM_SMO}});
  fill(io_table, {{"T", kIO_T}, {"NM", kIO_NM}, {"SMI", kIO_SMI}, {"SMO", kIO_SMO},
                  {"SMT", kIO_SMT}});
  fill(nc_table, {{"NI", kNC_NI}, {"NO", kNC_NO}});
  fill(tx_table, {{"TX", kTX_TX}, {"TXPR", kTX_TXPR}, {"TXSM", kTX_TXSM}, {"DTPR", kTX_DTPR},
                  {"DTSM", kTX_DTSM}, {"TXTY", kTX_TXTY}, {"TXAL", kTX_TXAL}});
  fill(h_table, {{"N", kH_N}, {"HP", kH_HP}, {"HT", kH_HT}});
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

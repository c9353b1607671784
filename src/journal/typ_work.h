#pragma once
// The schema dictionary: element and attribute names of the journal mapped to
// the small codes the loader dispatches on.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace tallyglass {

// Element codes.
enum element_code_value : std::int32_t {
  el_RQ = 0,
  el_DAT = 1,
  el_MAC = 2,
  el_C = 3,
  el_Z = 4,
  el_TS = 5,
  el_P = 6,
  el_CP = 7,
  el_D = 8,
  el_S = 9,
  el_M = 10,
  el_I = 11,
  el_O = 12,
  el_L = 13,
  el_H = 14,
  el_VD = 15,
  el_E = 16,
  el_TXS = 17,
  el_Z_M = 18,
  el_IO = 19,
  el_NC = 20,
  el_TX = 21,
};

// Twenty tables from a name (Windows-1251 bytes, case-sensitive) to a code.
// A lookup of a name a table does not hold yields 0 and adds the name with 0,
// so the tables grow with every new name met while loading.
struct typ_work {
  using table = std::map<std::string, std::int32_t, std::less<>>;

  table elements;
  table rq_table;
  table dat_table;
  table mac_table;
  table c_table;
  table p_table;    // "P" and "CP"
  table d_table;    // "D" and "S"
  table m_table;    // "M" of a receipt
  table i_o_table;  // "I" and "O"
  table l_table;
  table vd_table;
  table e_table;
  table ts_table;
  table z_table;
  table txs_table;
  table z_m_table;
  table io_table;   // "IO"
  table nc_table;
  table tx_table;
  table h_table;

  typ_work();

  std::int32_t element_code(std::string_view name);
  // An element code outside 0-21 gives 0 and adds nothing.
  std::int32_t attribute_code(std::int32_t element, std::string_view name);

  // The table an element code uses, or nullptr outside 0-21.
  table* table_of(std::int32_t element);
};

}  // namespace tallyglass

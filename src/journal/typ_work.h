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

// Attribute codes of each table, as the dictionary fixes them; "text" is the
// code an element's only-child text is stored under.
enum : std::int32_t { kRQ_V = 0 };  // "RQ"
// "DAT"
enum : std::int32_t {
  kDAT_FN = 0, kDAT_TN = 1, kDAT_ZN = 2, kDAT_DI = 3, kDAT_DT = 4, kDAT_V = 5,
};
enum : std::int32_t { kMAC_DI = 0, kMAC_NT = 1, kMAC_text = 2 };  // "MAC"
enum : std::int32_t { kC_T = 0, kC_CN = 1, kC_ON = 2 };  // "C"
// "P" and "CP"
enum : std::int32_t {
  kP_N = 0, kP_C = 1, kP_CD = 2, kP_NM = 3, kP_SM = 4, kP_Q = 5, kP_PRC = 6, kP_TX = 7,
};
// "D" and "S"
enum : std::int32_t {
  kD_TR = 0, kD_TY = 1, kD_ST = 2, kD_NI = 3, kD_TX = 4, kD_PR = 5, kD_SM = 6, kD_N = 7,
};
// "M" of a receipt
enum : std::int32_t {
  kM_N = 0, kM_T = 1, kM_NM = 2, kM_SM = 3, kM_RM = 4, kM_RRN = 5,
};
enum : std::int32_t { kI_N = 0, kI_T = 1, kI_NM = 2, kI_SM = 3 };  // "I" and "O"
enum : std::int32_t { kL_N = 0, kL_text = 1 };  // "L"
enum : std::int32_t { kVD_N = 0, kVD_NI = 1 };  // "VD"
// "E"
enum : std::int32_t {
  kE_N = 0, kE_NO = 1, kE_SM = 2, kE_SE = 3, kE_TX = 4, kE_TXPR = 5, kE_TXSM = 6, kE_DTPR = 7,
  kE_DTSM = 8, kE_TXTY = 9, kE_TXAL = 10, kE_CS = 11, kE_VD = 12, kE_TS = 13, kE_FN = 14, kE_NS
  = 15,
};
enum : std::int32_t { kTS_TS = 0 };  // "TS"
enum : std::int32_t { kZ_NO = 0 };  // "Z"
// "TXS"
enum : std::int32_t {
  kTXS_TX = 0, kTXS_TS = 1, kTXS_TXPR = 2, kTXS_TXI = 3, kTXS_TXO = 4, kTXS_DTPR = 5, kTXS_DTI =
  6, kTXS_DTO = 7, kTXS_TXTY = 8, kTXS_TXAL = 9, kTXS_SMI = 10, kTXS_SMO = 11,
};
// "M" of a Z-report ("Z_M")
enum : std::int32_t {
  kZM_T = 0, kZM_NM = 1, kZM_SMI = 2, kZM_SMO = 3,
};
enum : std::int32_t { kIO_T = 0, kIO_NM = 1, kIO_SMI = 2, kIO_SMO = 3, kIO_SMT = 4 };  // "IO"
enum : std::int32_t { kNC_NI = 0, kNC_NO = 1 };  // "NC"
// "TX"
enum : std::int32_t {
  kTX_TX = 0, kTX_TXPR = 1, kTX_TXSM = 2, kTX_DTPR = 3, kTX_DTSM = 4, kTX_TXTY = 5, kTX_TXAL =
  6,
};
enum : std::int32_t { kH_N = 0, kH_HP = 2, kH_HT = 3, kH_text = 1 };  // "H"

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

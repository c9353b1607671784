#pragma once
// The document model: plain value records in ordered maps with get-or-create
// subscript. Numbers of the journal are single-precision floats; text is
// Windows-1251 bytes. Fields that hold an attribute bear the attribute's name.
// Fields the journal may leave out start at 0.
#include <cstdint>
#include <map>
#include <string>

namespace tallyglass {

struct ts {
  std::string text;
};

struct mac {
  float DI = 0;
  float NT = 0;
};

// "P" and "CP" lines.
struct sale {
  float N = 0;
  std::string C;
  std::string CD;
  std::string NM;
  float SM = 0;
  float Q = 0;
  float PRC = 0;
  std::string TX;
};

// "D" (discount) and "S" (markup) lines.
struct sale_up_down {
  float N = 0;
  float TR = 0;
  float TY = 0;
  float ST = 0;
  float NI = 0;
  std::string TX;
  float PR = 0;
  float SM = 0;
};

// "M" lines of a receipt (payments).
struct sale_pay {
  float N = 0;
  float T = 0;
  float SM = 0;
  float RM = 0;
  std::string NM;
  std::string RRN;
};

// "I" (cash in) and "O" (cash out) lines.
struct sale_in_out {
  float N = 0;
  float T = 0;
  std::string NM;
  float SM = 0;
};

// "L" lines (comments).
struct sale_comment {
  float N = 0;
  std::string text;
};

// "H" lines (service information).
struct sale_serv_info {
  float N = 0;
  std::string HP;
  std::string HT;
  std::string text;
};

// The "VD" element.
struct sale_cancel {
  float N = 0;
  float NI = 0;
};

// A "TX" child of "E".
struct tx {
  std::string TX = " ";
  float TXPR = 0;
  float TXSM = 0;
  float DTPR = 0;
  float DTSM = 0;
  float TXTY = 0;
  float TXAL = 0;
};

// The "E" element, the receipt's end.
struct sale_end {
  bool has_tx = false;
  float N = 0;
  float NO = 0;
  float SM = 0;
  float SE = 0;
  std::string TX = "0";
  std::string TS = "0";
  std::string FN = "0";
  float TXPR = 0;
  float TXSM = 0;
  float DTPR = 0;
  float DTSM = 0;
  float TXTY = 0;
  float TXAL = 0;
  float CS = 0;
  float VD = 0;
  std::int16_t NS = 0;
  std::map<std::int32_t, tx> taxes;
  std::int32_t tx_count = 0;
};

// Line kinds as they tag line_order entries.
enum line_kind : std::int32_t {
  kind_P = 1,
  kind_CP = 2,
  kind_D = 3,
  kind_S = 4,
  kind_M = 5,
  kind_I = 6,
  kind_O = 7,
  kind_L = 8,
  kind_H = 9,
  kind_VD = 10,
  kind_E = 11,
};

// Which line stands at a print position.
struct line_ref {
  std::int32_t kind = 0;
  std::int32_t key = 0;
  bool operator==(const line_ref&) const = default;
};

// A receipt.
struct check {
  float T = 0;
  std::int32_t CN = 0;
  std::string ON;
  std::map<std::int32_t, sale> p_lines;
  std::map<std::int32_t, sale> cp_lines;
  std::map<std::int32_t, sale_up_down> d_lines;
  std::map<std::int32_t, sale_up_down> s_lines;
  std::map<std::int32_t, sale_pay> m_lines;
  std::map<std::int32_t, sale_in_out> i_lines;
  std::map<std::int32_t, sale_in_out> o_lines;
  std::map<std::int32_t, sale_comment> l_lines;
  std::map<std::int32_t, sale_serv_info> h_lines;
  sale_cancel cancel_line;
  sale_end end_line;
  std::map<std::int32_t, line_ref> line_order;  // print position (from 1) -> line
  std::int32_t p_count = 0, cp_count = 0, d_count = 0, s_count = 0, m_count = 0, i_count = 0,
               o_count = 0, l_count = 0, h_count = 0, vd_count = 0, e_count = 0;
  std::int32_t line_order_next = 1;

  void reset_counters() {
    p_count = cp_count = d_count = s_count = m_count = i_count = o_count = l_count = h_count =
        vd_count = e_count = 0;
    line_order_next = 1;
  }
  std::int32_t line_count() const {
    return p_count + cp_count + d_count + s_count + m_count + i_count + o_count + l_count +
           h_count + vd_count + e_count;
  }
};

// A "TXS" element: one tax group's totals in a Z-report.
struct vid_tax {
  std::string TX;
  std::string TS;
  float TXPR = 0, TXI = 0, TXO = 0, DTPR = 0, DTI = 0, DTO = 0, TXTY = 0, TXAL = 0, SMI = 0,
        SMO = 0;
};

// An "M" element of a Z-report: one payment form's totals.
struct vid_pay {
  float T = 0;
  std::string NM;
  float SMI = 0;
  float SMO = 0;
};

// An "IO" element: cash turnover.
struct vid_rotate {
  float T = 0;
  std::string NM;
  float SMI = 0;
  float SMO = 0;
  float SMT = 0;
};

// An "NC" element: receipt counters.
struct count_check {
  float NI = 0;
  float NO = 0;
};

// A Z-report.
struct zvit {
  float NO = 0;
  std::map<std::int32_t, vid_tax> txs_lines;
  std::map<std::int32_t, vid_pay> z_m_lines;
  std::map<std::int32_t, vid_rotate> io_lines;
  std::map<std::int32_t, count_check> nc_lines;
  std::int32_t txs_count = 0, z_m_count = 0, io_count = 0, nc_count = 0;
  bool has_txs = false, has_z_m = false, has_io = false, has_nc = false;

  void reset_counters() {
    txs_count = z_m_count = io_count = nc_count = 0;
    has_txs = has_z_m = has_io = has_nc = false;
  }
};

// One journal document: a "DAT" element with the "TS" inside it.
struct dat {
  bool is_check = true;
  std::string FN;
  std::string TN;
  std::string ZN;
  float DI = 0;
  float DT = 0;
  float V = 0;
  ::tallyglass::ts ts;
  std::map<std::int32_t, check> checks;
  std::map<std::int32_t, zvit> zvits;
  std::int32_t cur_check = 0;
  std::int32_t cur_zvit = 0;
};

// The root: every document loaded since the reader was created.
struct rq {
  float V = 0;
  std::map<std::int32_t, dat> dats;  // by load position
  std::map<std::int32_t, mac> macs;  // the "MAC" closing document k is under k + 1
  std::int32_t doc_count = 0;
  std::int32_t check_no_min = 0, check_no_max = 0;
  std::int32_t zvit_no_min = 0, zvit_no_max = 0;

  // Empties the documents; the number ranges and V stay.
  void clear() {
    dats.clear();
    macs.clear();
    doc_count = 0;
  }
  void note_check_no(std::int32_t x) { note(check_no_min, check_no_max, x); }
  void note_zvit_no(std::int32_t x) { note(zvit_no_min, zvit_no_max, x); }

 private:
  static void note(std::int32_t& lowest, std::int32_t& highest, std::int32_t x) {
    if (lowest == 0 || lowest > x) {
      lowest = x;
      if (highest == 0) highest = x;
    } else if (x > highest) {
      highest = x;
    }
  }
};

}  // namespace tallyglass

#pragma once
// The journal as exact data: every amount, quantity and rate read from the
// attribute's own text as an integer (hundredths, thousandths, hundredths of a
// percent), never through the model's single-precision floats, which keep the
// register's rounding for the tape. Texts stay Windows-1251 bytes.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "journal/shared_di.h"

namespace tallyglass {

// A journal that cannot be read exactly: unparsable text, or a value that is
// not what its field needs. The message names the document, the element and
// the attribute (UTF-8), such as
//   document DI 513: attribute SM of P: "12,50" is not an integer
class ExportError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One receipt line: "P", "CP", "D", "S", "I", "O", "L", "H" or "VD".
struct ExactLine {
  std::string kind;
  std::int64_t n = 0;                   // "N", its place in the receipt
  std::string code;                     // P/CP "C"; I/O "T"; H "HT"; VD "NI"
  std::string name;                     // P/CP/I/O "NM"; the text of L and H
  std::optional<std::int64_t> quantity;  // thousandths ("Q")
  std::optional<std::int64_t> price;     // hundredths ("PRC")
  std::optional<std::int64_t> sum;       // hundredths ("SM")
  std::string tax_group;                // "TX"
  std::optional<std::int64_t> rate;      // D/S "PR", hundredths of a percent
};

// An "M" line of a receipt.
struct ExactPayment {
  std::int64_t n = 0;
  std::int64_t form = 0;   // "T"
  std::string name;        // "NM"
  std::int64_t sum = 0;    // "SM"
  std::int64_t change = 0;  // "RM"
  std::string rrn;         // "RRN"
};

// A receipt's tax of one group. From a "TX" child, and from the attributes
// of "E" when TXAL is 0: the tax TXPR and TXSM, the excise DTPR and DTSM.
// From "E" when TXAL is not 0 the register swaps them, as its tape shows:
// the tax DTPR and DTSM, the excise TXPR and TXSM.
struct ExactTax {
  std::string group;
  std::int64_t rate = 0;         // hundredths of a percent
  std::int64_t tax = 0;          // hundredths
  std::int64_t excise = 0;       // hundredths
  std::int64_t excise_rate = 0;  // hundredths of a percent
};

// Z-report figures, as the report carries them.
struct ZPaymentForm {  // "M" of a Z-report
  std::int64_t form = 0;
  std::string name;
  std::int64_t sales = 0, refunds = 0;  // SMI, SMO
};
struct ZCash {  // "IO"
  std::int64_t form = 0;
  std::string name;
  std::int64_t put_in = 0, taken_out = 0, drawer = 0;  // SMI, SMO, SMT
};
struct ZCounters {  // "NC"
  std::int64_t sales = 0, refunds = 0;  // NI, NO
};
struct ZTaxGroup {  // "TXS"
  std::string group, date;                                   // TX, TS
  std::int64_t rate = 0, excise_rate = 0;                    // TXPR, DTPR
  std::int64_t turnover_sales = 0, turnover_refunds = 0;     // SMI, SMO
  std::int64_t tax_sales = 0, tax_refunds = 0;               // TXI, TXO
  std::int64_t excise_sales = 0, excise_refunds = 0;         // DTI, DTO
};

enum class ReceiptKind { sale, refund, service, other };

struct ExactDocument {
  std::string zn, fn, tn;  // the register: "DAT" ZN, FN, TN
  std::int64_t di = 0;     // "DAT" DI
  std::string ts;          // the "TS" element, fourteen digits (or as written)
  bool is_zreport = false;
  std::int64_t number = 0;  // "E" NO or "Z" NO

  // Receipts.
  std::int64_t type = 0;  // "C" T
  ReceiptKind kind = ReceiptKind::sale;
  bool annulled = false;  // "E" VD = 1
  std::int64_t total = 0;  // "E" SM
  std::string cash_desk;   // "E" CS as written
  std::vector<ExactLine> lines;
  std::vector<ExactPayment> payments;
  std::vector<ExactTax> taxes;

  // Z-reports.
  std::vector<ZPaymentForm> forms;
  std::vector<ZCash> cash;
  std::vector<ZCounters> counters;
  std::vector<ZTaxGroup> groups;
};

// Documents of one or more journal texts, with the registers apart.
struct ExactJournal {
  std::vector<ExactDocument> documents;

  // Adds the documents of a journal text (Windows-1251 XML as temp.xml holds
  // it). Throws ExportError, naming `source`, when the text does not parse or
  // a value is not what its field needs; nothing is added then. A document
  // already held (same ZN, FN and DI) is not added again.
  void add_text(std::string_view text, std::string_view source = {});

  // Adds the documents of a journal file; ExportError also when it cannot be read.
  void add_file(const std::string& path);

  // Keeps only the documents of the register with this ZN.
  void keep_register(std::string_view zn);

  // Sorts by DI, then register: the order of export and reconciliation.
  void sort();

  // The DIs of the texts added that more than one differing document holds;
  // of those only the first document is kept.
  std::vector<SharedDi> shared_dis() const { return shared_.shared(); }

 private:
  SharedDiFinder shared_;
};

// Integer texts: optional blanks, an optional sign, digits. Throws
// std::invalid_argument with the reason when the text is anything else or
// does not fit 64 bits.
std::int64_t parse_exact_integer(std::string_view text);
// A decimal with at most `decimals` fraction digits, scaled to an integer
// ("20.00" with 2 gives 2000, "1.5" with 3 gives 1500).
std::int64_t parse_exact_fixed(std::string_view text, int decimals);

// Fixed-point text of a scaled integer: 1200 with 2 decimals is "12.00",
// -50 is "-0.50", 0 is "0.00" (never "-0.00"). Exact for every 64-bit value.
std::string fixed_text(std::int64_t value, int decimals, char point = '.');

const char* receipt_kind_text(ReceiptKind kind);  // "sale", "refund", "service", "other"

// "2016-03-14T08:05:12" from "20160314080512"; any other text as it is.
std::string iso_time(std::string_view ts);

}  // namespace tallyglass

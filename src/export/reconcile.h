#pragma once
// Each Z-report set beside the receipts of its day, summed exactly.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "export/exact_journal.h"

namespace tallyglass {

// One figure of a day: the Z-report's value (none when the report does not
// carry it, which compares as 0) and the receipts' sum. Counts are plain
// integers, amounts hundredths.
struct ReconcileFigure {
  std::string name;  // "NC NI", "M T=0 SMI", "TXS TX=1 TXI", "IO T=0 SMT", ...
  bool amount = true;  // false for the receipt counts
  std::optional<std::int64_t> zreport;
  std::int64_t receipts = 0;
  bool agree = true;
};

// What is missing in a day: ranges [first, last] of DI and of receipt
// numbers that no loaded document holds, and receipt numbers recorded as
// fetched without data.
struct ReconcileGaps {
  std::vector<std::pair<std::int64_t, std::int64_t>> di, numbers;
  std::vector<std::int64_t> abandoned;
  bool empty() const { return di.empty() && numbers.empty() && abandoned.empty(); }
};

struct ReconcileDay {
  std::string zn, fn;
  bool open = false;        // receipts after the register's last Z-report
  std::int64_t number = 0;  // Z-report NO (open day: 0)
  std::int64_t di = 0;      // Z-report DI (open day: 0)
  std::string ts;           // Z-report TS
  int receipts = 0;         // receipts of the day, annulled ones included
  int annulled = 0;
  std::int64_t first_number = 0, last_number = 0;  // receipt numbers, 0 when none
  bool complete = true;
  bool agree = true;
  std::vector<ReconcileFigure> figures;
  ReconcileGaps gaps;
};

struct Reconciliation {
  std::vector<ReconcileDay> days;  // closed days, per register in DI order
  std::vector<ReconcileDay> open;  // one per register with receipts after its last Z-report
  // True when every closed day agrees and is complete (open days do not count).
  bool agree() const;
};

// A receipt number the reader asked for and got nothing back (abandoned).
struct AbandonedReceipt {
  std::string zn, fn;  // empty: any register
  std::int64_t number = 0;
};

// `docs` in any order; several registers are kept apart by ZN and FN.
Reconciliation reconcile(const std::vector<const ExactDocument*>& docs,
                         const std::vector<AbandonedReceipt>& abandoned = {});

// The per-Z-report tables and the summary line, UTF-8, for a terminal.
std::string reconciliation_text(const Reconciliation& r);
// {"agree": ..., "zreports": [...], "open": [...]}, UTF-8.
std::string reconciliation_json(const Reconciliation& r);

}  // namespace tallyglass

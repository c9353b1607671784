#pragma once
// A synthetic electronic journal for benchmarks: receipts of a shop with
// realistic Ukrainian texts and a Z-report after every so many receipts, in
// the collected form (declaration, <RQ V="1">, one DAT+MAC entry per line,
// </RQ>, every entry followed by CR LF), as Windows-1251 bytes. The same
// options always give the same text.
#include <cstdint>
#include <string>

namespace tallyglass::bench {

struct SyntheticJournalOptions {
  int documents = 10000;           // receipts and Z-reports together
  int receipts_per_zreport = 100;  // a Z-report closes each such run of receipts
  int min_lines = 5;               // line elements of a receipt, its "E" included
  int max_lines = 30;
  int first_receipt_no = 1;        // "E" "NO" of the first receipt
  int first_zreport_no = 1;        // "Z" "NO" of the first Z-report
  int first_di = 1;                // "DAT" "DI" of the first document
  std::uint32_t seed = 2016;
};

struct SyntheticJournal {
  std::string text;
  int documents = 0;
  int receipts = 0;
  int zreports = 0;
  int first_receipt_no = 0, last_receipt_no = 0;
  int first_zreport_no = 0, last_zreport_no = 0;
  long long lines = 0;  // receipt line elements in all
};

// Every tax group is an integer text and every receipt line carries "N", so
// every document loads and renders without a failure.
SyntheticJournal MakeSyntheticJournal(const SyntheticJournalOptions& options = {});

}  // namespace tallyglass::bench

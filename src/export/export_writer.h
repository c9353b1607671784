#pragma once
// Exact CSV and JSON of journal documents, and which documents to take.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "export/exact_journal.h"

namespace tallyglass {

// Which documents an export takes. By receipt numbers: the receipts numbered
// from..to and, per register, the Z-reports whose DI lies from the first of
// them to the receipt numbered `to` or, when there is none, up to the first
// receipt numbered above it, as the "Чек+Z-отчет" choice takes them. By dates: the documents whose "TS" lies
// from the start of the first day to the end of the last.
struct ExportSelection {
  enum class By { all, numbers, dates };
  By by = By::all;
  std::int64_t from = 0, to = 0;
  std::string from_ts, to_ts;  // fourteen digits, both inclusive
};

// The chosen documents in DI order (then register). `journal` must be sorted.
std::vector<const ExactDocument*> select_documents(const ExactJournal& journal, const ExportSelection& what);

// The documents a listing of the query window shows: its type choice
// (kChoiceZ ... kChoiceService of render/render_listing.h) over its number
// range, Z-report numbers for "Z-отчет", receipt numbers otherwise.
std::vector<const ExactDocument*> select_for_choice(const ExactJournal& journal, int choice, std::int64_t first,
                                                    std::int64_t last);

// RFC 4180 by default; excel() is what a spreadsheet in a Ukrainian or
// Russian locale opens without a wizard: BOM, ";" separators, decimal comma.
struct CsvDialect {
  char separator = ',';
  char point = '.';
  bool bom = false;
  static CsvDialect excel() { return {';', ',', true}; }
};

// The five tables, UTF-8, CR LF after every row, header row first.
struct CsvTables {
  std::string documents, lines, payments, taxes, zreports;
};

CsvTables export_csv(const std::vector<const ExactDocument*>& docs, const CsvDialect& dialect = {});
// One JSON array of the documents with their lines, payments and taxes (or
// Z-report figures); amounts as decimal strings. UTF-8, ends with a line feed.
std::string export_json(const std::vector<const ExactDocument*>& docs);

// One CSV field: quoted when it holds the separator, a quote, a line break,
// another control byte or blanks at an end; quotes doubled.
void append_csv_field(std::string& row, std::string_view utf8, char separator);

// Writes the five tables into `folder` (created when missing) as
// documents.csv, lines.csv, payments.csv, taxes.csv and zreports.csv: each
// first to a temporary file, then all renamed into place. Throws
// std::system_error naming the file; the temporary files are removed then.
void write_csv_folder(const std::filesystem::path& folder, const CsvTables& tables);
// Writes `bytes` to `file` through a temporary file in its folder and a rename.
void write_file_atomically(const std::filesystem::path& file, const std::string& bytes);

}  // namespace tallyglass

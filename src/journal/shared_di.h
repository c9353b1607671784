#pragma once
// A DI is a document's place in its register's journal, so two documents
// that differ cannot share one. A journal joined from two files, or a
// damaged one, may still hold such a pair; the commands that read journals
// name them. Found from the journal text itself: each DAT..MAC byte range
// with its ZN and DI.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tallyglass {

struct SharedDi {
  std::string zn;        // as written in the DAT tag, Windows-1251
  std::int64_t di = 0;
  int documents = 0;     // how many differing documents hold it
};

class SharedDiFinder {
 public:
  // Notes the documents of one journal text; texts may come one after another
  // (several files). A document repeated byte for byte is one document.
  void add(std::string_view journal_text);
  // Every DI held by more than one differing document, by ZN and DI.
  std::vector<SharedDi> shared() const;

 private:
  // (ZN, DI) -> the distinct documents seen there, as (hash, size) of their text.
  std::map<std::pair<std::string, std::int64_t>, std::vector<std::pair<std::size_t, std::size_t>>> seen_;
};

// "DI 513 (ЗН 402400117): одно место в журнале у 2 разных документов", one
// line each, UTF-8, for standard error and the status line.
std::vector<std::string> shared_di_lines(const std::vector<SharedDi>& shared);

}  // namespace tallyglass

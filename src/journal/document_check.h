#pragma once
// Whether one fetched document is the document that was asked for: the test
// every document passes before it is accepted from the line, kept in the
// archive or served from it. A damaged reply that slips past the line's check
// value almost never survives it: the text must parse as one DAT and its MAC,
// load into a model of its own, and carry the class and number asked for.
#include <cstdint>
#include <string>
#include <string_view>

namespace tallyglass {

enum class DocumentFault {
  kNone,
  kMalformed,       // not well-formed XML
  kNotOneDocument,  // not exactly one DAT (with one C or one Z) followed by its MAC
  kNotLoadable,     // the loader refuses a value
  kWrongClass,      // a receipt where a Z-report was asked for, or the reverse
  kWrongNumber,     // another number, or none that reads as one
};

struct DocumentCheck {
  DocumentFault fault = DocumentFault::kNone;
  std::string message;  // what is wrong, UTF-8 ("" when nothing is)
  bool ok() const { return fault == DocumentFault::kNone; }
};

// text is one document's DAT+MAC as its parts were joined (Windows-1251);
// class_code is kClassZ or kClassCheck, number the E or Z "NO" asked for.
DocumentCheck check_document(std::string_view text, int class_code, std::int32_t number);

}  // namespace tallyglass

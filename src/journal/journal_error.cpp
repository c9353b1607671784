#include "journal/journal_error.h"

#include <utility>

namespace tallyglass {
namespace {

std::string conversion_message(std::string_view element, std::string_view attribute,
                               std::string_view text, std::string_view problem) {
  std::string m;
  if (!attribute.empty()) {
    m += "attribute ";
    m += attribute;
    m += " of ";
    m += element;
    m += ": ";
  }
  if (text.empty()) return m + "empty value";
  m += '"';
  m += text;
  m += "\" ";
  m += problem;
  return m;
}

}  // namespace

ConversionError::ConversionError(std::string element, std::string attribute, std::string text,
                                 std::string problem)
    : JournalError(conversion_message(element, attribute, text, problem)),
      element_(std::move(element)),
      attribute_(std::move(attribute)),
      text_(std::move(text)),
      problem_(std::move(problem)) {}

ConversionError ConversionError::named(std::string_view element,
                                       std::string_view attribute) const {
  return ConversionError(std::string(element), std::string(attribute), text_, problem_);
}

XmlParseError::XmlParseError(const std::string& message, int line)
    : JournalError(message), line_(line) {}

}  // namespace tallyglass

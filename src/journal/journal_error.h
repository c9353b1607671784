#pragma once
// Failures of reading a journal: the parser's and the value conversions'.
#include <stdexcept>
#include <string>
#include <string_view>

namespace tallyglass {

// Any failure to parse or load a journal text. Messages are Windows-1251.
class JournalError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A value its type cannot convert, such as
//   attribute SM of P: "12,50" is not a number
//   attribute NM of P: empty value
class ConversionError : public JournalError {
 public:
  // problem: "is not a number", "is not a short integer" or "is empty".
  ConversionError(std::string element, std::string attribute, std::string text,
                  std::string problem);

  const std::string& element() const { return element_; }
  const std::string& attribute() const { return attribute_; }
  const std::string& text() const { return text_; }
  const std::string& problem() const { return problem_; }

  // The same failure with the element's and the attribute's names filled in.
  ConversionError named(std::string_view element, std::string_view attribute) const;

 private:
  std::string element_, attribute_, text_, problem_;
};

// The XML parser refused the text; the message is libxml2's.
class XmlParseError : public JournalError {
 public:
  XmlParseError(const std::string& message, int line);
  int line() const { return line_; }

 private:
  int line_;
};

}  // namespace tallyglass

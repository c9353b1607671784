#pragma once
// A journal text parsed by libxml2 and presented as a node view.
#include <string>
#include <string_view>

#include "journal/journal_error.h"
#include "journal/node_view.h"

struct _xmlDoc;

namespace tallyglass {

// Parser options: whitespace text kept, no network, no DTD loading or
// defaulting, no entity substitution, libxml2's size limits on.
int journal_parse_options();

class xml_document final : public node_view {
 public:
  // Parses text as Windows-1251, whatever it declares. Throws XmlParseError
  // with libxml2's message (and line) when the text is not well-formed.
  explicit xml_document(std::string_view text);
  ~xml_document();
  xml_document(const xml_document&) = delete;
  xml_document& operator=(const xml_document&) = delete;

  node root() const;

  std::string_view name(node n) override;
  bool only_child_text(node n, std::string_view& text) override;
  attribute first_attribute(node n) override;
  attribute next_attribute(attribute a) override;
  std::string_view attribute_name(attribute a) override;
  std::string_view attribute_value(attribute a) override;
  node first_child(node n) override;
  node next_sibling(node n) override;

 private:
  _xmlDoc* doc_ = nullptr;
  // Converted texts, one buffer per function so that a name stays valid
  // while the values of its attributes are read.
  std::string name_, text_, attribute_name_, attribute_value_;
};

}  // namespace tallyglass

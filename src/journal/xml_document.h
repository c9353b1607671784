#pragma once
// A journal text parsed by libxml2 and presented as a node view.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "journal/journal_error.h"
#include "journal/node_view.h"

namespace tallyglass {

// Parser options: whitespace text kept, no network, no DTD loading or
// defaulting, no entity substitution, libxml2's size limits on.
int journal_parse_options();

// The parse keeps its own compact copy of the tree, already in Windows-1251:
// libxml2's nodes are freed one top-level element at a time while the parse
// goes on, so a large journal never stands whole in libxml2's tree.
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
  friend class tree_builder;
  static constexpr std::uint32_t kNone = 0xFFFFFFFF;

  struct node_record {
    std::uint32_t name = 0;             // in names_
    std::uint32_t first_attribute = kNone;  // in attributes_
    std::uint32_t first_child = kNone;      // in nodes_
    std::uint32_t next_sibling = kNone;
    std::uint32_t text = 0;             // the only child's text in texts_,
    std::uint32_t text_length = kNone;  // kNone when it has no such child
  };
  struct attribute_record {
    std::uint32_t name;    // in names_; kLast marks the element's last one
    std::uint32_t value;   // in texts_
    std::uint32_t length;
  };
  static constexpr std::uint32_t kLast = 0x80000000;

  std::vector<node_record> nodes_;  // nodes_[0] is the root element
  std::vector<attribute_record> attributes_;
  std::vector<std::string> names_;  // every distinct name, Windows-1251
  std::string texts_;               // attribute values and texts, Windows-1251
};

}  // namespace tallyglass

#pragma once
// How the loader sees a parsed journal, whatever parser produced it.
#include <string_view>

namespace tallyglass {

// A parsed tree presented node by node. Nodes and attributes are opaque
// handles (nullptr = none). Every text is Windows-1251 and stays valid until
// the next call of the same function on the same view.
class node_view {
 public:
  using node = const void*;
  using attribute = const void*;

  // An element's tag name; "#text" for a text node, "#cdata-section",
  // "#comment" and so on for the other kinds.
  virtual std::string_view name(node n) = 0;
  // True, with its text, when n is an element whose only child is text.
  virtual bool only_child_text(node n, std::string_view& text) = 0;

  virtual attribute first_attribute(node n) = 0;
  virtual attribute next_attribute(attribute a) = 0;
  virtual std::string_view attribute_name(attribute a) = 0;
  // The empty view when the attribute has no value.
  virtual std::string_view attribute_value(attribute a) = 0;

  virtual node first_child(node n) = 0;
  virtual node next_sibling(node n) = 0;

 protected:
  ~node_view() = default;
};

}  // namespace tallyglass

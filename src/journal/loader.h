#pragma once
// The loader: walks a parsed journal into the document model.
//
// It keeps one piece of state, the code of the element it is in; every element
// is routed by its name (and an "M" by the element met before it), every
// attribute by its name within that element. A value that cannot be converted
// throws ConversionError; nothing stored before it is undone.
#include <cstdint>
#include <string_view>

#include "journal/journal_error.h"
#include "journal/model.h"
#include "journal/node_view.h"
#include "journal/typ_work.h"

namespace tallyglass {

struct control {
  std::int32_t current = 0;  // code of the element being loaded; 0 ("RQ") after clear
  typ_work work;

  void clear() { current = 0; }
  // "M" right after "Z", "TXS", "Z_M", "IO" or "NC" is a Z-report's "Z_M".
  void enter_element(std::string_view name);
};

// Loads the root element's attributes (with the current code, 0 after clear)
// and then its children. The root's own name is not looked up.
void load_root(rq& model, control& state, node_view& tree, node_view::node root);

// Loads the children of parent, recursively.
void load_nodes(rq& model, control& state, node_view& tree, node_view::node parent);

// Stores every attribute of n, in order, by the current element's table.
void load_attributes(rq& model, control& state, node_view& tree, node_view::node n);

// Stores one value by the current element and the attribute code.
void store_field(rq& model, control& state, std::int32_t code, std::string_view text);

// Closes the current element: advances the count of its kind.
void finish_element(rq& model, control& state);

}  // namespace tallyglass

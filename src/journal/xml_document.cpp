#include "journal/xml_document.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/SAX2.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <exception>
#include <mutex>
#include <unordered_map>

#include "text/cp1251.h"

namespace tallyglass {
namespace {

std::string_view utf8_view(const xmlChar* s) {
  return s == nullptr ? std::string_view() : std::string_view(reinterpret_cast<const char*>(s));
}

// libxml2 hands out UTF-8; the core works in Windows-1251. Plain ASCII, which
// names and most values are, is copied as it is.
void append_cp1251(std::string& out, std::string_view utf8) {
  unsigned char high = 0;
  for (const char c : utf8) high |= static_cast<unsigned char>(c);
  if (high < 0x80) {
    out.append(utf8);
  } else {
    AppendUtf8AsCp1251(out, utf8);
  }
}

struct first_error {
  bool set = false;
  std::string message;
  int line = 0;
};

void collect_error(void* context, xmlErrorPtr error) {
  auto* e = static_cast<first_error*>(context);
  if (e->set || error == nullptr || error->level < XML_ERR_ERROR) return;
  e->set = true;
  e->line = error->line;
  std::string message = error->message != nullptr ? error->message : "unknown parser error";
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  e->message = Utf8ToCp1251(message);
}

// Routes libxml2's reports of one parse to a collector instead of stderr.
class error_scope {
 public:
  explicit error_scope(first_error* sink)
      : old_handler_(xmlStructuredError), old_context_(xmlStructuredErrorContext) {
    xmlSetStructuredErrorFunc(sink, collect_error);
  }
  ~error_scope() { xmlSetStructuredErrorFunc(old_context_, old_handler_); }
  error_scope(const error_scope&) = delete;
  error_scope& operator=(const error_scope&) = delete;

 private:
  xmlStructuredErrorFunc old_handler_;
  void* old_context_;
};

// Names of the node kinds that are not looked up; their places in names_.
constexpr std::uint32_t kTextName = 0, kCdataName = 1, kCommentName = 2, kDocumentName = 3;

}  // namespace

// Copies libxml2's nodes into the document's records as the parse goes: each
// time an element starts right under the root, the root's finished children
// are recorded and freed. libxml2 builds every node as in a whole parse, so
// the records hold what its tree would have held.
class tree_builder {
 public:
  tree_builder(xml_document& doc, std::size_t text_size) : doc_(doc) {
    doc_.names_ = {"#text", "#cdata-section", "#comment", "#document"};
    // Room for a journal's usual counts (an attribute in about 14 bytes of
    // text, a node in 45 or more), so that the records seldom move while
    // they grow; pages never written take no memory.
    doc_.nodes_.reserve(text_size / 40 + 1);
    doc_.attributes_.reserve(text_size / 12);
    doc_.texts_.reserve(text_size / 2);
    doc_.nodes_.emplace_back();  // the root's place
  }

  // libxml2's own start-of-element handler, with the root's finished
  // children taken away first.
  static void start_element(void* ctx, const xmlChar* localname, const xmlChar* prefix,
                            const xmlChar* uri, int nb_namespaces, const xmlChar** namespaces,
                            int nb_attributes, int nb_defaulted, const xmlChar** attributes) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    auto* self = static_cast<tree_builder*>(ctxt->_private);
    xmlNodePtr parent = ctxt->node;
    if (self != nullptr && !self->failure_ && parent != nullptr && ctxt->myDoc != nullptr &&
        parent->parent == reinterpret_cast<xmlNodePtr>(ctxt->myDoc)) {
      // The records must not throw through libxml2's C frames: a failure
      // stops the parse and is thrown once the parser has returned.
      try {
        self->take_children(ctxt->myDoc, parent);
      } catch (...) {
        self->failure_ = std::current_exception();
        xmlStopParser(ctxt);
        return;
      }
    }
    xmlSAX2StartElementNs(ctx, localname, prefix, uri, nb_namespaces, namespaces, nb_attributes,
                          nb_defaulted, attributes);
  }

  // Records the root and what is left under it.
  void finish(xmlDocPtr doc, xmlNodePtr root) {
    // Children already taken mean an element child: then no text is the only one.
    const bool whole = first_top_ == kNone;
    take_children(doc, root, true);
    const std::uint32_t name = name_of(root);
    const std::uint32_t first_attribute = add_attributes(root);
    record& r = doc_.nodes_[0];
    r.name = name;
    r.first_attribute = first_attribute;
    r.first_child = first_top_;
    if (whole) set_only_text(0, root);
  }

  bool failed() const { return static_cast<bool>(failure_); }
  [[noreturn]] void rethrow_failure() const { std::rethrow_exception(failure_); }

 private:
  using record = xml_document::node_record;
  static constexpr std::uint32_t kNone = xml_document::kNone;

  void take_children(xmlDocPtr doc, xmlNodePtr parent, bool at_end = false) {
    // An "xml:id" puts its attribute in the document's table of IDs, where
    // libxml2 checks the next ones against it: such a tree stays whole.
    if (doc->ids != nullptr && !at_end) return;
    for (xmlNodePtr n = parent->children; n != nullptr; n = n->next) {
      const std::uint32_t i = add_node(n);
      (last_top_ == kNone ? first_top_ : doc_.nodes_[last_top_].next_sibling) = i;
      last_top_ = i;
    }
    if (at_end) return;
    xmlNodePtr n = parent->children;
    parent->children = parent->last = nullptr;
    while (n != nullptr) {
      xmlNodePtr next = n->next;
      n->parent = n->prev = n->next = nullptr;
      xmlFreeNode(n);
      n = next;
    }
  }

  std::uint32_t add_node(const xmlNode* x) {
    const auto index = checked(doc_.nodes_.size());
    doc_.nodes_.emplace_back();
    std::uint32_t name = 0;
    switch (x->type) {
      case XML_ELEMENT_NODE: name = name_of(x); break;
      case XML_TEXT_NODE: name = kTextName; break;
      case XML_CDATA_SECTION_NODE: name = kCdataName; break;
      case XML_COMMENT_NODE: name = kCommentName; break;
      case XML_DOCUMENT_NODE: name = kDocumentName; break;
      default: name = intern(utf8_view(x->name)); break;  // processing instructions, entity references
    }
    doc_.nodes_[index].name = name;
    // An entity reference's children are the entity's own nodes: not part of the tree.
    if (x->type != XML_ELEMENT_NODE) return index;

    const std::uint32_t first_attribute = add_attributes(x);
    doc_.nodes_[index].first_attribute = first_attribute;
    set_only_text(index, x);
    std::uint32_t last = kNone;
    for (const xmlNode* child = x->children; child != nullptr; child = child->next) {
      const std::uint32_t c = add_node(child);
      (last == kNone ? doc_.nodes_[index].first_child : doc_.nodes_[last].next_sibling) = c;
      last = c;
    }
    return index;
  }

  void set_only_text(std::uint32_t index, const xmlNode* x) {
    const xmlNode* child = x->children;
    if (child == nullptr || child->next != nullptr) return;
    if (child->type != XML_TEXT_NODE && child->type != XML_CDATA_SECTION_NODE) return;
    const auto [at, length] = add_text(utf8_view(child->content));
    doc_.nodes_[index].text = at;
    doc_.nodes_[index].text_length = length;
  }

  std::uint32_t add_attributes(const xmlNode* x) {
    if (x->properties == nullptr) return kNone;
    const auto first = checked(doc_.attributes_.size());
    for (const xmlAttr* a = x->properties; a != nullptr; a = a->next) {
      const std::uint32_t name = name_of(a->ns, a->name, a->doc);
      const auto [at, length] = add_value(a);
      doc_.attributes_.push_back({a->next == nullptr ? (name | xml_document::kLast) : name, at, length});
    }
    return first;
  }

  std::pair<std::uint32_t, std::uint32_t> add_value(const xmlAttr* a) {
    const xmlNode* part = a->children;
    if (part == nullptr) return {0, 0};
    if (part->next == nullptr && part->type == XML_TEXT_NODE) return add_text(utf8_view(part->content));
    // A value with entity references: the references stay as written.
    std::string utf8;
    for (; part != nullptr; part = part->next) {
      if (part->type == XML_TEXT_NODE && part->content != nullptr) {
        utf8 += utf8_view(part->content);
      } else if (part->type == XML_ENTITY_REF_NODE) {
        utf8 += '&';
        utf8 += utf8_view(part->name);
        utf8 += ';';
      }
    }
    return add_text(utf8);
  }

  std::pair<std::uint32_t, std::uint32_t> add_text(std::string_view utf8) {
    const std::size_t at = doc_.texts_.size();
    append_cp1251(doc_.texts_, utf8);
    const std::size_t length = doc_.texts_.size() - at;
    if (doc_.texts_.size() >= xml_document::kLast) {
      throw XmlParseError("the journal text is too long to parse", 0);
    }
    return {static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(length)};
  }

  std::uint32_t name_of(const xmlNode* x) { return name_of(x->ns, x->name, x->doc); }

  // A qualified name ("prefix:local") as the tree gives it. Names without a
  // prefix come from the parser's dictionary, one pointer for each name, so
  // the pointer finds the record without reading the name.
  std::uint32_t name_of(const xmlNs* ns, const xmlChar* local, const xmlDoc* doc) {
    if (ns == nullptr || ns->prefix == nullptr) {
      if (local == nullptr) return intern({});
      // Open addressing; the dictionary packs its names a few bytes apart,
      // so the address is mixed first.
      const std::uint64_t mixed = reinterpret_cast<std::uintptr_t>(local) * 0x9E3779B97F4A7C15u;
      std::size_t i = mixed >> 56;
      while (by_pointer_[i].local != nullptr && by_pointer_[i].local != local) i = (i + 1) % by_pointer_.size();
      if (by_pointer_[i].local == local) return by_pointer_[i].id;
      const std::uint32_t id = intern(utf8_view(local));
      if (cached_ < by_pointer_.size() / 2 && doc != nullptr && doc->dict != nullptr &&
          xmlDictOwns(doc->dict, local) == 1) {
        by_pointer_[i] = {local, id};
        ++cached_;
      }
      return id;
    }
    std::string utf8(utf8_view(ns->prefix));
    utf8 += ':';
    utf8 += utf8_view(local);
    return intern(utf8);
  }

  std::uint32_t intern(std::string_view utf8) {
    const auto [it, added] = by_text_.try_emplace(std::string(utf8), 0);
    if (added) {
      it->second = checked(doc_.names_.size());
      std::string name;
      append_cp1251(name, utf8);
      doc_.names_.push_back(std::move(name));
    }
    return it->second;
  }

  static std::uint32_t checked(std::size_t n) {
    if (n >= xml_document::kLast) throw XmlParseError("the journal text is too long to parse", 0);
    return static_cast<std::uint32_t>(n);
  }

  xml_document& doc_;
  struct cached_name {
    const xmlChar* local = nullptr;
    std::uint32_t id = 0;
  };
  std::array<cached_name, 256> by_pointer_{};
  std::size_t cached_ = 0;
  std::unordered_map<std::string, std::uint32_t> by_text_;
  std::uint32_t first_top_ = kNone, last_top_ = kNone;
  std::exception_ptr failure_;
};

int journal_parse_options() {
  // Blanks are kept by leaving out XML_PARSE_NOBLANKS. Leaving out NOENT,
  // DTDLOAD, DTDATTR, DTDVALID, XINCLUDE and HUGE keeps entities unexpanded,
  // external files unread and libxml2's limits on.
  return XML_PARSE_NONET | XML_PARSE_COMPACT;
}

xml_document::xml_document(std::string_view text) {
  static std::once_flag init;
  std::call_once(init, [] { xmlInitParser(); });
  if (text.size() > static_cast<std::size_t>(INT_MAX)) {
    throw XmlParseError("the journal text is too long to parse", 0);
  }
  first_error error;
  tree_builder builder(*this, text.size());
  xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
  if (ctxt == nullptr) throw XmlParseError("out of memory for the XML parser", 0);
  ctxt->_private = &builder;
  ctxt->sax->startElementNs = &tree_builder::start_element;
  xmlDocPtr doc = nullptr;
  {
    error_scope scope(&error);
    doc = xmlCtxtReadMemory(ctxt, text.data(), static_cast<int>(text.size()), nullptr,
                            "windows-1251", journal_parse_options());
  }
  xmlFreeParserCtxt(ctxt);
  // A stopped parse may still hand back the document it had begun.
  if (builder.failed()) {
    if (doc != nullptr) xmlFreeDoc(doc);
    builder.rethrow_failure();
  }
  if (doc == nullptr || xmlDocGetRootElement(doc) == nullptr) {
    if (doc != nullptr) xmlFreeDoc(doc);
    if (!error.set) error.message = "the journal text holds no XML document";
    std::string message = error.line > 0 ? "line " + std::to_string(error.line) + ": " : "";
    throw XmlParseError(message + error.message, error.line);
  }
  // A journal never declares a document type; one that does (entities, an
  // external DTD) is refused rather than loaded with its references unread.
  if (doc->intSubset != nullptr || doc->extSubset != nullptr) {
    xmlFreeDoc(doc);
    throw XmlParseError("the journal text declares a document type", 0);
  }
  try {
    builder.finish(doc, xmlDocGetRootElement(doc));
  } catch (...) {
    xmlFreeDoc(doc);
    throw;
  }
  xmlFreeDoc(doc);
}

xml_document::~xml_document() = default;

namespace {

template <class Record>
const Record* as(const void* handle) {
  return static_cast<const Record*>(handle);
}

}  // namespace

node_view::node xml_document::root() const { return nodes_.data(); }

std::string_view xml_document::name(node n) { return names_[as<node_record>(n)->name]; }

bool xml_document::only_child_text(node n, std::string_view& text) {
  const node_record* r = as<node_record>(n);
  if (r->text_length == kNone) return false;
  text = std::string_view(texts_.data() + r->text, r->text_length);
  return true;
}

node_view::attribute xml_document::first_attribute(node n) {
  const std::uint32_t i = as<node_record>(n)->first_attribute;
  return i == kNone ? nullptr : &attributes_[i];
}

node_view::attribute xml_document::next_attribute(attribute a) {
  const attribute_record* r = as<attribute_record>(a);
  return (r->name & kLast) != 0 ? nullptr : r + 1;
}

std::string_view xml_document::attribute_name(attribute a) {
  return names_[as<attribute_record>(a)->name & ~kLast];
}

std::string_view xml_document::attribute_value(attribute a) {
  const attribute_record* r = as<attribute_record>(a);
  return std::string_view(texts_.data() + r->value, r->length);
}

node_view::node xml_document::first_child(node n) {
  const std::uint32_t i = as<node_record>(n)->first_child;
  return i == kNone ? nullptr : &nodes_[i];
}

node_view::node xml_document::next_sibling(node n) {
  const std::uint32_t i = as<node_record>(n)->next_sibling;
  return i == kNone ? nullptr : &nodes_[i];
}

}  // namespace tallyglass

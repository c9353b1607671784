#include "journal/xml_document.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <climits>
#include <cstring>
#include <mutex>

#include "text/cp1251.h"

namespace tallyglass {
namespace {

// libxml2 hands out UTF-8; the core works in Windows-1251. Plain ASCII, which
// names and most values are, is passed through without a copy.
std::string_view to_cp1251(const xmlChar* utf8, std::string& buffer) {
  if (utf8 == nullptr) return {};
  const auto* s = reinterpret_cast<const unsigned char*>(utf8);
  const std::size_t n = std::strlen(reinterpret_cast<const char*>(s));
  unsigned char high = 0;
  for (std::size_t i = 0; i < n; ++i) high |= s[i];
  if (high < 0x80) return {reinterpret_cast<const char*>(s), n};
  buffer.resize(n);  // never longer than the UTF-8
  char* out = buffer.data();
  for (std::size_t i = 0; i < n;) {
    const unsigned char c = s[i];
    if (c < 0x80) {
      *out++ = static_cast<char>(c);
      ++i;
      continue;
    }
    char32_t cp = 0;
    std::size_t extra = 0;
    if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F, extra = 1;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F, extra = 2;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07, extra = 3;
    } else {
      *out++ = '?';
      ++i;
      continue;
    }
    std::size_t j = 1;
    for (; j <= extra && i + j < n && (s[i + j] & 0xC0) == 0x80; ++j) cp = (cp << 6) | (s[i + j] & 0x3F);
    i += j;
    if (j <= extra) {
      *out++ = '?';
    } else if (cp >= 0x0410 && cp <= 0x044F) {
      *out++ = static_cast<char>(0xC0 + (cp - 0x0410));
    } else {
      *out++ = CodePointToCp1251(cp);
    }
  }
  buffer.resize(static_cast<std::size_t>(out - buffer.data()));
  return buffer;
}

// A qualified name ("prefix:local") as the DOM gives it.
std::string_view qualified_name(const xmlNs* ns, const xmlChar* local, std::string& buffer) {
  if (ns == nullptr || ns->prefix == nullptr) return to_cp1251(local, buffer);
  std::string utf8 = reinterpret_cast<const char*>(ns->prefix);
  utf8 += ':';
  utf8 += reinterpret_cast<const char*>(local);
  std::string converted;
  const std::string_view v = to_cp1251(reinterpret_cast<const xmlChar*>(utf8.c_str()), converted);
  buffer.assign(v);
  return buffer;
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

const xmlNode* as_node(node_view::node n) { return static_cast<const xmlNode*>(n); }
const xmlAttr* as_attr(node_view::attribute a) { return static_cast<const xmlAttr*>(a); }

}  // namespace

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
  xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
  if (ctxt == nullptr) throw XmlParseError("out of memory for the XML parser", 0);
  {
    error_scope scope(&error);
    doc_ = xmlCtxtReadMemory(ctxt, text.data(), static_cast<int>(text.size()), nullptr,
                             "windows-1251", journal_parse_options());
  }
  xmlFreeParserCtxt(ctxt);
  if (doc_ == nullptr || xmlDocGetRootElement(doc_) == nullptr) {
    if (doc_ != nullptr) xmlFreeDoc(doc_);
    doc_ = nullptr;
    if (!error.set) error.message = "the journal text holds no XML document";
    std::string message = error.line > 0 ? "line " + std::to_string(error.line) + ": " : "";
    throw XmlParseError(message + error.message, error.line);
  }
  // A journal never declares a document type; one that does (entities, an
  // external DTD) is refused rather than loaded with its references unread.
  if (doc_->intSubset != nullptr || doc_->extSubset != nullptr) {
    xmlFreeDoc(doc_);
    doc_ = nullptr;
    throw XmlParseError("the journal text declares a document type", 0);
  }
}

xml_document::~xml_document() {
  if (doc_ != nullptr) xmlFreeDoc(doc_);
}

node_view::node xml_document::root() const { return xmlDocGetRootElement(doc_); }

std::string_view xml_document::name(node n) {
  const xmlNode* x = as_node(n);
  switch (x->type) {
    case XML_ELEMENT_NODE: return qualified_name(x->ns, x->name, name_);
    case XML_TEXT_NODE: return "#text";
    case XML_CDATA_SECTION_NODE: return "#cdata-section";
    case XML_COMMENT_NODE: return "#comment";
    case XML_DOCUMENT_NODE: return "#document";
    default: return to_cp1251(x->name, name_);  // processing instructions, entity references
  }
}

bool xml_document::only_child_text(node n, std::string_view& text) {
  const xmlNode* x = as_node(n);
  if (x->type != XML_ELEMENT_NODE) return false;
  const xmlNode* child = x->children;
  if (child == nullptr || child->next != nullptr) return false;
  if (child->type != XML_TEXT_NODE && child->type != XML_CDATA_SECTION_NODE) return false;
  text = to_cp1251(child->content, text_);
  return true;
}

node_view::attribute xml_document::first_attribute(node n) {
  const xmlNode* x = as_node(n);
  return x->type == XML_ELEMENT_NODE ? x->properties : nullptr;
}

node_view::attribute xml_document::next_attribute(attribute a) { return as_attr(a)->next; }

std::string_view xml_document::attribute_name(attribute a) {
  const xmlAttr* x = as_attr(a);
  return qualified_name(x->ns, x->name, attribute_name_);
}

std::string_view xml_document::attribute_value(attribute a) {
  const xmlNode* part = as_attr(a)->children;
  if (part == nullptr) return {};
  if (part->next == nullptr && part->type == XML_TEXT_NODE) {
    return to_cp1251(part->content, attribute_value_);
  }
  // A value with entity references: the references stay as written.
  std::string utf8;
  for (; part != nullptr; part = part->next) {
    if (part->type == XML_TEXT_NODE && part->content != nullptr) {
      utf8 += reinterpret_cast<const char*>(part->content);
    } else if (part->type == XML_ENTITY_REF_NODE) {
      utf8 += '&';
      utf8 += reinterpret_cast<const char*>(part->name);
      utf8 += ';';
    }
  }
  std::string converted;
  attribute_value_.assign(to_cp1251(reinterpret_cast<const xmlChar*>(utf8.c_str()), converted));
  return attribute_value_;
}

node_view::node xml_document::first_child(node n) {
  const xmlNode* x = as_node(n);
  // An entity reference's children are the entity's own nodes: not part of the tree.
  if (x->type != XML_ELEMENT_NODE && x->type != XML_DOCUMENT_NODE) return nullptr;
  return x->children;
}

node_view::node xml_document::next_sibling(node n) { return as_node(n)->next; }

}  // namespace tallyglass

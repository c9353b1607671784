#include "journal/document_check.h"

#include <exception>
#include <optional>
#include <vector>

#include "journal/loader.h"
#include "journal/model.h"
#include "journal/xml_document.h"
#include "link/protocol.h"
#include "text/cp1251.h"
#include "text/numbers.h"

namespace tallyglass {
namespace {

// The element children of parent; false when a comment, CDATA or anything
// else the register never writes stands among them. Text between elements is
// passed over, as the loader passes over it.
bool elements_of(xml_document& doc, node_view::node parent, std::vector<node_view::node>& out) {
  for (auto n = doc.first_child(parent); n; n = doc.next_sibling(n)) {
    const std::string_view name = doc.name(n);
    if (name == "#text") continue;
    if (!name.empty() && name[0] == '#') return false;
    out.push_back(n);
  }
  return true;
}

std::optional<std::string> attribute(xml_document& doc, node_view::node n, std::string_view name) {
  for (auto a = doc.first_attribute(n); a; a = doc.next_attribute(a))
    if (doc.attribute_name(a) == name) return std::string(doc.attribute_value(a));
  return std::nullopt;
}

DocumentCheck fail(DocumentFault fault, std::string message) { return {fault, std::move(message)}; }

}  // namespace

DocumentCheck check_document(std::string_view text, int class_code, std::int32_t number) {
  // The collected form around the one document, so that it parses exactly as
  // it will in the request's journal.
  std::string journal = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<RQ V=\"1\">\r\n";
  journal.append(text);
  journal += "\r\n</RQ>";
  try {
    xml_document doc(journal);
    std::vector<node_view::node> top;
    if (!elements_of(doc, doc.root(), top) || top.size() != 2 || doc.name(top[0]) != "DAT" ||
        doc.name(top[1]) != "MAC")
      return fail(DocumentFault::kNotOneDocument, "not one DAT followed by its MAC");
    std::vector<node_view::node> body;
    if (!elements_of(doc, top[0], body))
      return fail(DocumentFault::kNotOneDocument, "a comment or CDATA inside DAT");
    node_view::node receipt = nullptr;
    node_view::node zreport = nullptr;
    int kinds = 0;
    for (const auto n : body) {
      const std::string_view name = doc.name(n);
      if (name == "C") receipt = n;
      if (name == "Z") zreport = n;
      if (name == "C" || name == "Z") ++kinds;
    }
    if (kinds != 1) return fail(DocumentFault::kNotOneDocument, "not one receipt (C) or one Z-report (Z)");

    // The number as the archive and the selection read it: an exact integer.
    std::optional<std::string> no;
    if (zreport) {
      no = attribute(doc, zreport, "NO");
    } else {
      std::vector<node_view::node> lines;
      if (!elements_of(doc, receipt, lines))
        return fail(DocumentFault::kNotOneDocument, "a comment or CDATA inside C");
      for (const auto n : lines)
        if (doc.name(n) == "E") no = attribute(doc, n, "NO");
    }

    rq model;
    control loader;
    loader.clear();
    load_root(model, loader, doc, doc.root());

    const int found_class = zreport ? kClassZ : kClassCheck;
    if (found_class != class_code)
      return fail(DocumentFault::kWrongClass, found_class == kClassZ ? "a Z-report, not a receipt"
                                                                     : "a receipt, not a Z-report");
    const auto found = no ? ParseExactInt32(*no) : std::nullopt;
    if (!found) return fail(DocumentFault::kWrongNumber, "no number (NO) of its own");
    if (*found != number)
      return fail(DocumentFault::kWrongNumber,
                  "number " + IntText(*found) + ", not " + IntText(number));
    return {};
  } catch (const XmlParseError& e) {
    return fail(DocumentFault::kMalformed, "not well-formed: " + Cp1251ToUtf8(e.what()));
  } catch (const std::exception& e) {
    return fail(DocumentFault::kNotLoadable, "the loader refuses it: " + Cp1251ToUtf8(e.what()));
  }
}

}  // namespace tallyglass

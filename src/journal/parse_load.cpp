#include "journal/parse_load.h"

#include <exception>

#include "journal/loader.h"
#include "journal/xml_document.h"

namespace tallyglass {

bool parse_and_load(std::string_view text, rq& model, control& loader, std::string* failure) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    // A failed attempt leaves its unclosed document under doc_count, where the
    // next load would continue it; each attempt starts on a clean key and at
    // the root's code instead.
    model.dats.erase(model.doc_count);
    loader.clear();
    try {
      xml_document document(text);
      load_root(model, loader, document, document.root());
      return true;
    } catch (const std::exception& e) {
      if (failure != nullptr) *failure = e.what();
    }
  }
  return false;
}

}  // namespace tallyglass

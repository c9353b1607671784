#pragma once
// Reading a value straight from a journal's text, where a whole parse is not
// needed: the attribute of one start tag, as written (entities not decoded).
#include <cstddef>
#include <string_view>

namespace tallyglass {

// The value of name="..." (or name='...') in the start tag `tag` ("<DAT DI=..."
// up to its '>'); empty when it is not there.
inline std::string_view start_tag_attribute(std::string_view tag, std::string_view name) {
  for (std::size_t from = 0;;) {
    const std::size_t at = tag.find(name, from);
    if (at == std::string_view::npos) return {};
    from = at + 1;
    const std::size_t eq = at + name.size();
    const bool after_blank = at > 0 && (tag[at - 1] == ' ' || tag[at - 1] == '\t' || tag[at - 1] == '\n' ||
                                        tag[at - 1] == '\r');
    if (!after_blank || eq + 1 >= tag.size() || tag[eq] != '=' || (tag[eq + 1] != '"' && tag[eq + 1] != '\''))
      continue;
    const std::size_t close = tag.find(tag[eq + 1], eq + 2);
    if (close == std::string_view::npos) return {};
    return tag.substr(eq + 2, close - eq - 2);
  }
}

}  // namespace tallyglass

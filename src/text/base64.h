#pragma once
#include <string>
#include <string_view>

namespace tallyglass {

// Decodes standard-alphabet Base64 (RFC 4648). Decoding stops at the first "="
// or at the first character outside the alphabet (the reply line's CR always
// is one); a final group of two or three characters gives one or two bytes,
// a lone final character gives nothing.
std::string DecodeBase64(std::string_view text);

// Encodes bytes as standard Base64 with "=" padding (the register's side).
std::string EncodeBase64(std::string_view bytes);

}  // namespace tallyglass

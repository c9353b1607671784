#pragma once
// Joining a folder and a file name: one "/" between them; no folder gives the
// name alone (relative to the working directory).
#include <string>
#include <string_view>

namespace tallyglass {

inline std::string JoinPath(std::string_view dir, std::string_view name) {
  std::string path(dir);
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  return path;
}

}  // namespace tallyglass

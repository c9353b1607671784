#pragma once
// The rendered listing: Windows-1251 lines, appended to only, trailing spaces kept.
#include <string>
#include <vector>

namespace tallyglass {
using Listing = std::vector<std::string>;
}  // namespace tallyglass

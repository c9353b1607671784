#pragma once
// An ordered table from signed 32-bit keys to signed 32-bit values. Reading an
// absent key adds it with 0, and walks in key order see such entries.
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace tallyglass {

class sootv {
 public:
  void clear() { table_.clear(); }
  void set(std::int32_t key, std::int32_t value) { table_[key] = value; }
  std::int32_t get(std::int32_t key) { return table_[key]; }
  std::vector<std::pair<std::int32_t, std::int32_t>> ordered_copy() const {
    return {table_.begin(), table_.end()};
  }
  std::size_t size() const { return table_.size(); }

 private:
  std::map<std::int32_t, std::int32_t> table_;
};

}  // namespace tallyglass

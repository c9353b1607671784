#pragma once
// Files the tests read, and the scratch folders they write into.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace tallyglass::test_support {

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

inline void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The bundled sample journal, Windows-1251 bytes as the reader writes temp.xml.
inline const std::string& SampleJournal() {
  static const std::string text =
      ReadFile(std::filesystem::path(TALLYGLASS_SOURCE_DIR) / "samples" / "sample-journal.xml");
  return text;
}

// A new folder under the system's temporary directory, named after the prefix,
// the process and the running test, so parallel test processes never share one.
inline std::filesystem::path MakeScratchDir(std::string_view prefix) {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const auto dir = std::filesystem::temp_directory_path() /
                   (std::string(prefix) + "-" + std::to_string(::getpid()) + "-" +
                    (test != nullptr ? test->name() : "none"));
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace tallyglass::test_support

// INI bytes in, for the private-profile layer under fpinit.ini and the
// archive's setting: a key read from the file, a key written into it, and
// every other line of the file kept byte for byte.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "settings/archive_settings.h"
#include "settings/ini_file.h"

using namespace tallyglass;

namespace {

std::string read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = fuzz::WorkDir() + "/profile.ini";
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    TG_FUZZ_CHECK(f != nullptr);
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  const std::string before = read_all(path);
  // The first line of the input names a section and a key to ask for.
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string_view first = text.substr(0, text.find('\n'));
  const std::string_view section = first.substr(0, first.find('/'));
  const std::string_view key = first.find('/') == std::string_view::npos ? "Key" : first.substr(first.find('/') + 1);
  const std::string value = ReadProfileString(path, section, key, "default", 64);
  TG_FUZZ_CHECK(value.size() <= 63);
  (void)LoadArchivePath(path);
  TG_FUZZ_CHECK(read_all(path) == before);  // reading never writes

  // A plain value written under a plain key reads back as written.
  TG_FUZZ_CHECK(WriteProfileString(path, "Fuzz", "Written", "value 42"));
  TG_FUZZ_CHECK(ReadProfileString(path, "Fuzz", "Written", "", 256) == "value 42");
  TG_FUZZ_CHECK(WriteProfileString(path, "Fuzz", "Written", "again"));
  TG_FUZZ_CHECK(ReadProfileString(path, "fuzz", "WRITTEN", "", 256) == "again");
  return 0;
}

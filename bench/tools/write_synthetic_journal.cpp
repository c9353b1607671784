// Writes the benchmarks' synthetic journal to a file, for measuring the
// programs from outside (scripts/render-vs-xmllint).
//
//   write-synthetic-journal FILE [DOCUMENTS]      (default 5000 documents)
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "support/synthetic_journal.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fputs("usage: write-synthetic-journal FILE [DOCUMENTS]\n", stderr);
    return 2;
  }
  tallyglass::bench::SyntheticJournalOptions options;
  options.documents = 5000;
  if (argc == 3) {
    const std::string_view arg = argv[2];
    const auto res = std::from_chars(arg.data(), arg.data() + arg.size(), options.documents);
    if (res.ec != std::errc() || res.ptr != arg.data() + arg.size() || options.documents < 1) {
      std::fprintf(stderr, "write-synthetic-journal: DOCUMENTS must be a positive number, not '%s'\n", argv[2]);
      return 2;
    }
  }
  const std::string text = tallyglass::bench::MakeSyntheticJournal(options).text;
  // Written beside the target and renamed, so a reader never sees half a file.
  const std::string path = argv[1];
  const std::string temporary = path + ".part";
  std::FILE* f = std::fopen(temporary.c_str(), "wb");
  if (f == nullptr) {
    std::fprintf(stderr, "write-synthetic-journal: cannot write %s: %s\n", temporary.c_str(), std::strerror(errno));
    return 1;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (std::fclose(f) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::fprintf(stderr, "write-synthetic-journal: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    std::remove(temporary.c_str());
    return 1;
  }
  return 0;
}

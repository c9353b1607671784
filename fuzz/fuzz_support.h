#pragma once
// Small helpers shared by the fuzz targets.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tallyglass::fuzz {

// A private directory for the work files a target writes ("error.log",
// "temp.xml", "fpinit.ini"), made once per process.
inline const std::string& WorkDir() {
  static const std::string dir = [] {
    char pattern[] = "/tmp/tallyglass-fuzz-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    if (made == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    return std::string(made);
  }();
  return dir;
}

// Stops the run with a message when a property does not hold.
#define TG_FUZZ_CHECK(condition)                                                  \
  do {                                                                            \
    if (!(condition)) {                                                           \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__,       \
                   #condition);                                                   \
      std::abort();                                                               \
    }                                                                             \
  } while (0)

}  // namespace tallyglass::fuzz

#pragma once
// Runs a shell command line as a user would and collects what it wrote to
// standard output and its exit status.
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace tallyglass::test_support {

struct CommandRun {
  int status = -1;  // the exit status; -1 when it did not exit normally
  std::string out;
};

inline CommandRun RunCommand(const std::string& command) {
  CommandRun run;
  FILE* p = ::popen(command.c_str(), "r");
  if (p == nullptr) return run;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) run.out.append(buf, n);
  const int raw = ::pclose(p);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

}  // namespace tallyglass::test_support

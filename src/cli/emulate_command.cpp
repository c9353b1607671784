#include <cstdio>
#include "cli/commands.h"
namespace tallyglass::cli {
int RunEmulate(int, char**) { std::fputs("not built yet\n", stderr); return 2; }
}  // namespace tallyglass::cli

// tallyglass-cli: the headless companion of the desktop program.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "cli/commands.h"
#include "text/messages.h"

namespace {

constexpr const char* kUsage =
    "usage: tallyglass-cli COMMAND [OPTIONS]\n"
    "\n"
    "Reads the electronic journal of a fiscal cash register and prints its\n"
    "documents as the register printed them.\n"
    "\n"
    "commands:\n"
    "  render   render a saved journal (such as temp.xml) as the paper tape\n"
    "  fetch    fetch documents from a register and render them\n"
    "  lookup   ask a register for the receipt numbers of a period\n"
    "  export   write a saved journal's documents as exact CSV or JSON\n"
    "  reconcile check each Z-report against the receipts of its day\n"
    "  archive  import journals into the archive of fetched documents, or list it\n"
    "  emulate  run a register emulator on a pseudo-terminal\n"
    "  detect   find the port, speed and network number of a register\n"
    "\n"
    "'tallyglass-cli --version' prints the version and the licence.\n"
    "'tallyglass-cli COMMAND --help' explains each command.\n";

// The program, its version and its licence: the end of --help, and --version.
std::string VersionText() {
  std::string text = "tallyglass-cli " TALLYGLASS_VERSION "\n";
  text += tallyglass::messages::kCopyright;
  text += "\n";
  text += tallyglass::messages::kLicence;
  text += "\n";
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string_view command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    std::printf("%s\n%s", kUsage, VersionText().c_str());
    return 0;
  }
  if (command == "--version") {
    std::fputs(VersionText().c_str(), stdout);
    return 0;
  }
  // Each command sees its own name as argv[0].
  if (command == "render") return tallyglass::cli::RunRender(argc - 1, argv + 1);
  if (command == "fetch") return tallyglass::cli::RunFetch(argc - 1, argv + 1);
  if (command == "lookup") return tallyglass::cli::RunLookup(argc - 1, argv + 1);
  if (command == "export") return tallyglass::cli::RunExport(argc - 1, argv + 1);
  if (command == "reconcile") return tallyglass::cli::RunReconcile(argc - 1, argv + 1);
  if (command == "archive") return tallyglass::cli::RunArchive(argc - 1, argv + 1);
  if (command == "emulate") return tallyglass::cli::RunEmulate(argc - 1, argv + 1);
  if (command == "detect") return tallyglass::cli::RunDetect(argc - 1, argv + 1);
  std::fprintf(stderr, "tallyglass-cli: unknown command '%s'\n\n%s", argv[1], kUsage);
  return 2;
}

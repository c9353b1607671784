#pragma once
// The command line of one tallyglass-cli command: "--name VALUE" or
// "--name=VALUE", flags, and plain arguments, declared once and parsed alike
// for every command. Option values are UTF-8 as the terminal gives them.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallyglass::cli {

class OptionParser {
 public:
  // command names the messages ("render"); usage is printed after an error.
  OptionParser(std::string command, const char* usage);

  void value(std::string name, std::optional<std::string>* into);
  void flag(std::string name, bool* into);
  // Plain arguments; without this call a plain argument is an error.
  void arguments(std::vector<std::string>* into);
  // An option taken out of argv before parsing (--archive [PATH]): given
  // again, it is refused as given twice.
  void taken(std::string name);

  // False when the command line is wrong (message in error()), an option
  // given twice among the faults. "--help" and "-h" end the parse with help() set.
  bool parse(int argc, char** argv);
  bool help() const { return help_; }
  const std::string& error() const { return error_; }

  // Prints "tallyglass-cli COMMAND: MESSAGE" and the usage on standard error;
  // returns the exit status for bad arguments.
  int fail(const std::string& message) const;
  // Prints the usage on standard output; returns 0.
  int print_help() const;

 private:
  struct Declared {
    std::string name;
    std::optional<std::string>* value = nullptr;
    bool* flag = nullptr;
    bool seen = false;  // given once already: a second time is an error
  };
  std::string command_;
  const char* usage_;
  std::vector<Declared> declared_;
  std::vector<std::string>* arguments_ = nullptr;
  bool help_ = false;
  std::string error_;
};

inline constexpr int kExitUsage = 2;

// The --type values: z, check, check+z, service; nothing for any other text.
std::optional<int> ParseTypeChoice(std::string_view text);
inline constexpr const char* kTypeChoices = "z, check, check+z or service";

}  // namespace tallyglass::cli

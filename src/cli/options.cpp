#include "cli/options.h"

#include <cstdio>

#include "render/selection.h"

namespace tallyglass::cli {

OptionParser::OptionParser(std::string command, const char* usage)
    : command_(std::move(command)), usage_(usage) {}

void OptionParser::value(std::string name, std::optional<std::string>* into) {
  declared_.push_back({std::move(name), into, nullptr});
}

void OptionParser::flag(std::string name, bool* into) { declared_.push_back({std::move(name), nullptr, into}); }

void OptionParser::arguments(std::vector<std::string>* into) { arguments_ = into; }

void OptionParser::taken(std::string name) { declared_.push_back({std::move(name), nullptr, nullptr, true}); }

bool OptionParser::parse(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      help_ = true;
      return true;
    }
    if (arg.size() < 2 || arg.front() != '-') {
      if (arguments_ == nullptr) {
        error_ = "unexpected argument '" + std::string(arg) + "'";
        return false;
      }
      arguments_->emplace_back(arg);
      continue;
    }
    std::string_view name = arg;
    std::optional<std::string_view> inline_value;
    if (const auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string_view::npos) {
      name = arg.substr(0, eq);
      inline_value = arg.substr(eq + 1);
    }
    Declared* option = nullptr;
    for (auto& s : declared_)
      if (s.name == name) option = &s;
    if (option == nullptr) {
      error_ = "unknown option '" + std::string(arg) + "'";
      return false;
    }
    if (option->seen) {
      error_ = std::string(name) + " given twice";
      return false;
    }
    option->seen = true;
    if (option->flag != nullptr) {
      if (inline_value) {
        error_ = std::string(name) + " takes no value";
        return false;
      }
      *option->flag = true;
      continue;
    }
    if (!inline_value) {
      if (i + 1 >= argc) {
        error_ = std::string(name) + " needs a value";
        return false;
      }
      inline_value = argv[++i];
    }
    *option->value = std::string(*inline_value);
  }
  return true;
}

int OptionParser::fail(const std::string& message) const {
  std::fprintf(stderr, "tallyglass-cli %s: %s\n\n%s", command_.c_str(), message.c_str(), usage_);
  return kExitUsage;
}

int OptionParser::print_help() const {
  std::fputs(usage_, stdout);
  return 0;
}

std::optional<int> ParseTypeChoice(std::string_view text) {
  if (text == "z") return kChoiceZ;
  if (text == "check") return kChoiceCheck;
  if (text == "check+z") return kChoiceCheckZ;
  if (text == "service") return kChoiceService;
  return std::nullopt;
}

}  // namespace tallyglass::cli

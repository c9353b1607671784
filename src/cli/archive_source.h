#pragma once
// The archive as the commands read it: the default file, --archive [PATH]
// with its optional path, the choice of a register, and the archived
// documents of a request as a collected journal.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/archive_journal.h"

namespace tallyglass::cli {

// Beside fpinit.ini, temp.xml and error.log in the working directory.
inline constexpr const char* kDefaultArchive = "journal.db";

// Takes "--archive", "--archive PATH" and "--archive=PATH" out of argv (the
// path is the next argument unless that is an option). Returns whether it was
// there; path receives the path or the default.
bool TakeArchiveOption(std::vector<char*>& args, std::string& path);

// Opens an archive for a command, or says why not on standard error
// ("tallyglass-cli COMMAND: ...") and gives nothing.
std::unique_ptr<Archive> OpenArchive(const char* command, const std::string& path, Archive::Mode mode);

// The register of --register (a ZN, UTF-8), or the only one when none is
// given. Nothing after telling why on standard error: no such register, or
// several and none chosen (they are listed).
std::optional<RegisterSummary> ChooseRegister(const char* command, const Archive& archive,
                                              const std::optional<std::string>& zn_utf8);

}  // namespace tallyglass::cli

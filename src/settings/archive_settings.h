#pragma once
// Where the desktop program keeps its archive of fetched documents: the key
// Path of the section Archive in fpinit.ini, "journal.db" (in the working
// directory, beside the other work files) when it is not there.
#include <string>
#include <string_view>

namespace tallyglass {

inline constexpr std::string_view kArchiveSection = "Archive";
inline constexpr std::string_view kArchivePathKey = "Path";
inline constexpr std::string_view kDefaultArchivePath = "journal.db";

// The archive's file name as the file system takes it (UTF-8); the INI's own
// bytes are Windows-1251.
std::string LoadArchivePath(const std::string& ini_path);

}  // namespace tallyglass

#pragma once
#include <string>

#include "render/listing.h"
#include "render/render_listing.h"

namespace tallyglass {

// Writes the listing to a file as the query window saves it: every line's
// bytes as they are (Windows-1251), each followed by CR LF; an empty listing
// gives an empty file. Throws std::system_error carrying the operating system's
// message when the file cannot be created or written; the listing is untouched.
void save_listing(const Listing& listing, const std::string& path);

// "error.log": the message of the last document that failed to render, and a
// newline; nothing is written when none failed. A log that cannot be written
// is given up silently: the listing matters more.
void write_error_log(const RenderResult& rendered, const std::string& path);

// The same writer for any list of entries (the raw list into "temp.xml").
void write_crlf_lines(const std::vector<std::string>& lines, const std::string& path);

}  // namespace tallyglass

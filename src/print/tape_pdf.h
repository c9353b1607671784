#pragma once
// The listing as a PDF of tape columns, and the same pages as pictures for a
// printer. Both draw from one TapeLayout with one embedded fixed-pitch font,
// so what is printed is what the PDF shows.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "journal/model.h"
#include "print/tape_layout.h"
#include "render/listing.h"

namespace tallyglass {

// The page heading, Windows-1251: the register's numbers and what was asked.
struct TapeHeading {
  std::string zn;     // the register's serial number
  std::string fn;     // its fiscal number
  std::string range;  // e.g. "Чек+Z-отчет № 130-148"
};

// The heading of a listing rendered from the model for the type choice and
// number range: ZN and FN of the first loaded document, as the tape takes FN.
TapeHeading heading_for(const rq& model, int type_choice, std::int32_t first, std::int32_t last);

// The TrueType file of the tape font (DejaVu Sans Mono), looked for at the
// Debian paths and then through fontconfig; "" when there is none.
std::string find_tape_font();

// Called after each drawn page with the pages done and the total; returning
// false stops the work.
using PageProgress = std::function<bool(std::size_t done, std::size_t total)>;

struct PdfResult {
  std::string error;        // UTF-8, for a person; empty on success
  bool cancelled = false;   // stopped by the progress callback; nothing written
  std::size_t pages = 0;    // pages written
  std::uint64_t bytes = 0;  // size of the file written
  bool ok() const { return error.empty() && !cancelled; }
};

// Writes the laid-out listing to path as PDF. The file appears whole or not
// at all: it is written beside path under a temporary name and renamed.
PdfResult write_tape_pdf(const Listing& listing, const TapeLayout& layout, const TapeHeading& heading,
                         const std::string& path, const PageProgress& progress = {});

// One page drawn at dpi into 32-bit premultiplied ARGB pixels in native byte
// order (QImage::Format_ARGB32_Premultiplied), white background.
struct PageImage {
  int width = 0;
  int height = 0;
  int stride = 0;  // bytes per row
  std::vector<unsigned char> pixels;
  std::string error;  // UTF-8; set when the page could not be drawn
};
PageImage draw_tape_page(const Listing& listing, const TapeLayout& layout, const TapeHeading& heading,
                         std::size_t page, double dpi);

}  // namespace tallyglass

#pragma once
// The current listing on paper, for any window that shows one (the query
// window; the archive window calls the same): a PDF file chosen in a save
// dialog, or the system's printers through the print dialog. Both draw the
// pages of the one tape layout, with progress and Cancel on a long listing.
#include <QString>
#include <cstddef>
#include <vector>

#include "print/tape_pdf.h"
#include "render/listing.h"

class QWidget;

namespace tallyglass {

struct TapeSource {
  const Listing& listing;
  const std::vector<std::size_t>& document_starts;
  TapeHeading heading;
};

// Asks for a file name ("*.pdf") and writes the PDF; false when the user
// cancelled or it failed (the failure is shown in the error box).
bool SaveListingPdf(QWidget* parent, const TapeSource& source);

// Writes the PDF to path, showing a failure in the error box; true on success.
bool WriteListingPdf(QWidget* parent, const TapeSource& source, const QString& path);

// Shows the print dialog and prints the chosen pages; false when cancelled
// or failed (shown in the error box).
bool PrintListing(QWidget* parent, const TapeSource& source);

}  // namespace tallyglass

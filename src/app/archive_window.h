#pragma once
// The archive window, opened from the connection window's "Архив" without a
// register connected: a register chosen from the archive's list, a request by
// numbers or by dates with the type choice of the query window, rendered into
// a listing in the same fixed-pitch view, and "Сохранить"; below the listing
// the same tools as the query window's: find (Ctrl+F), "Экспорт…", "Сверка",
// "PDF…" and "Печать…".
#include <QDialog>

#include <string>

#include "export/exact_journal.h"
#include "print/tape_pdf.h"
#include "print/text_export.h"
#include "render/listing.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;

namespace tallyglass {

class ListingModel;
class ListingTools;

class ArchiveWindow : public QDialog {
  Q_OBJECT

 public:
  // path: the archive file (UTF-8). An archive that cannot be used is said in
  // an error box and the window shows nothing to choose.
  ArchiveWindow(const std::string& path, QWidget* parent = nullptr);
  ~ArchiveWindow() override;

  const Listing& CurrentListing() const { return listing_; }
  // Renders the request by numbers (by_dates false) or by dates.
  void Render(bool by_dates);
  void SaveTo(const QString& path, TextEncoding encoding = TextEncoding::cp1251);

  QComboBox* RegisterBox;
  QComboBox* TypeBox;
  QLineEdit* FromNumber;
  QLineEdit* ToNumber;
  QLineEdit* FromDate;
  QLineEdit* ToDate;
  QPushButton* ByNumbersButton;
  QPushButton* ByDatesButton;
  QPushButton* SaveButton;
  QPushButton* PdfButton;
  QPushButton* PrintButton;
  QListView* ListView;
  QLabel* StatusLabel;
  ListingTools* Tools() const { return tools_; }

 private:
  std::string path_;
  Listing listing_;
  ListingModel* model_;
  // What the tools need of the current listing: where its documents begin,
  // its heading, and its documents read exactly.
  std::vector<std::size_t> document_starts_;
  TapeHeading heading_;
  ExactJournal exact_;
  std::string exact_failure_;
  ListingTools* tools_;
};

}  // namespace tallyglass

#include "app/tape_output.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <algorithm>
#include <memory>

#include "app/dialogs.h"

namespace tallyglass {
namespace {

// Printers get the pages as pictures at most this fine: plenty for 7-point
// type and a bounded size per page.
constexpr int kMaxPrintDpi = 300;

// Progress with Cancel; it appears only when the work takes a while.
class PageProgressBox {
 public:
  PageProgressBox(QWidget* parent, const QString& what, std::size_t total)
      : box_(what, "Отмена", 0, static_cast<int>(total), parent) {
    box_.setWindowTitle(QApplication::applicationName());
    box_.setWindowModality(Qt::WindowModal);
    box_.setMinimumDuration(400);
    box_.setValue(0);
  }
  // The callback of the PDF writer and of the print loop: false to stop.
  bool step(std::size_t done) {
    box_.setValue(static_cast<int>(done));
    QApplication::processEvents();
    return !box_.wasCanceled();
  }
  void close() { box_.reset(); }

 private:
  QProgressDialog box_;
};

}  // namespace

bool WriteListingPdf(QWidget* parent, const TapeSource& source, const QString& path) {
  const TapeLayout layout = lay_out_tape(source.listing, source.document_starts);
  PageProgressBox progress(parent, "Запись PDF…", layout.page_count());
  const PdfResult result =
      write_tape_pdf(source.listing, layout, source.heading, QFile::encodeName(path).toStdString(),
                     [&progress](std::size_t done, std::size_t) { return progress.step(done); });
  progress.close();
  if (!result.error.empty()) ShowError(parent, QString::fromStdString(result.error));
  return result.ok();
}

bool SaveListingPdf(QWidget* parent, const TapeSource& source) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter("PDF (*.pdf)");
  dialog.setDefaultSuffix("pdf");
  dialog.setDirectory(QDir::currentPath());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  return WriteListingPdf(parent, source, dialog.selectedFiles().constFirst());
}

bool PrintListing(QWidget* parent, const TapeSource& source) {
  const TapeLayout layout = lay_out_tape(source.listing, source.document_starts);
  const int pages = static_cast<int>(layout.page_count());
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageSize(QPageSize(QPageSize::A4));
  printer.setPageOrientation(QPageLayout::Portrait);
  printer.setFullPage(true);  // the layout keeps its own margins
  printer.setDocName("Tallyglass");
  QPrintDialog dialog(&printer, parent);
  dialog.setMinMax(1, pages);
  dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
  if (dialog.exec() != QDialog::Accepted) return false;

  int from = 1;
  int to = pages;
  if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
    from = std::max(1, printer.fromPage());
    to = std::min(pages, printer.toPage() > 0 ? printer.toPage() : pages);
  }
  const double dpi = std::min(printer.resolution(), kMaxPrintDpi);
  PageProgressBox progress(parent, "Печать…", static_cast<std::size_t>(to - from + 1));
  QPainter painter;
  if (!painter.begin(&printer)) {
    progress.close();
    ShowError(parent, "Не удалось начать печать на выбранном принтере.");
    return false;
  }
  const QRect target(0, 0, printer.width(), printer.height());
  for (int page = from; page <= to; ++page) {
    if (page > from) printer.newPage();
    const PageImage image = draw_tape_page(source.listing, layout, source.heading,
                                           static_cast<std::size_t>(page - 1), dpi);
    if (!image.error.empty()) {
      painter.end();
      progress.close();
      ShowError(parent, "Не удалось напечатать: " + QString::fromStdString(image.error));
      return false;
    }
    const QImage picture(image.pixels.data(), image.width, image.height, image.stride,
                         QImage::Format_ARGB32_Premultiplied);
    painter.drawImage(target, picture);
    if (!progress.step(static_cast<std::size_t>(page - from + 1))) {
      printer.abort();
      painter.end();
      return false;
    }
  }
  painter.end();
  progress.close();
  return true;
}

}  // namespace tallyglass

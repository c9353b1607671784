#include "app/listing_tools.h"

#include <QFile>
#include <QFileDialog>
#include <QListView>
#include <QPushButton>
#include <QShortcut>
#include <QWidget>
#include <system_error>

#include "app/dialogs.h"
#include "app/find_bar.h"
#include "app/reconcile_window.h"
#include "export/export_writer.h"

namespace tallyglass {

ListingTools::ListingTools(QWidget* window, QListView* view, const std::vector<std::string>* lines, Source source,
                           int row_y)
    : QObject(window), window_(window), source_(std::move(source)) {
  const QRect list = view->geometry();
  find_bar_ = new FindBar(view, lines, window);
  find_bar_->setGeometry(list.x(), row_y, list.width(), 28);
  export_button_ = new QPushButton("Экспорт…", window);
  export_button_->setObjectName("ExportButton");
  export_button_->setGeometry(list.right() + 23, row_y, 90, 28);
  reconcile_button_ = new QPushButton("Сверка", window);
  reconcile_button_->setObjectName("ReconcileButton");
  reconcile_button_->setGeometry(list.right() + 23 + 100, row_y, 90, 28);
  auto* shortcut = new QShortcut(QKeySequence::Find, window);
  shortcut->setContext(Qt::WindowShortcut);
  connect(shortcut, &QShortcut::activated, find_bar_, &FindBar::Open);
  connect(export_button_, &QPushButton::clicked, this, &ListingTools::ExportClick);
  connect(reconcile_button_, &QPushButton::clicked, this, &ListingTools::ShowReconciliation);
}

void ListingTools::ListingChanged() { find_bar_->Refresh(); }

void ListingTools::ExportClick() {
  static const QString kJson = "JSON (*.json)";
  static const QString kCsv = "CSV, таблицы в папку (*)";
  static const QString kExcel = "CSV для Excel, таблицы в папку (*)";
  QString filter = kJson;
  const QString path = QFileDialog::getSaveFileName(window_, "Экспорт документов", QString(),
                                                    kJson + ";;" + kCsv + ";;" + kExcel, &filter);
  if (path.isEmpty()) return;
  ExportTo(path, filter == kJson ? "json" : filter == kCsv ? "csv" : "excel");
}

bool ListingTools::ExportTo(const QString& path, const QString& format) {
  if (source_.failure) {
    if (const std::string failure = source_.failure(); !failure.empty()) {
      ShowError(window_, QString::fromStdString(failure));
      return false;
    }
  }
  const auto docs = source_.documents();
  try {
    const std::filesystem::path target = QFile::encodeName(path).toStdString();
    if (format == "json") {
      write_file_atomically(target, export_json(docs));
    } else {
      write_csv_folder(target, export_csv(docs, format == "excel" ? CsvDialect::excel() : CsvDialect{}));
    }
  } catch (const std::system_error& e) {
    ShowError(window_, QString::fromLocal8Bit(e.what()));
    return false;
  }
  return true;
}

void ListingTools::ShowReconciliation() {
  if (source_.failure) {
    if (const std::string failure = source_.failure(); !failure.empty()) {
      ShowError(window_, QString::fromStdString(failure));
      return;
    }
  }
  if (!reconcile_window_) reconcile_window_ = new ReconcileWindow(window_);
  try {
    reconcile_window_->ShowResult(reconcile(source_.documents(), source_.abandoned ? source_.abandoned()
                                                                                   : std::vector<AbandonedReceipt>{}));
  } catch (const ExportError& e) {
    ShowError(window_, QString::fromStdString(e.what()));
    return;
  }
  reconcile_window_->show();
  reconcile_window_->raise();
}

}  // namespace tallyglass

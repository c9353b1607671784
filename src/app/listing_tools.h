#pragma once
// What a window with a listing gets besides its designed controls: a find bar
// (Ctrl+F), "Экспорт…" and "Сверка" in a row below the designed area, and the
// reconciliation window. The documents come from the owner, so the query
// window (fetched journal texts) and an archive can both feed it.
#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "export/exact_journal.h"
#include "export/reconcile.h"

class QListView;
class QPushButton;
class QWidget;

namespace tallyglass {

class FindBar;
class ReconcileWindow;

class ListingTools : public QObject {
  Q_OBJECT

 public:
  struct Source {
    // The documents of the current listing, in DI order.
    std::function<std::vector<const ExactDocument*>()> documents;
    // Receipt numbers recorded as fetched without data.
    std::function<std::vector<AbandonedReceipt>()> abandoned;
    // Why the documents could not be read exactly, when they could not.
    std::function<std::string()> failure;
  };

  // `row_y`: where the added row starts in `window`.
  ListingTools(QWidget* window, QListView* view, const std::vector<std::string>* lines, Source source, int row_y);

  FindBar* Find() const { return find_bar_; }
  QPushButton* ExportButton() const { return export_button_; }
  QPushButton* ReconcileButton() const { return reconcile_button_; }
  ReconcileWindow* Reconciliation() const { return reconcile_window_; }

  // After the listing changed.
  void ListingChanged();
  // Writes the current documents: format "json", "csv" or "excel" (CSV in
  // that dialect into the folder `path`). An error box tells a failure; true
  // when written.
  bool ExportTo(const QString& path, const QString& format);
  // Reconciles the current documents and shows the window.
  void ShowReconciliation();

 private:
  void ExportClick();

  QWidget* window_;
  Source source_;
  FindBar* find_bar_;
  QPushButton* export_button_;
  QPushButton* reconcile_button_;
  ReconcileWindow* reconcile_window_ = nullptr;
};

}  // namespace tallyglass

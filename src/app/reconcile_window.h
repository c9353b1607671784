#pragma once
// "Сверка": the reconciliation as a table, one branch per Z-report with its
// figures, each day marked green (agrees), red (differs) or yellow
// (incomplete); receipts after the last Z-report as an open day.
#include <QWidget>

#include "export/reconcile.h"

class QLabel;
class QTreeWidget;

namespace tallyglass {

class ReconcileWindow : public QWidget {
  Q_OBJECT

 public:
  explicit ReconcileWindow(QWidget* parent = nullptr);
  void ShowResult(const Reconciliation& r);

  QTreeWidget* Table() const { return table_; }
  QLabel* Summary() const { return summary_; }

 private:
  QTreeWidget* table_;
  QLabel* summary_;
};

}  // namespace tallyglass

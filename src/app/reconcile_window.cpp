#include "app/reconcile_window.h"

#include <QBrush>
#include <QColor>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "export/exact_journal.h"

namespace tallyglass {
namespace {

const QColor kAgree(0xC8, 0xEE, 0xC8);
const QColor kDiffer(0xF4, 0xB8, 0xB8);
const QColor kIncomplete(0xFA, 0xEC, 0xA0);

QString Value(const ReconcileFigure& f, std::int64_t v) {
  return QString::fromStdString(fixed_text(v, f.amount ? 2 : 0));
}

QString RangeText(const std::vector<std::pair<std::int64_t, std::int64_t>>& ranges) {
  QStringList parts;
  for (const auto& [a, b] : ranges) parts << (a == b ? QString::number(a) : QString("%1-%2").arg(a).arg(b));
  return parts.join(", ");
}

}  // namespace

ReconcileWindow::ReconcileWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("ReconcileWindow");
  setWindowTitle("Сверка Z-отчетов с чеками");
  resize(760, 560);
  auto* layout = new QVBoxLayout(this);
  table_ = new QTreeWidget(this);
  table_->setColumnCount(5);
  table_->setHeaderLabels({"Показатель", "Z-отчет", "Чеки", "Разница", "Итог"});
  table_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  summary_ = new QLabel(this);
  summary_->setWordWrap(true);
  layout->addWidget(table_, 1);
  layout->addWidget(summary_);
}

void ReconcileWindow::ShowResult(const Reconciliation& r) {
  table_->clear();
  int agree = 0, differ = 0, incomplete = 0;
  auto add_day = [&](const ReconcileDay& d) {
    auto* item = new QTreeWidgetItem(table_);
    QString head = d.open ? QString("Открытая смена") : QString("Z-отчет %1, DI %2 %3").arg(d.number).arg(d.di).arg(QString::fromStdString(d.ts));
    head += QString(" — ZN %1, FN %2, чеков %3").arg(QString::fromStdString(d.zn), QString::fromStdString(d.fn)).arg(d.receipts);
    if (d.annulled > 0) head += QString(", аннулировано %1").arg(d.annulled);
    item->setText(0, head);
    QString status;
    QColor colour;
    if (d.open) {
      status = "не сверяется";
    } else if (!d.complete) {
      status = d.agree ? "неполная" : "неполная, расходится";
      colour = kIncomplete;
      ++incomplete;
      differ += !d.agree;
    } else if (!d.agree) {
      status = "расходится";
      colour = kDiffer;
      ++differ;
    } else {
      status = "сходится";
      colour = kAgree;
      ++agree;
    }
    item->setText(4, status);
    item->setFirstColumnSpanned(false);
    if (colour.isValid()) {
      for (int c = 0; c < 5; ++c) item->setBackground(c, colour);
    }
    for (const auto& f : d.figures) {
      auto* row = new QTreeWidgetItem(item);
      row->setText(0, QString::fromStdString(f.name));
      if (!d.open) row->setText(1, f.zreport ? Value(f, *f.zreport) : QString("—"));
      row->setText(2, Value(f, f.receipts));
      if (!d.open) {
        row->setText(3, Value(f, f.receipts - f.zreport.value_or(0)));
        row->setText(4, f.agree ? "да" : "нет");
        if (!f.agree) {
          for (int c = 0; c < 5; ++c) row->setBackground(c, kDiffer);
        }
      }
      for (int c = 1; c < 4; ++c) row->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    if (!d.gaps.di.empty()) new QTreeWidgetItem(item, {"нет документов DI " + RangeText(d.gaps.di)});
    if (!d.gaps.numbers.empty()) new QTreeWidgetItem(item, {"нет чеков № " + RangeText(d.gaps.numbers)});
    if (!d.gaps.abandoned.empty()) {
      QStringList numbers;
      for (const auto n : d.gaps.abandoned) numbers << QString::number(n);
      new QTreeWidgetItem(item, {"получены без данных чеки № " + numbers.join(", ")});
    }
    // Days that need a look are opened.
    item->setExpanded(d.open || !d.agree || !d.complete);
  };
  for (const auto& d : r.days) add_day(d);
  for (const auto& d : r.open) add_day(d);
  QString summary = QString("Z-отчетов %1: сходятся %2, расходятся %3, неполных %4.")
                        .arg(r.days.size()).arg(agree).arg(differ).arg(incomplete);
  if (r.days.empty() && r.open.empty()) summary = "Нет документов для сверки.";
  summary_->setText(summary);
  table_->resizeColumnToContents(1);
  table_->resizeColumnToContents(2);
  table_->resizeColumnToContents(3);
}

}  // namespace tallyglass

#include "app/find_bar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>

#include "app/qt_text.h"

namespace tallyglass {

FindBar::FindBar(QListView* view, const std::vector<std::string>* lines, QWidget* parent)
    : QWidget(parent), view_(view), find_(lines) {
  setObjectName("FindBar");
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);
  text_ = new QLineEdit(this);
  text_->setObjectName("FindText");
  text_->setPlaceholderText("Найти");
  previous_ = new QPushButton("Назад", this);
  previous_->setObjectName("FindPrevious");
  next_ = new QPushButton("Далее", this);
  next_->setObjectName("FindNext");
  count_ = new QLabel(this);
  count_->setObjectName("FindCount");
  count_->setMinimumWidth(70);
  layout->addWidget(text_, 1);
  layout->addWidget(previous_);
  layout->addWidget(next_);
  layout->addWidget(count_);
  connect(text_, &QLineEdit::textChanged, this, &FindBar::SetText);
  connect(text_, &QLineEdit::returnPressed, this, &FindBar::Next);
  connect(previous_, &QPushButton::clicked, this, &FindBar::Previous);
  connect(next_, &QPushButton::clicked, this, &FindBar::Next);
  hide();
}

void FindBar::Open() {
  show();
  raise();
  text_->setFocus();
  text_->selectAll();
}

int FindBar::CurrentRow() const {
  const QModelIndex index = view_->currentIndex();
  return index.isValid() ? index.row() : -1;
}

void FindBar::SetText(const QString& text) {
  if (text_->text() != text) text_->setText(text);  // comes back here through textChanged
  find_.set_text(FromQt(text));
  // Typing keeps the current line when it still matches, else goes on from it.
  const int row = CurrentRow();
  Go(find_.ordinal(row) > 0 ? row : find_.next(row));
}

void FindBar::Next() { Go(find_.next(CurrentRow())); }

void FindBar::Previous() { Go(find_.previous(CurrentRow())); }

void FindBar::Refresh() {
  find_.refresh();
  ShowCount();
}

void FindBar::Go(int row) {
  if (row >= 0) {
    const QModelIndex index = view_->model()->index(row, 0);
    view_->setCurrentIndex(index);
    view_->scrollTo(index, QAbstractItemView::PositionAtCenter);
  }
  ShowCount();
}

void FindBar::ShowCount() {
  if (find_.text().empty()) {
    count_->clear();
    return;
  }
  const int place = find_.ordinal(CurrentRow());
  count_->setText(find_.count() == 0 ? QString("нет")
                                     : QString("%1 из %2").arg(place).arg(find_.count()));
}

void FindBar::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    hide();
    view_->setFocus();
    return;
  }
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() & Qt::ShiftModifier) {
    Previous();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace tallyglass

#pragma once
// The find bar of a listing: text, previous, next and the match count. It
// selects and scrolls to the matching line; Escape closes it. The matching
// itself is ListingFind's.
#include <QWidget>
#include <string>
#include <vector>

#include "find/listing_find.h"

class QLabel;
class QLineEdit;
class QListView;
class QPushButton;

namespace tallyglass {

class FindBar : public QWidget {
  Q_OBJECT

 public:
  FindBar(QListView* view, const std::vector<std::string>* lines, QWidget* parent);

  // Shows the bar with the text selected for typing.
  void Open();
  void SetText(const QString& text);
  void Next();
  void Previous();
  // After the listing changed.
  void Refresh();

  QLineEdit* Text() const { return text_; }
  QLabel* Count() const { return count_; }
  int CurrentRow() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Go(int row);
  void ShowCount();

  QListView* view_;
  ListingFind find_;
  QLineEdit* text_;
  QPushButton* previous_;
  QPushButton* next_;
  QLabel* count_;
};

}  // namespace tallyglass

#pragma once
// A list model over lines of Windows-1251 text owned elsewhere (the listing,
// the raw list). Lines become QStrings only when a view asks for them, so a
// listing of hundreds of thousands of lines shows at once.
#include <QAbstractListModel>
#include <QFont>
#include <QSize>
#include <string>
#include <vector>

namespace tallyglass {

// The listing's font: "Courier New" (Liberation Mono on Linux, with the same
// metrics), else the system's fixed-pitch font; 12 pixels.
QFont ListingFont();

class ListingModel : public QAbstractListModel {
  Q_OBJECT

 public:
  ListingModel(const std::vector<std::string>* lines, QObject* parent = nullptr);

  // The size every item has (uniform), the width from the longest line.
  void SetItemSize(int char_width, int item_height);
  // Call after the lines changed.
  void Refresh();

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  const std::vector<std::string>* lines_;
  int char_width_ = 8;
  int item_height_ = 14;
  QSize item_size_;
};

}  // namespace tallyglass

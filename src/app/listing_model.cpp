#include "app/listing_model.h"

#include <QFontDatabase>
#include <QFontInfo>

#include <algorithm>

#include "app/qt_text.h"

namespace tallyglass {

QFont ListingFont() {
  QFont font("Courier New");
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPixelSize(12);
  if (!QFontInfo(font).fixedPitch()) {
    font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(12);
  }
  return font;
}

ListingModel::ListingModel(const std::vector<std::string>* lines, QObject* parent)
    : QAbstractListModel(parent), lines_(lines) {
  Refresh();
}

void ListingModel::SetItemSize(int char_width, int item_height) {
  char_width_ = char_width;
  item_height_ = item_height;
  Refresh();
}

void ListingModel::Refresh() {
  beginResetModel();
  std::size_t longest = 0;
  for (const auto& line : *lines_) longest = std::max(longest, line.size());
  item_size_ = QSize(static_cast<int>(longest) * char_width_ + 8, item_height_);
  endResetModel();
}

int ListingModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(lines_->size());
}

QVariant ListingModel::data(const QModelIndex& index, int role) const {
  // The lines may have changed since the last refresh; never read past them.
  if (!index.isValid() || index.row() < 0 || static_cast<std::size_t>(index.row()) >= lines_->size())
    return {};
  switch (role) {
    case Qt::DisplayRole:
      return ToQt((*lines_)[static_cast<std::size_t>(index.row())]);
    case Qt::SizeHintRole:
      return item_size_;
    default:
      return {};
  }
}

}  // namespace tallyglass

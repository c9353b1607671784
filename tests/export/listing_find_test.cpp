#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "find/listing_find.h"
#include "text/cp1251.h"

namespace tallyglass {
namespace {

TEST(ListingFindTest, StepsThroughTheMatchesBothWaysAndWraps) {
  std::vector<std::string> lines;
  for (const char* l : {"ФІСКАЛЬНИЙ ЧЕК", "Хліб", "сума", "Молоко", "фіскальний чек", "", "ЇЖАК їжак", "Ёлка"}) {
    lines.push_back(Utf8ToCp1251(l));
  }
  ListingFind find(&lines);
  find.set_text(Utf8ToCp1251("Фіскальний"));
  EXPECT_EQ(find.matches(), (std::vector<int>{0, 4}));
  EXPECT_EQ(find.next(-1), 0);
  EXPECT_EQ(find.next(0), 4);
  EXPECT_EQ(find.next(4), 0);  // wraps
  EXPECT_EQ(find.previous(0), 4);  // wraps
  EXPECT_EQ(find.previous(4), 0);
  EXPECT_EQ(find.previous(-1), 4);
  EXPECT_EQ(find.ordinal(4), 2);
  EXPECT_EQ(find.ordinal(1), 0);

  struct Case { const char* needle; std::vector<int> rows; };
  const Case kCases[] = {{"ХЛІБ", {1}}, {"ї", {6}}, {"ЁЛ", {7}}, {"чек", {0, 4}}, {"SUMA", {}}, {"", {}}};
  for (const auto& c : kCases) {
    find.set_text(Utf8ToCp1251(c.needle));
    EXPECT_EQ(find.matches(), c.rows) << c.needle;
    if (c.rows.empty()) {
      EXPECT_EQ(find.next(3), -1);
    }
  }
  lines.push_back(Utf8ToCp1251("ще один чек"));
  find.set_text(Utf8ToCp1251("чек"));
  EXPECT_EQ(find.count(), 3);
}

}  // namespace
}  // namespace tallyglass

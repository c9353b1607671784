// DIs that more than one differing document holds, found in journal texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "journal/shared_di.h"

namespace tallyglass {
namespace {

std::string Document(const std::string& zn, int di, int number) {
  const std::string d = std::to_string(di);
  return "<DAT DI=\"" + d + "\" FN=\"1\" ZN=\"" + zn + "\"><C T=\"0\"><E NO=\"" + std::to_string(number) +
         "\" SM=\"100\"></E></C></DAT><MAC DI=\"" + d + "\" NT=\"1\">x</MAC>\r\n";
}

std::string Journal(const std::string& documents) {
  return "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<RQ V=\"1\">\r\n" + documents + "</RQ>\r\n";
}

TEST(SharedDiTest, OnlyDifferingDocumentsAtOneDiAreNamed) {
  struct Case {
    const char* what;
    std::vector<std::string> texts;
    std::string found;  // "ZN/DI/count;" for each shared DI
  };
  const Case kCases[] = {
      {"one journal, each DI once", {Journal(Document("A", 1, 5) + Document("A", 2, 6))}, ""},
      {"the same document twice", {Journal(Document("A", 1, 5) + Document("A", 1, 5))}, ""},
      {"two files overlapping", {Journal(Document("A", 1, 5)), Journal(Document("A", 1, 5) + Document("A", 2, 6))}, ""},
      {"another register's DI", {Journal(Document("A", 1, 5) + Document("B", 1, 9))}, ""},
      {"same DI, another number", {Journal(Document("A", 1, 5) + Document("A", 1, 6))}, "A/1/2;"},
      {"across two files, three copies",
       {Journal(Document("A", 7, 5) + Document("A", 8, 6)), Journal(Document("A", 7, 15) + Document("A", 7, 25))},
       "A/7/3;"},
  };
  for (const auto& c : kCases) {
    SharedDiFinder finder;
    for (const auto& text : c.texts) finder.add(text);
    std::string found;
    for (const auto& s : finder.shared()) found += s.zn + "/" + std::to_string(s.di) + "/" + std::to_string(s.documents) + ";";
    EXPECT_EQ(found, c.found) << c.what;
  }
  SharedDiFinder finder;
  finder.add(Journal(Document("402400117", 513, 131) + Document("402400117", 513, 132)));
  EXPECT_EQ(shared_di_lines(finder.shared()),
            std::vector<std::string>{"DI 513 (ЗН 402400117): одно место в журнале у 2 разных документов"});
}

}  // namespace
}  // namespace tallyglass

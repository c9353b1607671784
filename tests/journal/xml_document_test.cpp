#include "journal/xml_document.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "support/journal_text.h"

namespace tallyglass {
namespace {

using test_support::cp;
using test_support::journal_text;

std::vector<std::string> child_names(xml_document& doc, node_view::node parent) {
  std::vector<std::string> names;
  for (auto n = doc.first_child(parent); n != nullptr; n = doc.next_sibling(n)) {
    names.emplace_back(doc.name(n));
  }
  return names;
}

TEST(XmlDocument, PresentsNodesInOrderWithWhitespaceText) {
  xml_document doc(journal_text(
      R"(<DAT DI="1" TN="ПН 1"><C T="0"><L N="1">Ґанок №5</L><P/><!-- x --></C></DAT><MAC/>)"));
  const auto root = doc.root();
  EXPECT_EQ(doc.name(root), "RQ");
  EXPECT_EQ(child_names(doc, root), (std::vector<std::string>{"#text", "DAT", "MAC", "#text"}));
  const auto dat = doc.next_sibling(doc.first_child(root));
  auto a = doc.first_attribute(dat);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(doc.attribute_name(a), "DI");
  a = doc.next_attribute(a);
  EXPECT_EQ(doc.attribute_name(a), "TN");
  EXPECT_EQ(doc.attribute_value(a), cp("ПН 1"));
  EXPECT_EQ(doc.next_attribute(a), nullptr);

  const auto c = doc.first_child(dat);
  EXPECT_EQ(child_names(doc, c), (std::vector<std::string>{"L", "P", "#comment"}));
  std::string_view text;
  EXPECT_TRUE(doc.only_child_text(doc.first_child(c), text));
  EXPECT_EQ(text, cp("Ґанок №5"));
  EXPECT_FALSE(doc.only_child_text(c, text));
  EXPECT_FALSE(doc.only_child_text(doc.next_sibling(doc.first_child(c)), text));
}

TEST(XmlDocument, ReadsTheTextAsWindows1251WhateverItDeclares) {
  xml_document doc(cp(R"(<?xml version="1.0" encoding="UTF-8"?><RQ V="ГРОШІ"/>)"));
  EXPECT_EQ(doc.attribute_value(doc.first_attribute(doc.root())), cp("ГРОШІ"));
}

TEST(XmlDocument, AFailureCarriesTheParsersMessageAndPrintsNothing) {
  ::testing::internal::CaptureStderr();
  std::string message;
  int line = 0;
  try {
    xml_document doc(journal_text("<DAT><C></DAT>"));
  } catch (const XmlParseError& e) {
    message = e.what();
    line = e.line();
  }
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_NE(message.find("line 3: Opening and ending tag mismatch: C"), std::string::npos)
      << message;
  EXPECT_EQ(line, 3);
  for (const char* text : {"", "plain text", "<RQ><RQ>"}) {
    EXPECT_THROW(xml_document{text}, XmlParseError) << text;
  }
}

TEST(XmlDocument, RefusesADocumentTypeWithoutReadingItsFiles) {
  const std::string dir = ::testing::TempDir();
  const std::string secret = dir + "/journal_secret.txt";
  const std::string dtd = dir + "/journal_defaults.dtd";
  std::ofstream(secret) << "SECRET";
  std::ofstream(dtd) << "<!ATTLIST DAT DI CDATA \"99\">";
  const std::string text = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
                           "<!DOCTYPE RQ SYSTEM \"file://" + dtd + "\" [\r\n"
                           "<!ENTITY inner \"12\">\r\n"
                           "<!ENTITY outer SYSTEM \"file://" + secret + "\">\r\n"
                           "<!ATTLIST MAC NT CDATA \"7\">\r\n"
                           "]>\r\n"
                           "<RQ V=\"1\"><DAT TN=\"&inner;\"><C T=\"0\"><L N=\"1\">&outer;</L>"
                           "</C><TS>1</TS></DAT><MAC/></RQ>";
  std::string message;
  try {
    xml_document doc(text);
  } catch (const XmlParseError& e) {
    message = e.what();
  }
  EXPECT_NE(message.find("document type"), std::string::npos) << message;
  EXPECT_EQ(message.find("SECRET"), std::string::npos) << message;
  std::remove(secret.c_str());
  std::remove(dtd.c_str());
}

// The parse frees libxml2's nodes under the root as it goes: what it hands on
// must still be the whole tree, texts between elements kept apart as parsed.
TEST(XmlDocument, TheRootsChildrenStayApartAndInOrder) {
  xml_document doc(cp("<RQ V=\"a&amp;b&lt;\">a<!--c-->b<?pi x?>c<DAT TN=\"&amp;&#38;№\"/>d<!--e-->"
                      "<MAC/>f<![CDATA[g]]>h<DAT>Ґ&amp;</DAT>j</RQ>"));
  const auto root = doc.root();
  EXPECT_EQ(child_names(doc, root),
            (std::vector<std::string>{"#text", "#comment", "#text", "pi", "#text", "DAT", "#text",
                                      "#comment", "MAC", "#text", "#cdata-section", "#text", "DAT",
                                      "#text"}));
  EXPECT_EQ(doc.attribute_value(doc.first_attribute(root)), "a&b<");
  std::string_view text;
  EXPECT_FALSE(doc.only_child_text(root, text));
  auto n = doc.first_child(root);
  while (doc.name(n) != "DAT") n = doc.next_sibling(n);
  EXPECT_EQ(doc.attribute_value(doc.first_attribute(n)), cp("&&№"));
  while (doc.next_sibling(n) != nullptr && doc.next_sibling(doc.next_sibling(n)) != nullptr) n = doc.next_sibling(n);
  ASSERT_EQ(doc.name(n), "DAT");
  EXPECT_TRUE(doc.only_child_text(n, text));
  EXPECT_EQ(text, cp("Ґ&"));

  xml_document bare(cp("<RQ>Ґ</RQ>"));
  EXPECT_TRUE(bare.only_child_text(bare.root(), text));
  EXPECT_EQ(text, cp("Ґ"));
}

TEST(XmlDocument, AFailureLateInALongJournalIsTheFirstErrorOfTheWholeText) {
  std::string body;
  for (int i = 0; i < 300; ++i) body += "<DAT DI=\"" + std::to_string(i) + "\"><TS>1</TS></DAT><MAC/>\r\n";
  for (const auto& [tail, expected] : std::vector<std::pair<std::string, std::string>>{
           {"<DAT><C></DAT>", "line 303: Opening and ending tag mismatch: C"},
           // A repeated "xml:id" is reported first even when the IDs' elements
           // were parsed far apart.
           {"<DAT xml:id=\"a\"/>" + body + "<DAT xml:id=\"a\"/><DAT>", "line 603: ID a already defined"}}) {
    try {
      xml_document doc(journal_text(body + tail));
      ADD_FAILURE() << tail;
    } catch (const XmlParseError& e) {
      EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace tallyglass

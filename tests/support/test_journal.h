#pragma once
// A small journal in the collected form: three receipts (5, 6, 7) and one
// Z-report (2), Windows-1251, CR LF lines. Receipt 6 spans several parts.
#include <string>

#include "text/cp1251.h"

namespace tallyglass::test_support {

inline const std::string& TestJournal() {
  static const std::string journal = Utf8ToCp1251(
      "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n"
      "<RQ V=\"1\">\r\n"
      "<DAT DI=\"1\" DT=\"0\" FN=\"5555555555\" TN=\"ПН 111111111111\" V=\"1\" ZN=\"402400089\">"
      "<C T=\"0\"><P C=\"1\" N=\"1\" NM=\"Хліб\" SM=\"1200\" TX=\"1\"></P>"
      "<M N=\"2\" NM=\"ГРОШІ\" SM=\"1200\" T=\"0\"></M>"
      "<E N=\"3\" NO=\"5\" SM=\"1200\" TS=\"20160401093000\"></E></C>"
      "<TS>20160401093000</TS></DAT><MAC DI=\"1\" NT=\"8\">QUJDREVGR0g=</MAC>\r\n"
      "<DAT DI=\"2\" DT=\"0\" FN=\"5555555555\" TN=\"ПН 111111111111\" V=\"1\" ZN=\"402400089\">"
      "<C T=\"0\"><L N=\"1\">Дякуємо за покупку! Ласкаво просимо знову.</L>"
      "<P C=\"2\" N=\"2\" NM=\"Ковбаса докторська\" SM=\"10000\" TX=\"1\"></P>"
      "<P C=\"3\" N=\"3\" NM=\"Молоко 2,5%\" SM=\"2500\" TX=\"1\"></P>"
      "<P C=\"4\" N=\"4\" NM=\"Сир твердий\" SM=\"8750\" TX=\"1\"></P>"
      "<M N=\"5\" NM=\"ГРОШІ\" SM=\"21250\" T=\"0\"></M>"
      "<E N=\"6\" NO=\"6\" SM=\"21250\" TS=\"20160405120000\">"
      "<TX TX=\"1\" TXAL=\"0\" TXPR=\"20.00\" TXSM=\"3542\" TXTY=\"0\"></TX></E></C>"
      "<TS>20160405120000</TS></DAT><MAC DI=\"2\" NT=\"8\">SUpLTE1OT1A=</MAC>\r\n"
      "<DAT DI=\"3\" DT=\"0\" FN=\"5555555555\" TN=\"ПН 111111111111\" V=\"1\" ZN=\"402400089\">"
      "<C T=\"0\"><I N=\"1\" NM=\"ГРОШІ\" SM=\"50000\" T=\"0\"></I>"
      "<E N=\"2\" NO=\"7\" SM=\"50000\" TS=\"20160407134530\"></E></C>"
      "<TS>20160407134530</TS></DAT><MAC DI=\"3\" NT=\"8\">UVJTVFVWV1g=</MAC>\r\n"
      "<DAT DI=\"4\" DT=\"0\" FN=\"5555555555\" TN=\"ПН 111111111111\" V=\"1\" ZN=\"402400089\">"
      "<Z NO=\"2\"><M NM=\"ГРОШІ\" SMI=\"72450\" SMO=\"0\" T=\"0\"></M>"
      "<NC NI=\"3\" NO=\"0\"></NC></Z>"
      "<TS>20160407220000</TS></DAT><MAC DI=\"4\" NT=\"8\">WVphYmNkZWY=</MAC>\r\n"
      "</RQ>\r\n");
  return journal;
}

}  // namespace tallyglass::test_support

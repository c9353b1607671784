#pragma once
// A collected journal of n documents, as the reader joins it: a day's
// receipts of several sale lines (taxes as attributes or as TX children),
// cash in and out, and a Z-report closing every 50 documents.
#include <string>

#include "text/cp1251.h"

namespace tallyglass::bench {

inline std::string quick_journal(int n) {
  const std::string head = "<DAT DT=\"0\" FN=\"3011223344\" TN=\"" + Utf8ToCp1251("ПН 301122334455") +
                           "\" V=\"1\" ZN=\"402400117\" DI=\"";
  const std::string names[] = {Utf8ToCp1251("Хліб Український 0.9 кг"), Utf8ToCp1251("Молоко 2.5% 900 мл"),
                               Utf8ToCp1251("Кава мелена Jacobs Monarch 250 г з доставкою додому"),
                               Utf8ToCp1251("Цукор білий 1 кг")};
  const std::string cash = Utf8ToCp1251("ГРОШІ");
  const std::string card = Utf8ToCp1251("КРЕДИТ");
  std::string out = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<RQ V=\"1\">\r\n";
  int receipt = 1;
  int zreport = 1;
  for (int i = 0; i < n; ++i) {
    const std::string di = std::to_string(1000 + i);
    const std::string ts = "201603" + std::string(i % 28 < 9 ? "0" : "") + std::to_string(i % 28 + 1) + "091204";
    out += head + di + "\">";
    if (i % 50 == 49) {
      out += "<Z NO=\"" + std::to_string(zreport++) + "\"><IO NM=\"" + cash +
             "\" SMI=\"50000\" SMO=\"30000\" SMT=\"45470\" T=\"0\"></IO><M NM=\"" + cash +
             "\" SMI=\"27345\" SMO=\"1875\" T=\"0\"></M><M NM=\"" + card +
             "\" SMI=\"13034\" SMO=\"0\" T=\"1\"></M><NC NI=\"45\" NO=\"1\"></NC>"
             "<TXS DTI=\"0\" DTO=\"0\" DTPR=\"0.00\" SMI=\"40379\" SMO=\"1875\" TS=\"20160314\" TX=\"1\" "
             "TXAL=\"0\" TXI=\"6729\" TXO=\"313\" TXPR=\"20.00\" TXTY=\"0\"></TXS>"
             "<TXS DTI=\"0\" DTO=\"0\" DTPR=\"0.00\" SMI=\"1350\" SMO=\"0\" TS=\"20160314\" TX=\"2\" "
             "TXAL=\"0\" TXI=\"88\" TXO=\"0\" TXPR=\"7.00\" TXTY=\"0\"></TXS></Z>";
    } else if (i % 50 == 0) {
      out += "<C CN=\"1\" T=\"2\"><I N=\"1\" NM=\"" + cash + "\" SM=\"50000\" T=\"0\"></I><E CS=\"1\" N=\"2\" NO=\"" +
             std::to_string(receipt++) + "\" SM=\"50000\" TS=\"" + ts + "\"></E></C>";
    } else {
      out += "<C CN=\"1\" T=\"0\"><L N=\"1\">" + Utf8ToCp1251("Дякуємо за покупку!") + "</L>";
      int line = 2;
      for (int k = 0; k < 4; ++k) {
        out += "<P C=\"4820000190017\" N=\"" + std::to_string(line++) + "\" NM=\"" + names[k] +
               "\" PRC=\"1450\" Q=\"" + std::to_string(1000 + 250 * k) + "\" SM=\"" +
               std::to_string(1450 + 362 * k) + "\" TX=\"" + std::to_string(1 + k % 2) + "\"></P>";
      }
      out += "<D N=\"" + std::to_string(line++) + "\" PR=\"5.00\" SM=\"686\" TR=\"1\" TX=\"1\" TY=\"1\"></D>";
      const bool by_card = i % 3 == 0;
      out += "<M N=\"" + std::to_string(line++) + "\" NM=\"" + (by_card ? card : cash) +
             "\" RRN=\"607412345678\" SM=\"8000\" RM=\"" + (by_card ? "0" : "1200") + "\" T=\"0\"></M>";
      out += "<E CS=\"1\" N=\"" + std::to_string(line) + "\" NO=\"" + std::to_string(receipt++) +
             "\" SM=\"6800\" TS=\"" + ts + "\"";
      if (i % 2 == 0) {
        out += " TX=\"1\" TXAL=\"0\" TXPR=\"20.00\" TXSM=\"1133\" TXTY=\"0\"></E>";
      } else {
        out += "><TX TX=\"1\" TXAL=\"0\" TXPR=\"20.00\" TXSM=\"1047\" TXTY=\"0\"></TX>"
               "<TX TX=\"2\" TXAL=\"0\" TXPR=\"7.00\" TXSM=\"88\" TXTY=\"0\"></TX></E>";
      }
      out += "</C>";
    }
    out += "<TS>" + ts + "</TS></DAT><MAC DI=\"" + di + "\" NT=\"" + di + "\">bA/TkB/yOaGglfIPk5VlDPk4C47bIkpr</MAC>\r\n";
  }
  out += "</RQ>";
  return out;
}

}  // namespace tallyglass::bench

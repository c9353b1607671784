#include "render/receipt.h"

#include <gtest/gtest.h>

#include <functional>

#include "render/compose.h"
#include "support/model_builders.h"
#include "text/base64.h"

namespace tallyglass {
namespace {

using test_support::At;
using test_support::End;
using test_support::Line;
using test_support::W;

// The worked example: a sale paid by card, taxes as attributes of the end.
rq ExampleReceipt() {
  rq model;
  dat& d = test_support::add_doc(model, 1);
  check& c = d.checks[0];
  c.T = 0;
  c.CN = 1;
  test_support::add_l(c).text = "Comment for printing";
  sale& p = test_support::add_p(c);
  p.NM = W("Колбаса докторская");
  p.Q = 2000;
  p.PRC = 10050;
  p.SM = 20100;
  p.TX = "1";
  sale_pay& m = test_support::add_m(c);
  m.NM = W("КРЕДИТ");
  m.SM = 20100;
  m.RRN = "909090909090";
  sale_end& e = test_support::add_e(c);
  e.NO = 2351;
  e.SM = 20100;
  e.TX = "1";
  e.TXAL = 0;
  e.TXPR = 20;
  e.TXSM = 3350;
  return model;
}

TEST(ReceiptLayout, WorkedExampleLineForLine) {
  const rq model = ExampleReceipt();
  Listing got;
  render_receipt(model, 0, got);
  test_support::ExpectGolden(got, "receipt_example.txt",
                     {29, 22, 26, 32, 16, 40, 22, 20, 54, 40, 56, 52, 40, 40, 49, 14, 14, 47, 23, 40, 40});
}

// One receipt with the lines a case adds, rendered in the full layout.
struct LayoutCase {
  const char* name;
  std::function<void(check&)> build;
  std::vector<std::string> run;     // these lines, one after another
  std::vector<std::string> absent;  // none of these lines
};

Listing RenderOne(const std::function<void(check&)>& build, bool service = false) {
  rq model;
  dat& d = test_support::add_doc(model, 1);
  check& c = d.checks[0];
  c.CN = 1;
  build(c);
  Listing out;
  if (service) {
    render_service_receipt(model, 0, out);
  } else {
    render_receipt(model, 0, out);
  }
  return out;
}

sale& Sale(check& c, std::string_view name, float q, float prc, float sm, const char* group) {
  sale& s = test_support::add_p(c);
  s.NM = W(name);
  s.Q = q;
  s.PRC = prc;
  s.SM = sm;
  s.TX = group;
  return s;
}

sale_end& End0(check& c) {
  sale_end& e = test_support::add_e(c);
  e.NO = 7;
  e.SM = 100;
  e.TXPR = 20;
  e.TXSM = 17;
  return e;
}

const std::string kSep = "  " + std::string(38, '-');
const std::string name34(34, 'n');
const std::string name35 = std::string(34, 'n') + "z";

TEST(ReceiptLayout, EdgeCases) {
  const std::vector<LayoutCase> cases = {
      {"name of 34 characters is not wrapped",
       [](check& c) { Sale(c, name34, 1000, 100, 100, "1"); },
       {"  " + name34, Line(52, {At(3, "1.000. X 1.00 ="), End(39, "1.00 A")})},
       {}},
      {"name of 35 characters wraps after 34",
       [](check& c) { Sale(c, name35, 1000, 100, 100, "1"); },
       {"  " + name34, "  z", Line(52, {At(3, "1.000. X 1.00 ="), End(39, "1.00 A")})},
       {}},
      {"no quantity: a 33-character rest is not widened and the amount overwrites it",
       [](check& c) { Sale(c, std::string(67, 'q'), 0, 100, 100, "1"); },
       {"  " + std::string(34, 'q'), "  " + std::string(31, 'q') + "1.00 A   "},
       {}},
      {"quantity with three decimals and letter of group 2",
       [](check& c) { Sale(c, "Хліб", 1500, 250, 375, "2"); },
       {W("  Хліб"), Line(52, {At(3, "1.500. X 2.50 ="), End(39, "3.75 Б")})},
       {}},
      {"CP quantity written whole, rounded",
       [](check& c) {
         sale& s = test_support::add_cp(c);
         s.NM = W("Вода");
         s.Q = 1700;
         s.PRC = 100;
         s.SM = 170;
         s.TX = "1";
       },
       {W("  Вода"), Line(48, {At(3, "2. X 1.00 ="), End(39, "1.70 A")})},
       {}},
      {"discount by sum without rate, empty TX takes letter 6",
       [](check& c) {
         sale_up_down& d = test_support::add_d(c);
         d.TY = 2;
         d.TR = 1;
         d.PR = 5;
         d.SM = 100;
       },
       {Line(54, {At(3, "  Знижка  на Суму"), End(39, "-1.00 Є")})},
       {}},
      {"discount in percent on the tax",
       [](check& c) {
         sale_up_down& d = test_support::add_d(c);
         d.TY = 1;
         d.TR = 2;
         d.PR = 5;
         d.SM = 50;
         d.TX = "1";
       },
       {Line(63, {At(3, "  Знижка -5.00% на Податок"), End(39, "-0.50 A")})},
       {}},
      {"markup in percent",
       [](check& c) {
         sale_up_down& s = test_support::add_s(c);
         s.TY = 1;
         s.PR = 10;
         s.SM = 200;
         s.TX = "3";
       },
       {Line(54, {At(3, "  Надбавка 10.00%"), End(39, "2.00 В")})},
       {}},
      {"cash in and out end at column 37",
       [](check& c) {
         test_support::add_i(c).SM = 5000;
         test_support::add_o(c).SM = 1250;
       },
       {Line(43, {At(1, "  Внесок"), End(37, "50.00")}),
        Line(43, {At(1, "  Видача"), End(37, "-12.50")})},
       {}},
      {"BarBitLine shown as stored, other keys decoded up to the first non-Base64 character",
       [](check& c) {
         sale_serv_info& a = test_support::add_h(c);
         a.HT = "BarBitLine";
         a.text = "SGk=";
         sale_serv_info& b = test_support::add_h(c);
         b.HT = "QR";
         b.text = "SGk*SGk";
         sale_serv_info& u = test_support::add_h(c);
         u.HT = "X";
         u.text = EncodeBase64(W("Чек"));
       },
       {"  BarBitLine SGk=", "  QR Hi", W("  X Чек")},
       {}},
      {"only an exact КРЕДИТ is followed by the transaction lines; change is negative",
       [](check& c) {
         sale_pay& a = test_support::add_m(c);
         a.NM = W("кредит");
         a.SM = 100;
         a.RRN = "1";
         sale_pay& b = test_support::add_m(c);
         b.NM = W("КРЕДИТ ");
         b.SM = 100;
         b.RRN = "2";
         sale_pay& g = test_support::add_m(c);
         g.NM = W("ГОТІВКА");
         g.SM = 500;
         g.RM = 400;
         End0(c);
       },
       {Line(49, {At(1, "  кредит"), End(37, "1.00")}), Line(50, {At(1, "  КРЕДИТ "), End(37, "1.00")}),
        Line(50, {At(1, "  ГОТІВКА"), End(37, "5.00")}), Line(42, {At(1, "  Решта"), End(37, "-4.00")})},
       {W("  Транзакція N"), "  1", "  2"}},
      {"annulled receipt: the mark instead of the totals, no fiscal type line",
       [](check& c) {
         test_support::add_m(c).NM = W("ГОТІВКА");
         End0(c).VD = 1;
       },
       {W("       * ЧЕК АНУЛЬОВАНО *"), Line(50, {At(1, "  ГОТІВКА"), End(37, "0.00")}),
        Line(47, {At(1, "  000000007"), At(21, "30.04.2014  14:44")}), kSep, kSep},
       {Line(56, {At(1, "  Сума"), End(37, "1.00")}), W("         ФІСКАЛЬНИЙ ЧЕК")}},
      {"T = 2 in the full layout: no totals, payments stay, service type line",
       [](check& c) {
         c.T = 2;
         test_support::add_m(c).NM = W("ГОТІВКА");
         End0(c);
       },
       {kSep, Line(50, {At(1, "  ГОТІВКА"), End(37, "0.00")}),
        Line(47, {At(1, "  000000007"), At(21, "30.04.2014  14:44")}), W("         СЛУЖБОВИЙ ЧЕК"),
        kSep, kSep},
       {Line(56, {At(1, "  Сума"), End(37, "1.00")})}},
      {"taxes as TX children: one separator after the tax lines",
       [](check& c) {
         sale_end& e = End0(c);
         e.has_tx = true;
         e.tx_count = 2;
         e.taxes[0] = {"1", 20, 17, 0, 0, 0, 0};
         e.taxes[1] = {"2", 0, 0, 0, 0, 0, 0};
         test_support::add_m(c).NM = W("ГОТІВКА");
       },
       {Line(52, {At(1, "       ПДВ_A A =20.00%"), End(37, "0.17")}),
        Line(52, {At(1, "       ПДВ_Б Б = 0.00%"), End(37, "0.00")}), kSep,
        Line(50, {At(1, "  ГОТІВКА"), End(37, "0.00")})},
       {}},
      {"taxes as attributes: two separators after the tax line",
       [](check& c) {
         End0(c).TX = "1";
         test_support::add_m(c).NM = W("ГОТІВКА");
       },
       {kSep, Line(56, {At(1, "  Сума"), End(37, "1.00")}),
        Line(52, {At(1, "       ПДВ_A A =20.00%"), End(37, "0.17")}), kSep, kSep,
        Line(50, {At(1, "  ГОТІВКА"), End(37, "0.00")})},
       {}},
      {"excise: the VAT line takes DTPR and DTSM, the excise line TXPR and TXSM",
       [](check& c) {
         sale_end& e = End0(c);
         e.TX = "5";
         e.TXAL = 1;
         e.DTPR = 20;
         e.DTSM = 1000;
         e.TXPR = 5;
         e.TXSM = 250;
       },
       {Line(52, {At(1, "       ПДВ_Д Д =20.00%"), End(37, "10.00")}),
        Line(52, {At(1, "  Акцз. збір Д = 5.00%"), End(37, "2.50")}), kSep, kSep},
       {}},
      {"cash desk 150 shows as 01",
       [](check& c) { c.CN = 150; },
       {Line(16, {At(10, " Каса01")})},
       {}},
      {"cash desk 7 shows as 07 after the operator",
       [](check& c) {
         c.CN = 7;
         c.ON = W("Іван");
       },
       {Line(20, {At(10, "Іван Каса07")})},
       {}},
      {"cash desk 12 shows as 12", [](check& c) { c.CN = 12; }, {Line(16, {At(10, " Каса12")})}, {}},
      {"nine-digit receipt number",
       [](check& c) { End0(c).NO = 100000000; },
       {Line(47, {At(1, "  100000000"), At(21, "30.04.2014  14:44")})},
       {}},
      {"tax group 11 and -1 print the overflow text",
       [](check& c) {
         Sale(c, "a", 0, 0, 100, "11");
         Sale(c, "b", 0, 0, 100, "-1");
       },
       {"  " + place_right("a" + std::string(7, ' '), "1.00 " + W("Много параметров"), 37),
        "  " + place_right("b" + std::string(7, ' '), "1.00 " + W("Много параметров"), 37)},
       {}},
  };
  for (const auto& c : cases) {
    const Listing got = RenderOne(c.build);
    EXPECT_NE(test_support::FindRun(got, c.run), std::string::npos) << c.name << "\n" << test_support::ShowListing(got);
    for (const auto& line : c.absent) EXPECT_EQ(test_support::Count(got, line), 0u) << c.name << ": " << test_support::Show(line);
  }
}

TEST(ReceiptLayout, WithoutLinesOnlyFrameAndFooter) {
  const std::string heading_last = W("     ЗН 402400089  ФН 5555555555");
  for (float type : {0.0f, 1.0f}) {
    const Listing got = RenderOne([type](check& c) { c.T = type; });
    Listing want = {W("          ДП \"Компанія ZENTA\""), W("                м.Київ"),
                    W("           ПН 111111111111"), heading_last, W("          Каса01"), kSep};
    if (type == 1) want.insert(want.end(), {W("               ПОВЕРНЕННЯ"), kSep});
    want.push_back(Line(47, {At(1, "  000000000"), At(21, "30.04.2014  14:44")}));
    want.push_back(W(type == 1 ? "         ВИДАТКОВИЙ ЧЕК" : "         ФІСКАЛЬНИЙ ЧЕК"));
    want.insert(want.end(), {kSep, kSep});
    EXPECT_EQ(test_support::FirstDifference(got, want), "") << "T = " << type;
  }
}

TEST(ServiceLayout, ShortReceiptLineForLine) {
  const Listing got = RenderOne(
      [](check& c) {
        c.T = 2;
        c.CN = 150;
        c.ON = W("Іван");
        test_support::add_i(c).SM = 5000;
        Sale(c, "Товар", 1700, 100, 170, "1");
        sale_serv_info& h = test_support::add_h(c);
        h.HT = "QR";
        h.text = "SGk=";
        test_support::add_m(c).NM = W("ГОТІВКА");
        End0(c).CS = 3;
      },
      true);
  const Listing want = {
      W("          ДП \"Компанія ZENTA\""),
      W("                м.Київ"),
      W("     ЗН 402400089  ФН 5555555555"),
      W("            Каса03"),
      kSep,
      Line(43, {At(1, "  Внесок"), End(37, "50.00")}),
      W("  Товар"),
      Line(48, {At(3, "2. X 1.00 ="), End(39, "1.70 A")}),
      "  SGk=",
      Line(54, {At(1, "  000000007"), At(21, "30.04.2014  14:44")}),
      W("         СЛУЖБОВИЙ ЧЕК"),
      kSep,
      kSep,
  };
  EXPECT_EQ(test_support::FirstDifference(got, want), "");
}

TEST(ReceiptLayout, FailureStopsTheDocumentAndKeepsItsEarlierLines) {
  Listing got;
  try {
    got = {};
    rq model;
    check& c = test_support::add_doc(model, 1).checks[0];
    Sale(c, "a", 0, 0, 100, "1");
    Sale(c, "b", 0, 0, 100, "x");
    End0(c);
    render_receipt(model, 0, got);
    FAIL() << "no failure";
  } catch (const RenderError& e) {
    EXPECT_STREQ(e.what(), "tax group \"x\" is not an integer");
  }
  ASSERT_EQ(got.size(), 7u) << test_support::ShowListing(got);  // heading 4, cash desk, separator, line a
  EXPECT_EQ(got.back(), Line(45, {At(3, "a"), End(39, "1.00 A")}));

  // An amount too long for its columns is a column failure.
  rq model;
  check& c = test_support::add_doc(model, 1).checks[0];
  test_support::add_i(c).SM = 1e38f;
  got.clear();
  EXPECT_THROW(render_receipt(model, 0, got), RenderError);
}

}  // namespace
}  // namespace tallyglass

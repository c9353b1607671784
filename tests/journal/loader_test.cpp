#include "journal/loader.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "journal/xml_document.h"
#include "support/journal_text.h"

namespace tallyglass {
namespace {

using test_support::cp;
using test_support::describe;
using test_support::Journal;

using order = std::map<std::int32_t, line_ref>;

// The receipt of the register's sample, as its four lines shown.
constexpr const char* kSampleReceipt =
    R"(<DAT DI="8" DT="0" FN="5555555555" TN="ПН 111111111111" V="1" ZN="402400089">)"
    R"(<C T="0"><L N="1">Comment for printing</L>)"
    R"(<P C="276447230" N="15" NM="Колбаса докторская" SM="100" TX="3"></P>)"
    R"(<M N="16" NM="ГРОШІ" SM="1200" T="0"></M>)"
    R"(<E CS="1" FN="5555555555" N="17" NO="138" SM="1200" TS="20140430144200">)"
    R"(<TX TX="1" TXAL="0" TXPR="20.00" TXSM="167" TXTY="0"></TX></E></C>)"
    R"(<TS>20140430144200</TS></DAT><MAC DI="8" NT="8">dGVzdA==</MAC>)";

TEST(Loader, LoadsTheSampleReceipt) {
  Journal j;
  j.load(kSampleReceipt);
  EXPECT_EQ(j.model.V, 1.f);
  EXPECT_EQ(j.model.doc_count, 1);
  const dat& d = j.model.dats[0];
  EXPECT_TRUE(d.is_check);
  EXPECT_EQ(d.FN, "5555555555");
  EXPECT_EQ(d.TN, cp("ПН 111111111111"));
  EXPECT_EQ(d.DI, 8.f);
  EXPECT_EQ(d.ts.text, "20140430144200");
  const check& c = j.receipt();
  EXPECT_EQ(c.line_order, (order{{1, {8, 0}}, {2, {1, 0}}, {3, {5, 0}}, {4, {11, 0}}}));
  EXPECT_EQ(c.l_count, 1);
  EXPECT_EQ(c.p_count, 1);
  EXPECT_EQ(c.m_count, 1);
  EXPECT_EQ(c.e_count, 1);
  EXPECT_EQ(c.line_count(), 4);
  EXPECT_EQ(c.line_order_next, 5);
  EXPECT_EQ(c.l_lines.at(0).text, "Comment for printing");
  EXPECT_EQ(c.p_lines.at(0).NM, cp("Колбаса докторская"));
  EXPECT_EQ(c.p_lines.at(0).N, 15.f);
  EXPECT_EQ(c.m_lines.at(0).NM, cp("ГРОШІ"));
  EXPECT_EQ(c.m_lines.at(0).SM, 1200.f);
  EXPECT_EQ(c.end_line.NO, 138.f);
  EXPECT_EQ(c.end_line.TS, "20140430144200");
  ASSERT_EQ(c.end_line.taxes.size(), 1u);
  EXPECT_EQ(c.end_line.taxes.at(0).TX, "1");
  EXPECT_EQ(c.end_line.taxes.at(0).TXPR, 20.f);
  EXPECT_TRUE(c.end_line.has_tx);
  EXPECT_EQ(c.end_line.tx_count, 1);
  EXPECT_EQ(j.model.macs.at(1).DI, 8.f);
  EXPECT_EQ(j.model.check_no_min, 138);
  EXPECT_EQ(j.model.check_no_max, 138);
  EXPECT_EQ(j.model.zvit_no_min, 0);
}

TEST(Loader, GivesEachLineTheNextPrintPositionAndKeyOfItsKind) {
  Journal j;
  j.load(R"(<DAT><C T="0"><P N="1" SM="100"/><S N="2" SM="10"/><P N="3" SM="200"/>)"
         R"(<E N="4" NO="5" SM="310" TX="1" TXPR="20.00"/></C><TS>20160314100000</TS></DAT><MAC/>)");
  const check& c = j.receipt();
  EXPECT_EQ(c.line_order, (order{{1, {1, 0}}, {2, {4, 0}}, {3, {1, 1}}, {4, {11, 0}}}));
  EXPECT_EQ(c.p_lines.at(1).SM, 200.f);
  EXPECT_EQ(c.s_lines.at(0).SM, 10.f);
  EXPECT_FALSE(c.end_line.has_tx);
  EXPECT_EQ(c.end_line.TX, "1");
}

TEST(Loader, RoutesAZReportsLines) {
  Journal j;
  j.load(R"(<DAT><Z NO="52"><IO NM="ГРОШІ" SMI="0" SMO="0" SMT="1200" T="0"></IO>)"
         R"(<M NM="ГРОШІ" SMI="1200" SMO="0" T="0"></M><NC NI="1" NO="0"></NC>)"
         R"(<TXS TS="20140430" TX="1" TXI="167" TXPR="20.00"></TXS><TXS TX="2" TXI="5"/>)"
         R"(<M NM="КРЕДИТ" SMI="300" T="1"/></Z><TS>20140430210000</TS></DAT><MAC/>)");
  const dat& d = j.model.dats[0];
  EXPECT_FALSE(d.is_check);
  EXPECT_TRUE(d.checks.empty());
  const zvit& z = j.zreport();
  EXPECT_EQ(z.NO, 52.f);
  EXPECT_TRUE(z.has_io && z.has_z_m && z.has_nc && z.has_txs);
  EXPECT_EQ(z.z_m_lines.at(0).NM, cp("ГРОШІ"));
  EXPECT_EQ(z.z_m_lines.at(0).SMI, 1200.f);
  EXPECT_EQ(z.z_m_lines.at(1).SMI, 300.f);  // "M" after "TXS"
  EXPECT_EQ(z.io_lines.at(0).SMT, 1200.f);
  EXPECT_EQ(z.txs_lines.at(0).TXI, 167.f);
  EXPECT_EQ(z.txs_lines.at(1).TX, "2");
  EXPECT_EQ(z.txs_count, 2);
  EXPECT_EQ(z.z_m_count, 2);
  EXPECT_EQ(j.model.zvit_no_min, 52);
  EXPECT_EQ(j.model.zvit_no_max, 52);
}

TEST(Loader, AnMAfterAnUnknownElementIsAReceiptPayment) {
  Journal j;
  j.load(R"(<DAT><Z NO="3"><FOO/><M N="1" SM="700"/></Z><TS>1</TS></DAT><MAC/>)");
  EXPECT_EQ(j.receipt().m_lines.at(0).SM, 700.f);
  EXPECT_EQ(j.receipt().m_count, 1);
  EXPECT_TRUE(j.zreport().z_m_lines.empty());
  EXPECT_EQ(j.state.work.elements.at("FOO"), 0);
}

TEST(Loader, AnUnknownElementsAttributesGoToTheRoot) {
  Journal j;
  j.load(R"(<DAT><FOO X="7"/></DAT><MAC/>)");
  EXPECT_EQ(j.model.V, 7.f);
  EXPECT_THROW(j.load(R"(<FOO X="abc"/>)"), ConversionError);
}

TEST(Loader, AnUnknownAttributeOfALineIsItsN) {
  Journal j;
  j.load(R"(<DAT><C T="0"><P N="1" SM="5"/><P N="2" QQ="9"/></C><TS>1</TS></DAT><MAC/>)");
  const check& c = j.receipt();
  EXPECT_EQ(c.p_lines.at(1).N, 9.f);
  EXPECT_EQ(c.line_order, (order{{1, {1, 0}}, {2, {1, 1}}}));
}

TEST(Loader, StoresTextBeforeAttributes) {
  Journal j;
  j.load(R"(<DAT><C T="0"><L N="3">abc</L><H HP="1" HT="BarBitLine" N="4">123</H>)"
         R"(<E N="5" NO="77.9" NS="70000"/></C><TS>20160101</TS></DAT><MAC>code</MAC>)");
  const check& c = j.receipt();
  EXPECT_EQ(c.l_lines.at(0).text, "abc");
  EXPECT_EQ(c.l_lines.at(0).N, 3.f);
  EXPECT_EQ(c.h_lines.at(0).text, "123");
  EXPECT_EQ(c.h_lines.at(0).HT, "BarBitLine");
  EXPECT_EQ(c.end_line.NO, 77.9f);
  EXPECT_EQ(c.end_line.NS, 4464);
  EXPECT_EQ(j.model.check_no_min, 77);
  EXPECT_EQ(j.model.check_no_max, 77);
}

TEST(Loader, EmptyValuesAbortExceptAnEmptyOn) {
  struct Case {
    const char* body;
    const char* message;  // empty: the load goes on
    std::int32_t key;     // line 2's key among the lines of its kind: the second P, the first E or I
  };
  const Case cases[] = {
      {R"(<P N="2" SM=""/>)", "attribute SM of P: empty value", 1},
      {R"(<P N="2" NM=""/>)", "attribute NM of P: empty value", 1},
      {R"(<P N="2" SM="12,50"/>)", R"(attribute SM of P: "12,50" is not a number)", 1},
      {R"(<E N="2" TXPR="20,00"/>)", R"(attribute TXPR of E: "20,00" is not a number)", 0},
      {R"(<E N="2" NS="1.5"/>)", R"(attribute NS of E: "1.5" is not a short integer)", 0},
      {R"(<I N="2" T=""/>)", "attribute T of I: empty value", 0},
      {R"(<P N="2" SM="3"/>)", "", 1},
  };
  for (const auto& c : cases) {
    Journal j;
    std::string body = R"(<DAT><C CN="x" ON="" T="0"><P N="1" NM="a" SM="1"/>)";
    body += c.body;
    body += R"(<E N="9" NO="1"/></C><TS>1</TS></DAT><MAC/>)";
    std::string message;
    try {
      j.load(body);
    } catch (const ConversionError& e) {
      message = e.what();
    }
    EXPECT_EQ(message, c.message) << c.body;
    const check& k = j.receipt();
    EXPECT_EQ(k.CN, 0) << c.body;
    EXPECT_EQ(k.ON, "       ") << c.body;
    EXPECT_EQ(k.p_lines.at(0).SM, 1.f) << c.body;  // stored before the failure, kept
    EXPECT_EQ(k.line_order.at(2).key, c.key) << c.body;
    EXPECT_EQ(j.model.doc_count, message.empty() ? 1 : 0) << c.body;
  }
}

TEST(Loader, KeepsWhatWasStoredBeforeAFailure) {
  Journal j;
  j.load(R"(<DAT DI="1"><C T="0"><P N="1" SM="1"/><E N="2" NO="10"/></C><TS>1</TS></DAT><MAC/>)");
  EXPECT_THROW(j.load(R"(<DAT DI="2"><C T="0"><P N="1" SM="2"/><P N="2" SM="x" NM="b"/>)"
                      R"(</C></DAT><MAC/>)"),
               ConversionError);
  EXPECT_EQ(j.model.doc_count, 1);
  EXPECT_EQ(j.model.dats[1].DI, 2.f);
  EXPECT_EQ(j.receipt(1).p_lines.at(0).SM, 2.f);
  EXPECT_EQ(j.receipt(1).p_lines.at(1).NM, "");  // the walk stopped at SM
  EXPECT_EQ(j.state.current, el_P);
  EXPECT_EQ(j.model.check_no_max, 10);
}

TEST(Loader, EachMacStartsTheNextDocumentKey) {
  Journal j;
  j.load(R"(<DAT DI="1"><C T="0"><E N="1" NO="1"/></C><TS>1</TS></DAT>)"
         R"(<MAC DI="1" NT="1"/><MAC DI="9" NT="9"/>)"
         R"(<DAT DI="2"><C T="0"><E N="1" NO="2"/></C><TS>2</TS></DAT><MAC DI="2" NT="2"/>)");
  EXPECT_EQ(j.model.doc_count, 3);
  EXPECT_EQ(j.model.dats.count(1), 0u);
  EXPECT_EQ(j.model.dats[2].DI, 2.f);
  EXPECT_EQ(j.model.macs.at(2).DI, 9.f);
  const dat& empty = j.model.dats[1];  // created by the read
  EXPECT_TRUE(empty.is_check);
  EXPECT_TRUE(empty.checks.empty());
}

TEST(Loader, ALastLineIsClosedInTheNextDocument) {
  Journal j;
  j.load(R"(<DAT><C T="0"><P N="1" SM="1"/></C></DAT><MAC/>)"
         R"(<DAT><C T="0"><P N="1" SM="2"/></C><TS>2</TS></DAT><MAC/>)");
  EXPECT_EQ(j.receipt(0).p_count, 0);
  EXPECT_EQ(j.receipt(0).line_order_next, 1);
  const check& next = j.receipt(1);
  EXPECT_EQ(next.p_count, 2);
  EXPECT_EQ(next.line_order, (order{{2, {1, 1}}}));
  EXPECT_EQ(next.p_lines.at(1).SM, 2.f);
}

TEST(Loader, TextNodesChangeNothing) {
  const std::string tight = R"(<DAT DI="3"><C T="0"><P N="1" SM="1"/><M N="2" SM="1"/>)"
                            R"(<E N="3" NO="4"><TX TX="1"/><TX TX="2"/></E></C><TS>5</TS></DAT>)"
                            R"(<MAC/><DAT><Z NO="1"><TXS TX="1"/><M SMI="1"/></Z><TS>6</TS></DAT><MAC/>)";
  std::string loose;
  for (char ch : tight) {
    if (ch == '<' && !loose.empty() && loose.back() == '>') loose += "\r\n  ";
    loose += ch;
  }
  Journal a, b;
  a.load(tight);
  b.load(loose);
  ASSERT_EQ(b.model.doc_count, 2);
  EXPECT_EQ(describe(a.model.dats[0]), describe(b.model.dats[0]));
  EXPECT_EQ(describe(a.model.dats[1]), describe(b.model.dats[1]));
  EXPECT_EQ(b.zreport(1).z_m_count, 1);
}

TEST(Loader, LoadingTheSameTextTwiceStoresItTwice) {
  Journal j;
  j.load(kSampleReceipt);
  j.load(kSampleReceipt);
  EXPECT_EQ(j.model.doc_count, 2);
  EXPECT_EQ(describe(j.model.dats[0]), describe(j.model.dats[1]));
  EXPECT_EQ(j.model.macs.size(), 2u);
}

TEST(Loader, LoadsTheRootWithTheCurrentCode) {
  Journal j;
  j.load(R"(<DAT V="2"/>)");  // cleared first: the root's V is the model's
  EXPECT_EQ(j.model.V, 1.f);
  EXPECT_EQ(j.model.dats[0].V, 2.f);
  ASSERT_EQ(j.state.current, el_DAT);

  xml_document document(test_support::journal_text(""));
  load_root(j.model, j.state, document, document.root());  // not cleared: a DAT's V
  EXPECT_EQ(j.model.V, 1.f);
  EXPECT_EQ(j.model.dats[0].V, 1.f);
}

TEST(Control, EntersAnMAsZMOnlyAfterAZReportElement) {
  struct Case {
    const char* before;
    std::int32_t code;
  };
  const Case cases[] = {{"Z", el_Z_M},  {"TXS", el_Z_M}, {"IO", el_Z_M}, {"NC", el_Z_M},
                        {"Z_M", el_Z_M}, {"P", el_M},    {"C", el_M},   {"E", el_M},
                        {"FOO", el_M},   {"TX", el_M}};
  control state;
  for (const auto& c : cases) {
    state.clear();
    state.enter_element(c.before);
    state.enter_element("M");
    EXPECT_EQ(state.current, c.code) << c.before;
  }
}

}  // namespace
}  // namespace tallyglass

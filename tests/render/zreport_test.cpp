#include "render/zreport.h"

#include <gtest/gtest.h>

#include <functional>

#include "render/compose.h"
#include "support/model_builders.h"

namespace tallyglass {
namespace {

using test_support::At;
using test_support::End;
using test_support::Line;
using test_support::W;

vid_tax Group(const char* tx, float txpr, float txi, float smi) {
  vid_tax t;
  t.TX = tx;
  t.TS = "20140430";
  t.TXPR = txpr;
  t.TXI = txi;
  t.SMI = smi;
  return t;
}

void AddGroup(zvit& z, const vid_tax& t) {
  z.txs_lines[z.txs_count++] = t;
  z.has_txs = true;
}

TEST(ZReportLayout, WorkedExampleLineForLine) {
  rq model;
  dat& d = test_support::add_doc(model, 1);
  d.ts.text = "20140430144200";
  d.is_check = false;
  zvit& z = d.zvits[0];
  z.NO = 52;
  z.z_m_lines[z.z_m_count++] = {0, W("ГРОШІ"), 1200, 0};
  z.has_z_m = true;
  z.io_lines[z.io_count++] = {0, W("ГРОШІ"), 0, 0, 1200};
  z.has_io = true;
  z.nc_lines[z.nc_count++] = {1, 0};
  z.has_nc = true;
  AddGroup(z, Group("1", 20, 167, 1000));
  AddGroup(z, Group("2", 0, 0, 100));
  AddGroup(z, Group("3", 20, 17, 100));

  Listing got;
  render_zreport(model, 0, got);
  test_support::ExpectGolden(got, "zreport_example.txt",
                     {29, 22, 15, 32, 22, 21, 34, 42, 54, 34, 42, 72, 34, 43, 43, 43, 17, 43, 43, 43, 20, 53,
                      63, 63, 63, 43, 23, 40, 40});
}

struct ZCase {
  const char* name;
  std::function<void(zvit&)> build;
  std::vector<std::string> run;
  std::vector<std::string> absent;
};

Listing RenderOne(const std::function<void(zvit&)>& build) {
  rq model;
  zvit& z = test_support::add_zreport(model, 1, 52);
  build(z);
  Listing out;
  render_zreport(model, 0, out);
  return out;
}

const std::string kNoTaxes = "                    0.00      0.00";

TEST(ZReportLayout, EdgeCases) {
  const std::vector<ZCase> cases = {
      {"nothing but the heading: empty sections, zero counters, bare rates heading",
       [](zvit&) {},
       {W("              ЗАГАЛОМ"), W("  ------        Податок       Обіг"), kNoTaxes, W("  Чеків продажу 0"),
        kNoTaxes, W("  Чеків повернення 0"), W("  Податок     від "),
        Line(43, {At(21, "30.04.2014  14:44")})},
       {W("  ------      Повернення    Продаж"), W("  ------         Видача     Внесок")}},
      {"counters written one after another",
       [](zvit& z) {
         z.nc_lines[z.nc_count++] = {3, 1};
         z.nc_lines[z.nc_count++] = {4, 2};
         z.has_nc = true;
       },
       {W("  Чеків продажу 34")},
       {}},
      {"refund counters likewise",
       [](zvit& z) {
         z.nc_lines[z.nc_count++] = {3, 1};
         z.nc_lines[z.nc_count++] = {4, 2};
         z.has_nc = true;
       },
       {W("  Чеків повернення 12")},
       {}},
      {"payment forms add up in single precision",
       [](zvit& z) {
         z.z_m_lines[z.z_m_count++] = {0, W("ГРОШІ"), 1200, 10};
         z.z_m_lines[z.z_m_count++] = {0, W("КАРТКА"), 300, 20};
         z.has_z_m = true;
       },
       {W("  ------      Повернення    Продаж"), Line(42, {At(1, "  ГРОШІ"), End(24, "0.10"), End(37, "12.00")}),
        Line(43, {At(1, "  КАРТКА"), End(24, "0.20"), End(37, "3.00")}),
        Line(54, {At(1, "  ВСЬОГО"), End(24, "0.30"), End(37, "15.00")})},
       {}},
      {"sales excise shifts the letter of the next line only",
       [](zvit& z) {
         vid_tax t = Group("1", 20, 300, 2000);
         t.DTI = 500;
         AddGroup(z, t);
         AddGroup(z, Group("3", 20, 17, 100));
       },
       {Line(43, {At(1, "  ДОД. A"), End(24, "5.00"), End(37, "17.00")}),
        Line(43, {At(1, "  ДОД. Б"), End(24, "3.00"), End(37, "20.00")}),
        Line(43, {At(1, "  ДОД. В"), End(24, "0.17"), End(37, "1.00")})},
       {}},
      {"refund lines take DTO with no letter shift",
       [](zvit& z) {
         vid_tax t = Group("1", 20, 300, 2000);
         t.DTI = 500;
         t.DTO = 40;
         t.TXO = 99;
         t.SMO = 700;
         AddGroup(z, t);
       },
       {W("  Чеків продажу 0"), Line(43, {At(1, "  ВІД. A"), End(24, "0.40"), End(37, "7.00")}),
        W("  Чеків повернення 0")},
       {}},
      {"rates excise line then the VAT line with the next letter",
       [](zvit& z) {
         vid_tax t = Group("1", 20, 0, 0);
         t.DTPR = 5;
         AddGroup(z, t);
         AddGroup(z, Group("3", 7, 0, 0));
       },
       {Line(53, {At(1, "  Податок     від"), At(26, "30.04.2014")}),
        Line(63, {At(1, "    Акцизний збір (Вк2) A = "), End(37, "5.00%")}),
        Line(63, {At(1, "            ПДВ_Б (Вкл) Б = "), End(37, "20.00%")}),
        Line(63, {At(1, "            ПДВ_В (Вкл) В = "), End(37, "7.00%")})},
       {}},
      {"report number 53.0 shown as 53", [](zvit& z) { z.NO = 53.0f; }, {W("           Z-звіт N 53")}, {}},
  };
  for (const auto& c : cases) {
    const Listing got = RenderOne(c.build);
    EXPECT_NE(test_support::FindRun(got, c.run), std::string::npos) << c.name << "\n" << test_support::ShowListing(got);
    for (const auto& line : c.absent) EXPECT_EQ(test_support::Count(got, line), 0u) << c.name << ": " << test_support::Show(line);
  }
}

TEST(ZReportLayout, BadTaxGroupStopsTheReport) {
  Listing got;
  EXPECT_THROW(RenderOne([](zvit& z) { AddGroup(z, Group("A", 20, 0, 0)); }), RenderError);
  rq model;
  AddGroup(test_support::add_zreport(model, 1, 52), Group("", 20, 0, 0));
  EXPECT_THROW(render_zreport(model, 0, got), RenderError);
  EXPECT_EQ(got.back(), W("  ------        Податок       Обіг"));
}

}  // namespace
}  // namespace tallyglass

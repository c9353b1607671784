// Exact values out of a journal, CSV read back by a real CSV reader, and the
// values that must be refused.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>

#include "export/export_writer.h"
#include "journal/loader.h"
#include "journal/parse_load.h"
#include "support/run_command.h"
#include "support/test_files.h"
#include "text/cp1251.h"

namespace tallyglass {
namespace {

namespace fs = std::filesystem;

std::string Journal(const std::string& documents_utf8) {
  return Utf8ToCp1251("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<RQ V=\"1\">\r\n" + documents_utf8 +
                      "</RQ>\r\n");
}

// One sale receipt whose line carries the given attributes.
std::string Receipt(int di, int number, const std::string& line_attributes, const std::string& end_extra = "") {
  const std::string d = std::to_string(di);
  return "<DAT DI=\"" + d + "\" FN=\"3011223344\" TN=\"ПН 1\" ZN=\"402400117\"><C T=\"0\"><P N=\"1\" " +
         line_attributes + "></P><M N=\"2\" NM=\"ГРОШІ\" SM=\"100\" T=\"0\"></M><E N=\"3\" NO=\"" +
         std::to_string(number) + "\" SM=\"100\" CS=\"1\"" + end_extra +
         "></E></C><TS>20160314091204</TS></DAT><MAC DI=\"" + d + "\" NT=\"1\">x</MAC>\r\n";
}

TEST(FixedTextTest, WritesEveryScaledIntegerExactly) {
  struct Case { std::int64_t value; int places; const char* text; };
  constexpr Case kCases[] = {
      {1200, 2, "12.00"},  {-50, 2, "-0.50"}, {0, 2, "0.00"},     {123456789, 2, "1234567.89"},
      {1500, 3, "1.500"},  {7, 3, "0.007"},   {2000, 2, "20.00"}, {-1, 0, "-1"},
      {std::numeric_limits<std::int64_t>::min(), 2, "-92233720368547758.08"},
      {std::numeric_limits<std::int64_t>::max(), 2, "92233720368547758.07"},
  };
  for (const auto& c : kCases) EXPECT_EQ(fixed_text(c.value, c.places), c.text) << c.value;
  EXPECT_EQ(fixed_text(-50, 2, ','), "-0,50");
}

TEST(ExactJournalTest, AmountsBeyondTheFloatsOfTheTapeStayExact) {
  // 16777217 is 2^24 + 1, which a float holds as 16777216; 9007199254740993
  // is 2^53 + 1, beyond a double as well. "-0" is zero.
  const std::string text = Journal(Receipt(1, 7, "NM=\"a\" SM=\"16777217\" Q=\"16777217\" PRC=\"-0\" TX=\"1\"",
                                           " TX=\"1\" TXPR=\"20.00\" TXAL=\"0\" TXSM=\"9007199254740993\""));
  ExactJournal journal;
  journal.add_text(text);
  ASSERT_EQ(journal.documents.size(), 1u);
  const auto& line = journal.documents[0].lines.at(0);
  EXPECT_EQ(fixed_text(*line.sum, 2), "167772.17");
  EXPECT_EQ(fixed_text(*line.quantity, 3), "16777.217");
  EXPECT_EQ(fixed_text(*line.price, 2), "0.00");
  EXPECT_EQ(fixed_text(journal.documents[0].taxes.at(0).tax, 2), "90071992547409.93");

  // The tape's model shows another value for the same attribute.
  rq model;
  control loader;
  loader.clear();
  ASSERT_TRUE(parse_and_load(text, model, loader));
  EXPECT_EQ(model.dats[0].checks[0].p_lines[0].SM, 16777216.0f);

  const auto docs = select_documents(journal, {});
  const std::string json = export_json(docs);
  EXPECT_NE(json.find("\"sum\":\"167772.17\""), std::string::npos);
  EXPECT_NE(json.find("\"tax\":\"90071992547409.93\""), std::string::npos);
  const CsvTables csv = export_csv(docs, CsvDialect::excel());
  EXPECT_NE(csv.lines.find(";167772,17;"), std::string::npos);
  EXPECT_EQ(csv.lines.rfind("\xEF\xBB\xBFzn;fn;", 0), 0u);
}

// Every rate and amount of a receipt's taxes reaches the export, in both
// forms the journal writes them. With TXAL not 0 the register swaps the tax
// and the excise in E's attributes (its tape shows DTPR and DTSM as the tax).
TEST(ExactJournalTest, TaxesOfBothFormsCarryTheTaxAndTheExciseWithTheirRates) {
  struct Case { const char* form; std::string end, json, csv; };
  const Case kCases[] = {
      {"E, TXAL 0", " TX=\"1\" TXPR=\"20.00\" TXSM=\"167\" DTPR=\"5.00\" DTSM=\"42\" TXAL=\"0\"",
       "{\"group\":\"1\",\"rate\":\"20.00\",\"tax\":\"1.67\",\"excise\":\"0.42\",\"excise_rate\":\"5.00\"}",
       "402400117,3011223344,5,1,1,20.00,1.67,0.42,5.00\r\n"},
      {"E, TXAL 1", " TX=\"1\" TXPR=\"5.00\" TXSM=\"42\" DTPR=\"20.00\" DTSM=\"167\" TXAL=\"1\"",
       "{\"group\":\"1\",\"rate\":\"20.00\",\"tax\":\"1.67\",\"excise\":\"0.42\",\"excise_rate\":\"5.00\"}",
       "402400117,3011223344,5,1,1,20.00,1.67,0.42,5.00\r\n"},
      {"TX child", "><TX TX=\"2\" TXAL=\"0\" TXPR=\"7.00\" TXSM=\"131\" DTPR=\"2.50\" DTSM=\"47\" TXTY=\"0\"></TX",
       "{\"group\":\"2\",\"rate\":\"7.00\",\"tax\":\"1.31\",\"excise\":\"0.47\",\"excise_rate\":\"2.50\"}",
       "402400117,3011223344,5,1,2,7.00,1.31,0.47,2.50\r\n"},
  };
  for (const auto& c : kCases) {
    ExactJournal journal;
    journal.add_text(Journal(Receipt(5, 1, "NM=\"a\" SM=\"100\" TX=\"1\"", c.end)));
    const auto docs = select_documents(journal, {});
    EXPECT_NE(export_json(docs).find(c.json), std::string::npos) << c.form << "\n" << export_json(docs);
    EXPECT_EQ(export_csv(docs).taxes, "zn,fn,di,number,group,rate,tax,excise,excise_rate\r\n" + c.csv) << c.form;
  }
}

TEST(ExactJournalTest, AValueThatIsNotWhatItsFieldNeedsNamesDocumentElementAndAttribute) {
  struct Case { std::string line, end, expected; };
  const Case kCases[] = {
      {"NM=\"a\" SM=\"12,50\"", "", "document DI 5 of j.xml: attribute SM of P: \"12,50\" is not an integer"},
      {"NM=\"a\" SM=\"1.5\"", "", "attribute SM of P"},
      {"NM=\"a\" Q=\"1e3\"", "", "attribute Q of P"},
      {"NM=\"a\" SM=\"99999999999999999999\"", "", "beyond the range"},
      {"NM=\"a\" SM=\"1\"", " TXPR=\"20.001\"", "attribute TXPR of E"},
      {"NM=\"a\" SM=\"1\"", " VD=\"\"", "attribute VD of E: \"\" is empty"},
  };
  for (const auto& c : kCases) {
    ExactJournal journal;
    try {
      journal.add_text(Journal(Receipt(5, 1, c.line, c.end)), "j.xml");
      ADD_FAILURE() << "accepted " << c.line << c.end;
    } catch (const ExportError& e) {
      EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
    }
    EXPECT_TRUE(journal.documents.empty());
  }
}

// Runs Python's csv module over a written table and prints one field per line
// as JSON-escaped text, so the test compares what a real reader sees.
std::vector<std::vector<std::string>> ReadWithPython(const fs::path& file, bool excel) {
  const fs::path script = file.parent_path() / "read.py";
  {
    std::FILE* f = std::fopen(script.c_str(), "w");
    std::fputs("import csv, json, sys\n"
               "enc, delim = ('utf-8-sig', ';') if sys.argv[2] == 'excel' else ('utf-8', ',')\n"
               "with open(sys.argv[1], newline='', encoding=enc) as f:\n"
               "    for row in csv.reader(f, delimiter=delim):\n"
               "        print(json.dumps(row, ensure_ascii=False))\n", f);
    std::fclose(f);
  }
  const std::string command = "python3 '" + script.string() + "' '" + file.string() + "' " + (excel ? "excel" : "rfc");
  const test_support::CommandRun run = test_support::RunCommand(command);
  EXPECT_EQ(run.status, 0) << command;
  const std::string& out = run.out;
  // Each line is a JSON array of strings; undo the escapes the names need.
  std::vector<std::vector<std::string>> rows;
  std::size_t at = 0;
  while (at < out.size()) {
    const std::size_t end = out.find('\n', at);
    const std::string line = out.substr(at, end - at);
    at = end + 1;
    std::vector<std::string> row;
    for (std::size_t i = 1; i < line.size();) {
      if (line[i] != '"') { ++i; continue; }
      std::string field;
      for (++i; line[i] != '"'; ++i) {
        if (line[i] != '\\') { field += line[i]; continue; }
        const char e = line[++i];
        if (e == 'n') field += '\n';
        else if (e == 'r') field += '\r';
        else if (e == 't') field += '\t';
        else if (e == 'u') { field += static_cast<char>(std::stoi(line.substr(i + 1, 4), nullptr, 16)); i += 4; }
        else field += e;
      }
      ++i;
      row.push_back(field);
    }
    rows.push_back(row);
  }
  return rows;
}

TEST(CsvTest, ARealCsvReaderReadsBackTheJournalsValuesAndTheUgliestNames) {
  // Quotes, both separators, line breaks (as character references), a tab,
  // blanks at the ends, an apostrophe, a formula-like start, a long text.
  const std::string long_name(5000, 'x');
  const std::vector<std::string> names = {
      "Сир &quot;Голландський&quot;, 45%; ваговий", "рядок&#13;&#10;другий&#10;третій", "таб&#9;ок",
      "  пробіли  ", "=SUM(A1:A9)", "п'ять &quot;&quot;&quot; a&lt;b&gt;&amp;c", long_name};
  std::string docs;
  for (std::size_t i = 0; i < names.size(); ++i) {
    docs += Receipt(static_cast<int>(10 + i), static_cast<int>(100 + i),
                    "NM=\"" + names[i] + "\" SM=\"" + std::to_string(-5 + 1000003 * static_cast<long long>(i)) +
                        "\" Q=\"1500\" PRC=\"333\" TX=\"1\"");
  }
  ExactJournal journal;
  journal.add_text(Journal(docs));
  journal.sort();
  const auto selected = select_documents(journal, {});
  const fs::path dir = test_support::MakeScratchDir("tallyglass-csv");
  for (const bool excel : {false, true}) {
    write_csv_folder(dir, export_csv(selected, excel ? CsvDialect::excel() : CsvDialect{}));
    const auto rows = ReadWithPython(dir / "lines.csv", excel);
    ASSERT_EQ(rows.size(), names.size() + 1);
    EXPECT_EQ(rows[0][7], "name");
    for (std::size_t i = 0; i < names.size(); ++i) {
      const auto& doc = journal.documents[i];
      const auto& row = rows[i + 1];
      ASSERT_EQ(row.size(), 13u);
      EXPECT_EQ(row[0], "402400117");
      EXPECT_EQ(row[2], std::to_string(doc.di));
      EXPECT_EQ(row[3], std::to_string(doc.number));
      EXPECT_EQ(row[7], Cp1251ToUtf8(doc.lines[0].name)) << i;
      EXPECT_EQ(row[10], fixed_text(*doc.lines[0].sum, 2, excel ? ',' : '.'));
      EXPECT_EQ(row[8], excel ? "1,500" : "1.500");
    }
    EXPECT_EQ(rows[1][7], "Сир \"Голландський\", 45%; ваговий");
    EXPECT_EQ(rows[2][7], "рядок\r\nдругий\nтретій");
    EXPECT_EQ(rows[6][7], "п'ять \"\"\" a<b>&c");
    const auto documents = ReadWithPython(dir / "documents.csv", excel);
    ASSERT_EQ(documents.size(), names.size() + 1);
    EXPECT_EQ(documents[1][5], "2016-03-14T09:12:04");
  }
  fs::remove_all(dir);
}

TEST(SelectionTest, NumbersTakeTheZReportsAmongTheReceiptsAndDatesTakeTheDays) {
  ExactJournal journal;
  journal.add_text(test_support::SampleJournal());
  journal.sort();
  auto numbers = [&](std::int64_t from, std::int64_t to) {
    ExportSelection s;
    s.by = ExportSelection::By::numbers;
    s.from = from;
    s.to = to;
    std::vector<std::string> out;
    for (const auto* d : select_documents(journal, s)) out.push_back((d->is_zreport ? "Z" : "") + std::to_string(d->number));
    return out;
  };
  EXPECT_EQ(numbers(135, 138), (std::vector<std::string>{"135", "136", "Z41", "137", "138"}));
  EXPECT_EQ(numbers(130, 136).size(), 7u);  // Z 41 follows 136: not among them
  // No receipt 149: the range runs on to the journal's end, as the listing's.
  EXPECT_EQ(numbers(146, 149), (std::vector<std::string>{"146", "147", "148", "Z43"}));
  ExportSelection day;
  day.by = ExportSelection::By::dates;
  day.from_ts = "20160315000000";
  day.to_ts = "20160315235959";
  const auto docs = select_documents(journal, day);
  ASSERT_EQ(docs.size(), 7u);
  EXPECT_EQ(docs.front()->number, 137);
  EXPECT_TRUE(docs.back()->is_zreport);
}

}  // namespace
}  // namespace tallyglass

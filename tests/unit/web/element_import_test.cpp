// An element list read as CSV and judged line by line as an import would:
// what a spreadsheet writes is read, what is not CSV is refused naming the
// line and the column, and each line is added, skipped or refused for the
// right reason; an export reads back as the same rows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "agent/core/maintenance_book.h"
#include "agent/core/snmp_v3_credentials.h"
#include "agent/web/add_element_check.h"
#include "agent/web/element_csv.h"
#include "agent/web/element_import.h"

namespace orla {
namespace {

TEST(ElementCsv, ReadsWhatASpreadsheetWritesAndRefusesWhatIsNotCsv) {
  struct Row {
    const char* what;
    std::string text;
    std::vector<std::string> rows;  // "name|address|profile[|note]"; empty with a problem
    size_t line = 0;                // the problem's line; 0: parsed
    std::string field;
    std::string problem;
  };
  const Row rows[] = {
      {"plain", "name,address\ntc01,10.1.2.1\ntc02,10.1.2.2\n", {"tc01|10.1.2.1|", "tc02|10.1.2.2|"}, 0, "", ""},
      {"CRLF, a byte-order mark, columns in another order, spaces and empty lines",
       "\xEF\xBB\xBFsnmpv3_profile,address,name\r\n\r\nlab , 10.1.2.1 ,tc01\r\n,10.1.2.2,tc02\r\n",
       {"tc01|10.1.2.1|lab", "tc02|10.1.2.2|"}, 0, "", ""},
      {"quoted fields", "name,address\n\"tc,1\",\"10.1.2.1\"\n\"a\"\"b\", 10.1.2.2\n",
       {"tc,1|10.1.2.1|", "a\"b|10.1.2.2|"}, 0, "", ""},
      {"no last newline", "name,address\ntc01,10.1.2.1", {"tc01|10.1.2.1|"}, 0, "", ""},
      {"maintenance notes", "maintenance_note,name,address\n\"cabling, rack 4\",tc01,10.1.2.1\n,tc02,10.1.2.2\n",
       {"tc01|10.1.2.1||cabling, rack 4", "tc02|10.1.2.2|"}, 0, "", ""},
      {"empty", "", {}, 1, "", ElementCsv::kNoHeader},
      {"no header", "tc01,10.1.2.1\n", {}, 1, "tc01", ElementCsv::kUnknownColumn},
      {"one column", "tc01\n", {}, 1, "", ElementCsv::kNoHeader},
      {"unknown column", "name,address,colour\n", {}, 1, "colour", ElementCsv::kUnknownColumn},
      {"column twice", "name,address,name\n", {}, 1, "name", ElementCsv::kColumnTwice},
      {"no address column", "name,snmpv3_profile\n", {}, 1, "address", ElementCsv::kMissingColumn},
      {"a field short", "name,address\ntc01,10.1.2.1\n\ntc02\n", {}, 4, "", ElementCsv::kFieldCount},
      {"a field over", "name,address\ntc01,10.1.2.1,x\n", {}, 2, "", ElementCsv::kFieldCount},
      {"open quote", "name,address\n\"tc01,10.1.2.1\n", {}, 2, "", ElementCsv::kOpenQuote},
      {"stray quote", "name,address\ntc\"01,10.1.2.1\n", {}, 2, "", ElementCsv::kStrayQuote},
      {"text after a closing quote", "name,address\n\"tc01\"x,10.1.2.1\n", {}, 2, "", ElementCsv::kStrayQuote},
      {"a NUL byte", std::string("name,address\ntc01,10.1.2.1\0\n", 28), {}, 0, "", ElementCsv::kNotText},
      {"not UTF-8", "name,address\ntc\xFF,10.1.2.1\n", {}, 0, "", ElementCsv::kNotText},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::vector<ElementCsv::Row> parsed;
    ElementCsv::Problem problem;
    const bool ok = ElementCsv::Parse(row.text, &parsed, &problem);
    EXPECT_EQ(ok, row.problem.empty());
    EXPECT_EQ(problem.text, row.problem);
    EXPECT_EQ(problem.line, row.line);
    EXPECT_EQ(problem.field, row.field);
    std::vector<std::string> got;
    for (const ElementCsv::Row& r : parsed) {
      got.push_back(r.name + "|" + r.address + "|" + r.profile + (r.note.empty() ? "" : "|" + r.note));
    }
    EXPECT_EQ(got, row.rows);
  }

  // Bounded: one row over the limit is refused, naming its line.
  std::string many = "name,address\n";
  for (size_t i = 0; i <= ElementCsv::kMaxRows; ++i) many += "n,a\n";
  std::vector<ElementCsv::Row> parsed;
  ElementCsv::Problem problem;
  EXPECT_FALSE(ElementCsv::Parse(many, &parsed, &problem));
  EXPECT_EQ(problem.text, ElementCsv::kTooManyRows);
  EXPECT_EQ(problem.line, ElementCsv::kMaxRows + 2);

  // What an export writes reads back as the same rows.
  const std::vector<ElementCsv::Row> out = {{0, "tc01", "10.1.2.1", "lab", "cabling, \"rack\" 4"},
                                            {0, "a\"b,c", "10.1.2.2", "", ""}};
  ASSERT_TRUE(ElementCsv::Parse(ElementCsv::Format(out), &parsed, &problem)) << problem.text;
  ASSERT_EQ(parsed.size(), 2u);
  EXPECT_EQ(parsed[1].name, "a\"b,c");
  EXPECT_EQ(parsed[0].profile, "lab");
  EXPECT_EQ(parsed[0].note, "cabling, \"rack\" 4");
}

TEST(ElementImport, JudgesEachLineAgainstWhatIsManagedAndTheLinesBefore) {
  SnmpV3Credentials credentials;
  ASSERT_EQ(SnmpV3Credentials::Parse("profile name=lab user=kor level=noAuthNoPriv\n", &credentials), "");
  std::vector<ElementView> managed(2);
  managed[0].record.name = "tc01";
  managed[0].record.address = "10.1.2.1";
  managed[1].record.name = "tc00";
  managed[1].record.address = "10.1.2.0";
  using V = ElementImport::Verdict;
  struct Row {
    ElementCsv::Row row;
    V verdict;
    std::string field;
    std::string text;
  };
  const Row rows[] = {
      {{2, "tc01", "10.1.2.1", ""}, V::kSkip, "", "Already managed as tc01."},
      {{3, "other", "10.1.2.0", ""}, V::kSkip, "", "Already managed as tc00."},
      {{4, "tc00", "10.1.2.9", ""}, V::kRefuse, "name", AddElementCheck::kNameInUse},
      {{5, "tc02", "10.1.2.2", "lab"}, V::kAdd, "", ""},
      {{6, "tc02", "10.1.2.3", ""}, V::kRefuse, "name", "The name is also on line 5."},
      {{7, "tc03", "10.1.2.2", ""}, V::kRefuse, "address", "The address is also on line 5."},
      {{8, "ninechars", "10.1.2.4", ""}, V::kRefuse, "name", AddElementCheck::kNameLength},
      {{9, "tc;4", "10.1.2.4", ""}, V::kRefuse, "name", AddElementCheck::kNameCharacters},
      {{10, "tc04", "10.1.2.256", ""}, V::kRefuse, "address", AddElementCheck::kUnresolved},
      {{11, "tc04", "fe80::1", ""}, V::kRefuse, "address", AddElementCheck::kDottedOnly},
      {{12, "tc04", "tapehost", ""}, V::kRefuse, "address", AddElementCheck::kDottedOnly},
      {{13, "tc04", "", ""}, V::kRefuse, "address", AddElementCheck::kNoAddress},
      {{14, "tc04", "10.1.2.4", "nosuch"}, V::kRefuse, "snmpv3_profile", ElementImport::kNoProfile},
      // A maintenance note is judged by the maintenance windows' own rule.
      {{17, "tc05", "10.1.2.5", "", "cabling"}, V::kAdd, "", ElementImport::kInMaintenance},
      {{18, "tc06", "10.1.2.6", "", "a\tb"}, V::kRefuse, "maintenance_note", MaintenanceBook::kBadReasonText},
      // A line the file repeats is the file's fault, even when the first is skipped.
      {{16, "tc01", "10.1.2.1", ""}, V::kRefuse, "address", "The address is also on line 2."},
      // A refused line claims nothing: the same name may come again.
      {{15, "tc04", "10.1.2.4", ""}, V::kAdd, "", ""},
  };
  std::vector<ElementCsv::Row> input;
  for (const Row& row : rows) input.push_back(row.row);
  const std::vector<ElementImport::Line> lines = ElementImport::Judge(input, managed, credentials);
  ASSERT_EQ(lines.size(), std::size(rows));
  for (size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(rows[i].row.line);
    EXPECT_EQ(lines[i].verdict, rows[i].verdict);
    EXPECT_EQ(lines[i].field, rows[i].field);
    EXPECT_EQ(lines[i].text, rows[i].text);
  }
  EXPECT_EQ(ElementImport::Count(lines, V::kAdd), 3u);
  EXPECT_EQ(ElementImport::InMaintenance(lines), 1u);
  EXPECT_EQ(ElementImport::Count(lines, V::kSkip), 2u);
}

}  // namespace
}  // namespace orla

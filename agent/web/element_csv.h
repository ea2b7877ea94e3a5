#pragma once
// ElementCsv: managed elements as CSV, as an import reads them and an
// export writes them. The first line names the columns: "name" and
// "address", and optionally "snmpv3_profile" (the SNMPv3 profile assigned
// to that one address) and "maintenance_note" (the reason of a maintenance
// window the element is added in), in any order. Fields are separated by commas; a
// field in double quotes may hold commas, and a doubled quote stands for
// one; lines end in LF or CRLF; a UTF-8 byte-order mark (spreadsheets write
// one) is skipped; empty lines are skipped; spaces around a field are
// dropped. At most kMaxRows rows; the text must be UTF-8 without NUL bytes.
#include <cstddef>
#include <string>
#include <vector>

namespace orla {

class ElementCsv {
 public:
  struct Row {
    size_t line = 0;  // 1-based line of the text (the header is line 1)
    std::string name;
    std::string address;
    std::string profile;  // empty: none
    std::string note{};   // maintenance_note; empty: none
  };
  struct Problem {
    size_t line = 0;
    std::string field;  // the column at fault; empty when the whole line is
    std::string text;
  };

  static constexpr size_t kMaxRows = 10000;
  static constexpr const char* kHeader = "name,address,snmpv3_profile,maintenance_note";

  static constexpr const char* kNoHeader =
      "The first line must name the columns: name, address and optionally snmpv3_profile and maintenance_note.";
  static constexpr const char* kUnknownColumn = "This column is not known here.";
  static constexpr const char* kColumnTwice = "This column is named twice.";
  static constexpr const char* kMissingColumn = "This column is required.";
  static constexpr const char* kFieldCount = "The line does not have as many fields as the header has columns.";
  static constexpr const char* kOpenQuote = "A quoted field is not closed.";
  static constexpr const char* kStrayQuote = "A quote may only open or close a field.";
  static constexpr const char* kNotText = "The file is not UTF-8 text.";
  static constexpr const char* kTooManyRows = "A file may hold at most 10000 devices.";

  // The rows of `text` in order; false with *problem (the first found) and
  // no rows.
  static bool Parse(const std::string& text, std::vector<Row>* rows, Problem* problem);
  // `rows` as CSV under kHeader, a field quoted when it needs to be.
  static std::string Format(const std::vector<Row>& rows);

 private:
  // The fields of one line; false with *why when its quotes are wrong.
  static bool SplitLine(const std::string& line, std::vector<std::string>* fields, const char** why);
  static std::string Quoted(const std::string& field);
};

}  // namespace orla

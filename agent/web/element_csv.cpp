#include "element_csv.h"

#include <algorithm>

#include "platform/text/utf8.h"

namespace orla {

namespace {

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool IsUtf8Text(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == 0) return false;
    if (c < 0x80) {
      ++i;
      continue;
    }
    const size_t length = Utf8::SequenceLength(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

}  // namespace

bool ElementCsv::SplitLine(const std::string& line, std::vector<std::string>* fields, const char** why) {
  fields->clear();
  std::string field;
  bool quoted = false;     // inside quotes
  bool wasQuoted = false;  // this field had quotes (only spaces may follow them)
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c != '"') {
        field += c;
      } else if (i + 1 < line.size() && line[i + 1] == '"') {
        field += '"';
        ++i;
      } else {
        quoted = false;
      }
      continue;
    }
    if (c == ',') {
      fields->push_back(wasQuoted ? field : Trimmed(field));
      field.clear();
      wasQuoted = false;
    } else if (c == '"') {
      if (wasQuoted || !Trimmed(field).empty()) {
        *why = kStrayQuote;
        return false;
      }
      field.clear();
      quoted = wasQuoted = true;
    } else if (wasQuoted) {
      if (c != ' ' && c != '\t') {
        *why = kStrayQuote;
        return false;
      }
    } else {
      field += c;
    }
  }
  if (quoted) {
    *why = kOpenQuote;
    return false;
  }
  fields->push_back(wasQuoted ? field : Trimmed(field));
  return true;
}

bool ElementCsv::Parse(const std::string& text, std::vector<Row>* out, Problem* problem) {
  out->clear();
  *problem = Problem();
  std::vector<Row> parsed;
  std::vector<Row>* rows = &parsed;
  if (!IsUtf8Text(text)) {
    problem->text = kNotText;
    return false;
  }
  size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  size_t lineNumber = 0;
  int nameColumn = -1, addressColumn = -1, profileColumn = -1, noteColumn = -1;
  size_t columns = 0;
  bool headerSeen = false;
  std::vector<std::string> fields;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (Trimmed(line).empty()) continue;
    problem->line = lineNumber;
    const char* why = nullptr;
    if (!SplitLine(line, &fields, &why)) {
      problem->text = why;
      return false;
    }
    if (!headerSeen) {
      headerSeen = true;
      columns = fields.size();
      for (size_t i = 0; i < fields.size(); ++i) {
        int* column = fields[i] == "name"               ? &nameColumn
                      : fields[i] == "address"          ? &addressColumn
                      : fields[i] == "snmpv3_profile"   ? &profileColumn
                      : fields[i] == "maintenance_note" ? &noteColumn
                                                        : nullptr;
        if (column == nullptr) {
          problem->field = fields[i];
          problem->text = fields.size() < 2 ? kNoHeader : kUnknownColumn;
          if (fields.size() < 2) problem->field.clear();
          return false;
        }
        if (*column >= 0) {
          problem->field = fields[i];
          problem->text = kColumnTwice;
          return false;
        }
        *column = static_cast<int>(i);
      }
      if (nameColumn < 0 || addressColumn < 0) {
        problem->field = nameColumn < 0 ? "name" : "address";
        problem->text = kMissingColumn;
        return false;
      }
      continue;
    }
    if (fields.size() != columns) {
      problem->text = kFieldCount;
      return false;
    }
    if (rows->size() == kMaxRows) {
      problem->text = kTooManyRows;
      return false;
    }
    Row row;
    row.line = lineNumber;
    row.name = fields[static_cast<size_t>(nameColumn)];
    row.address = fields[static_cast<size_t>(addressColumn)];
    if (profileColumn >= 0) row.profile = fields[static_cast<size_t>(profileColumn)];
    if (noteColumn >= 0) row.note = fields[static_cast<size_t>(noteColumn)];
    rows->push_back(std::move(row));
  }
  if (!headerSeen) {
    problem->line = 1;
    problem->text = kNoHeader;
    return false;
  }
  *problem = Problem();
  out->swap(parsed);
  return true;
}

std::string ElementCsv::Quoted(const std::string& field) {
  if (field.find_first_of(",\"\r\n") == std::string::npos && Trimmed(field) == field) return field;
  std::string out = "\"";
  for (const char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string ElementCsv::Format(const std::vector<Row>& rows) {
  std::string out = std::string(kHeader) + "\r\n";
  for (const Row& row : rows) {
    out += Quoted(row.name) + "," + Quoted(row.address) + "," + Quoted(row.profile) + "," + Quoted(row.note) + "\r\n";
  }
  return out;
}

}  // namespace orla

#include "text_escape.h"

#include <cstring>

#include "platform/eventlog/event_log_writer.h"
#include "platform/text/html_escape.h"
#include "platform/text/string_printf.h"

namespace orla {

std::string TextEscape::Html(const std::string& text) {
  return HtmlEscape::Text(text);
}

std::string TextEscape::Xml(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default:
        if (byte < 0x20 && c != '\t' && c != '\n' && c != '\r') break;
        if (byte == 0x7f) break;
        out += c;
        break;
    }
  }
  return out;
}

std::string TextEscape::ScriptInAttribute(const std::string& text) {
  static const char kPlain[] = "-_./:?=,~#%+;@ ";
  std::string script;
  script.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (alnum || byte >= 0x80 || (byte != 0 && std::strchr(kPlain, c) != nullptr)) {
      script += c;
    } else {
      script += StringPrintf("\\x%02x", byte);
    }
  }
  return Html(script);
}

std::string TextEscape::Json(const std::string& text) {
  const std::string escaped = EventLogWriter::JsonEscape(text);
  std::string out;
  out.reserve(escaped.size());
  for (char c : escaped) {
    switch (c) {
      case '<': out += "\\u003c"; break;
      case '>': out += "\\u003e"; break;
      case '&': out += "\\u0026"; break;
      default: out += c;
    }
  }
  return out;
}

std::string TextEscape::Csv(const std::string& text) {
  // A field a spreadsheet would read as a formula gets a leading quote.
  const bool formula = !text.empty() && text[0] != '\0' && std::strchr("=+-@", text[0]) != nullptr;
  std::string field;
  field.reserve(text.size() + 1);
  if (formula) field.push_back('\'');
  field.append(text);
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string out = "\"";
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace orla

#include "platform/text/json_reader.h"

#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/text/utf8.h"

namespace orla {

namespace {

void AppendUtf8(unsigned code, std::string* out) {
  if (code < 0x80) {
    *out += static_cast<char>(code);
  } else if (code < 0x800) {
    *out += static_cast<char>(0xC0 | (code >> 6));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *out += static_cast<char>(0xE0 | (code >> 12));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (code >> 18));
    *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<JsonValue> JsonReader::Read(const std::string& text, Failure* failure) {
  text_ = &text;
  at_ = 0;
  values_ = 0;
  field_.clear();
  failure_ = Failure();
  JsonValue value;
  SkipSpace();
  bool ok = Value(&value, 0);
  if (ok) {
    SkipSpace();
    if (at_ != text.size()) ok = Fail(kMalformed);
  }
  text_ = nullptr;
  if (!ok) {
    if (failure != nullptr) *failure = std::move(failure_);
    return std::nullopt;
  }
  return value;
}

bool JsonReader::Fail(const char* text) {
  failure_.text = text;
  failure_.field = field_;
  return false;
}

void JsonReader::SkipSpace() {
  const std::string& text = *text_;
  while (at_ < text.size() && (text[at_] == ' ' || text[at_] == '\t' || text[at_] == '\n' || text[at_] == '\r')) {
    ++at_;
  }
}

bool JsonReader::Value(JsonValue* out, size_t depth) {
  if (++values_ > limits_.maxValues) return Fail(kTooMany);
  const std::string& text = *text_;
  if (at_ >= text.size()) return Fail(kMalformed);
  switch (text[at_]) {
    case '{':
      return Object(out, depth + 1);
    case '[':
      return Array(out, depth + 1);
    case '"': {
      std::string value;
      if (!String(&value)) return false;
      *out = JsonValue::String(std::move(value));
      return true;
    }
    case 't':
      if (!Literal("true")) return false;
      *out = JsonValue::Bool(true);
      return true;
    case 'f':
      if (!Literal("false")) return false;
      *out = JsonValue::Bool(false);
      return true;
    case 'n':
      if (!Literal("null")) return false;
      *out = JsonValue();
      return true;
    default:
      return Number(out);
  }
}

bool JsonReader::Object(JsonValue* out, size_t depth) {
  if (depth > limits_.maxDepth) return Fail(kTooDeep);
  const std::string& text = *text_;
  ++at_;  // '{'
  std::vector<JsonValue::Member> members;
  SkipSpace();
  if (at_ < text.size() && text[at_] == '}') {
    ++at_;
    *out = JsonValue::Object(std::move(members));
    return true;
  }
  for (;;) {
    SkipSpace();
    if (at_ >= text.size() || text[at_] != '"') return Fail(kMalformed);
    std::string name;
    if (!String(&name)) return false;
    if (depth == 1) field_ = name;
    for (const JsonValue::Member& member : members) {
      if (member.first == name) return Fail(kDuplicate);
    }
    SkipSpace();
    if (at_ >= text.size() || text[at_] != ':') return Fail(kMalformed);
    ++at_;
    SkipSpace();
    JsonValue value;
    if (!Value(&value, depth)) return false;
    members.emplace_back(std::move(name), std::move(value));
    SkipSpace();
    if (at_ >= text.size()) return Fail(kMalformed);
    if (text[at_] == ',') {
      ++at_;
      continue;
    }
    if (text[at_] != '}') return Fail(kMalformed);
    ++at_;
    if (depth == 1) field_.clear();
    *out = JsonValue::Object(std::move(members));
    return true;
  }
}

bool JsonReader::Array(JsonValue* out, size_t depth) {
  if (depth > limits_.maxDepth) return Fail(kTooDeep);
  const std::string& text = *text_;
  ++at_;  // '['
  std::vector<JsonValue> items;
  SkipSpace();
  if (at_ < text.size() && text[at_] == ']') {
    ++at_;
    *out = JsonValue::Array(std::move(items));
    return true;
  }
  for (;;) {
    SkipSpace();
    JsonValue item;
    if (!Value(&item, depth)) return false;
    items.push_back(std::move(item));
    SkipSpace();
    if (at_ >= text.size()) return Fail(kMalformed);
    if (text[at_] == ',') {
      ++at_;
      continue;
    }
    if (text[at_] != ']') return Fail(kMalformed);
    ++at_;
    *out = JsonValue::Array(std::move(items));
    return true;
  }
}

bool JsonReader::Literal(const char* word) {
  const size_t length = std::strlen(word);
  if (text_->compare(at_, length, word) != 0) return Fail(kMalformed);
  at_ += length;
  return true;
}

bool JsonReader::Hex4(unsigned* out) {
  const std::string& text = *text_;
  if (at_ + 4 > text.size()) return Fail(kMalformed);
  unsigned value = 0;
  for (int i = 0; i < 4; ++i) {
    const char c = text[at_++];
    value <<= 4;
    if (c >= '0' && c <= '9') {
      value |= static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      value |= static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      value |= static_cast<unsigned>(c - 'A' + 10);
    } else {
      return Fail(kMalformed);
    }
  }
  *out = value;
  return true;
}

bool JsonReader::String(std::string* out) {
  const std::string& text = *text_;
  ++at_;  // '"'
  out->clear();
  while (at_ < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[at_]);
    if (c == '"') {
      ++at_;
      return true;
    }
    if (c < 0x20) return Fail(kMalformed);
    if (c != '\\') {
      const size_t length = Utf8::SequenceLength(text, at_);
      if (length == 0) return Fail(kMalformed);
      out->append(text, at_, length);
      at_ += length;
      continue;
    }
    if (++at_ >= text.size()) return Fail(kMalformed);
    const char escaped = text[at_++];
    switch (escaped) {
      case '"': *out += '"'; break;
      case '\\': *out += '\\'; break;
      case '/': *out += '/'; break;
      case 'b': *out += '\b'; break;
      case 'f': *out += '\f'; break;
      case 'n': *out += '\n'; break;
      case 'r': *out += '\r'; break;
      case 't': *out += '\t'; break;
      case 'u': {
        unsigned code = 0;
        if (!Hex4(&code)) return false;
        if (code >= 0xDC00 && code <= 0xDFFF) return Fail(kMalformed);
        if (code >= 0xD800 && code <= 0xDBFF) {
          unsigned low = 0;
          if (at_ + 2 > text.size() || text[at_] != '\\' || text[at_ + 1] != 'u') return Fail(kMalformed);
          at_ += 2;
          if (!Hex4(&low)) return false;
          if (low < 0xDC00 || low > 0xDFFF) return Fail(kMalformed);
          code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        AppendUtf8(code, out);
        break;
      }
      default:
        return Fail(kMalformed);
    }
  }
  return Fail(kMalformed);
}

bool JsonReader::Number(JsonValue* out) {
  const std::string& text = *text_;
  const size_t start = at_;
  bool whole = true;
  if (at_ < text.size() && text[at_] == '-') ++at_;
  if (at_ >= text.size() || !IsDigit(text[at_])) return Fail(kMalformed);
  if (text[at_] == '0') {
    ++at_;
  } else {
    while (at_ < text.size() && IsDigit(text[at_])) ++at_;
  }
  if (at_ < text.size() && text[at_] == '.') {
    whole = false;
    ++at_;
    if (at_ >= text.size() || !IsDigit(text[at_])) return Fail(kMalformed);
    while (at_ < text.size() && IsDigit(text[at_])) ++at_;
  }
  if (at_ < text.size() && (text[at_] == 'e' || text[at_] == 'E')) {
    whole = false;
    ++at_;
    if (at_ < text.size() && (text[at_] == '+' || text[at_] == '-')) ++at_;
    if (at_ >= text.size() || !IsDigit(text[at_])) return Fail(kMalformed);
    while (at_ < text.size() && IsDigit(text[at_])) ++at_;
  }
  // The grammar above has checked every character strtod will read.
  const std::string digits = text.substr(start, at_ - start);
  *out = JsonValue::Number(std::strtod(digits.c_str(), nullptr), whole);
  return true;
}

}  // namespace orla

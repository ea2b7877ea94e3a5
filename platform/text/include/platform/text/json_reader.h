#pragma once
// JsonReader: a strict reader of one JSON text (RFC 8259) from outside the
// program (an API request body, an API answer a tool reads), bounded
// before it builds anything large: at most `maxDepth` arrays and objects
// inside one another and at most `maxValues` values in all. It accepts
// exactly one value with white space around it; no comments, no trailing
// commas, no duplicate member names, no lone surrogates, no bytes that are
// not UTF-8, no control characters in strings, numbers only in JSON's own
// form.
//
// A failure says what is wrong and, when it happened inside a member of
// the outermost object, that member's name (`field`), so that an answer
// can name the field a caller must fix.
#include <cstddef>
#include <optional>
#include <string>

#include "platform/text/json_value.h"

namespace orla {

class JsonReader {
 public:
  struct Limits {
    size_t maxDepth = 8;
    size_t maxValues = 256;
  };
  struct Failure {
    std::string text;
    std::string field;  // empty when outside any member of the outermost object
  };

  explicit JsonReader(Limits limits) : limits_(limits) {}

  // The value, or none with *failure set.
  std::optional<JsonValue> Read(const std::string& text, Failure* failure);

  static constexpr const char* kMalformed = "The request body is not well-formed JSON.";
  static constexpr const char* kTooDeep = "The request body nests arrays and objects too deeply.";
  static constexpr const char* kTooMany = "The request body holds too many values.";
  static constexpr const char* kDuplicate = "A field is named twice.";

 private:
  // Each returns false with failure_ set.
  bool Value(JsonValue* out, size_t depth);
  bool Object(JsonValue* out, size_t depth);
  bool Array(JsonValue* out, size_t depth);
  bool String(std::string* out);
  bool Number(JsonValue* out);
  bool Literal(const char* word);
  bool Hex4(unsigned* out);
  void SkipSpace();
  bool Fail(const char* text);

  Limits limits_;
  const std::string* text_ = nullptr;
  size_t at_ = 0;
  size_t values_ = 0;
  std::string field_;
  Failure failure_;
};

}  // namespace orla

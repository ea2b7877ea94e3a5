#pragma once
// JsonValue: one value of a JSON document as JsonReader reads it: null, a
// boolean, a number (kept as a double, with whether its text was a whole
// number), a string (UTF-8), an array, or an object whose members keep
// their order. A value owns its items.
#include <string>
#include <utility>
#include <vector>

namespace orla {

class JsonValue {
 public:
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
  using Member = std::pair<std::string, JsonValue>;

  JsonValue() = default;
  static JsonValue Bool(bool value);
  static JsonValue Number(double value, bool whole);
  static JsonValue String(std::string value);
  static JsonValue Array(std::vector<JsonValue> items);
  static JsonValue Object(std::vector<Member> members);

  Kind GetKind() const { return kind_; }
  bool IsString() const { return kind_ == Kind::kString; }
  bool IsObject() const { return kind_ == Kind::kObject; }
  bool BoolValue() const { return bool_; }
  double NumberValue() const { return number_; }
  bool IsWholeNumber() const { return kind_ == Kind::kNumber && whole_; }
  const std::string& StringValue() const { return string_; }
  const std::vector<JsonValue>& Items() const { return items_; }
  const std::vector<Member>& Members() const { return members_; }
  // The member named `name` of an object, or null (also for a non-object).
  const JsonValue* Find(const std::string& name) const;

 private:
  Kind kind_ = Kind::kNull;
  bool bool_ = false;
  bool whole_ = false;
  double number_ = 0;
  std::string string_;
  std::vector<JsonValue> items_;
  std::vector<Member> members_;
};

}  // namespace orla

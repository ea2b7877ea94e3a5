#include "platform/text/json_value.h"

namespace orla {

JsonValue JsonValue::Bool(bool value) {
  JsonValue made;
  made.kind_ = Kind::kBool;
  made.bool_ = value;
  return made;
}

JsonValue JsonValue::Number(double value, bool whole) {
  JsonValue made;
  made.kind_ = Kind::kNumber;
  made.number_ = value;
  made.whole_ = whole;
  return made;
}

JsonValue JsonValue::String(std::string value) {
  JsonValue made;
  made.kind_ = Kind::kString;
  made.string_ = std::move(value);
  return made;
}

JsonValue JsonValue::Array(std::vector<JsonValue> items) {
  JsonValue made;
  made.kind_ = Kind::kArray;
  made.items_ = std::move(items);
  return made;
}

JsonValue JsonValue::Object(std::vector<Member> members) {
  JsonValue made;
  made.kind_ = Kind::kObject;
  made.members_ = std::move(members);
  return made;
}

const JsonValue* JsonValue::Find(const std::string& name) const {
  for (const Member& member : members_) {
    if (member.first == name) return &member.second;
  }
  return nullptr;
}

}  // namespace orla

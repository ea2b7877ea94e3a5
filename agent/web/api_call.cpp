#include "api_call.h"

#include <cmath>

namespace orla {

namespace {

bool IsInteger(const JsonValue& value) {
  return value.IsWholeNumber() && std::fabs(value.NumberValue()) <= static_cast<double>(ApiCall::kMaxInteger);
}

// The text of a member of the wrong type; null when `value` is of `type`.
const char* Misfit(const JsonValue& value, ApiCall::Type type) {
  switch (type) {
    case ApiCall::Type::kString: return value.IsString() ? nullptr : ApiCall::kNotAString;
    case ApiCall::Type::kInteger: return IsInteger(value) ? nullptr : ApiCall::kNotAnInteger;
    case ApiCall::Type::kBoolean:
      return value.GetKind() == JsonValue::Kind::kBool ? nullptr : ApiCall::kNotABoolean;
    case ApiCall::Type::kStrings:
      if (value.GetKind() != JsonValue::Kind::kArray) return ApiCall::kNotStrings;
      for (const JsonValue& item : value.Items()) {
        if (!item.IsString()) return ApiCall::kNotStrings;
      }
      return value.Items().size() > ApiCall::kMaxItems ? ApiCall::kTooManyItems : nullptr;
    case ApiCall::Type::kObjects:
      if (value.GetKind() != JsonValue::Kind::kArray) return ApiCall::kNotObjects;
      for (const JsonValue& item : value.Items()) {
        if (!item.IsObject()) return ApiCall::kNotObjects;
      }
      return nullptr;
  }
  return ApiCall::kUnknownField;
}

}  // namespace

std::optional<ApiReply> ApiCall::OnlyStringFields(std::initializer_list<const char*> fields) const {
  if (body == nullptr || !body->IsObject()) return ApiReply::Error(400, kNotAnObject);
  for (const JsonValue::Member& member : body->Members()) {
    bool known = false;
    for (const char* field : fields) known = known || member.first == field;
    if (!known) return ApiReply::Error(400, kUnknownField, member.first);
    if (!member.second.IsString()) return ApiReply::Error(400, kNotAString, member.first);
  }
  return std::nullopt;
}

std::optional<ApiReply> ApiCall::OnlyFields(std::initializer_list<FieldSpec> fields) const {
  if (body == nullptr || !body->IsObject()) return ApiReply::Error(400, kNotAnObject);
  for (const JsonValue::Member& member : body->Members()) {
    const FieldSpec* spec = nullptr;
    for (const FieldSpec& field : fields) {
      if (member.first == field.name) spec = &field;
    }
    if (spec == nullptr) return ApiReply::Error(400, kUnknownField, member.first);
    if (const char* misfit = Misfit(member.second, spec->type)) return ApiReply::Error(400, misfit, member.first);
  }
  return std::nullopt;
}

std::optional<std::string> ApiCall::Field(const char* field) const {
  const JsonValue* value = body != nullptr ? body->Find(field) : nullptr;
  if (value == nullptr || !value->IsString()) return std::nullopt;
  return value->StringValue();
}

std::optional<long long> ApiCall::Integer(const char* field) const {
  const JsonValue* value = body != nullptr ? body->Find(field) : nullptr;
  if (value == nullptr || !IsInteger(*value)) return std::nullopt;
  return static_cast<long long>(value->NumberValue());
}

std::optional<bool> ApiCall::Boolean(const char* field) const {
  const JsonValue* value = body != nullptr ? body->Find(field) : nullptr;
  if (value == nullptr || value->GetKind() != JsonValue::Kind::kBool) return std::nullopt;
  return value->BoolValue();
}

std::optional<std::vector<std::string>> ApiCall::Strings(const char* field) const {
  const JsonValue* value = body != nullptr ? body->Find(field) : nullptr;
  if (value == nullptr || Misfit(*value, Type::kStrings) != nullptr) return std::nullopt;
  std::vector<std::string> items;
  for (const JsonValue& item : value->Items()) items.push_back(item.StringValue());
  return items;
}

std::optional<std::vector<const JsonValue*>> ApiCall::Objects(const char* field) const {
  const JsonValue* value = body != nullptr ? body->Find(field) : nullptr;
  if (value == nullptr || Misfit(*value, Type::kObjects) != nullptr) return std::nullopt;
  std::vector<const JsonValue*> items;
  for (const JsonValue& item : value->Items()) items.push_back(&item);
  return items;
}

std::optional<std::string> ApiCall::QueryField(const char* field) const {
  if (!queryField) return std::nullopt;
  return queryField(field);
}

}  // namespace orla

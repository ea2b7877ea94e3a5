#include "api_call.h"

namespace orla {

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

std::optional<std::string> ApiCall::Field(const char* field) const {
  const JsonValue* value = body != nullptr ? body->Find(field) : nullptr;
  if (value == nullptr || !value->IsString()) return std::nullopt;
  return value->StringValue();
}

}  // namespace orla

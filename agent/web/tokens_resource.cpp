#include "tokens_resource.h"

#include <cmath>
#include <optional>
#include <string>

#include "agent_objects.h"
#include "elements_resource.h"
#include "platform/zepa/user_tokens.h"
#include "text_escape.h"

namespace orla {

namespace {

std::string TokenJson(const UserTokens::Listed& token, const std::string& secret = std::string()) {
  std::string json = "{\"id\":\"" + TextEscape::Json(token.id) + "\",\"user\":\"" + TextEscape::Json(token.user) +
                     "\",\"name\":\"" + TextEscape::Json(token.name) + "\",\"created\":\"" +
                     UserTokens::UtcText(token.created) + "\",\"expires\":";
  json += token.expires != 0 ? "\"" + UserTokens::UtcText(token.expires) + "\"" : std::string("null");
  if (!secret.empty()) json += ",\"secret\":\"" + TextEscape::Json(secret) + "\"";
  return json + "}";
}

ApiReply Refused(const UserTokens::Refusal& refusal) {
  switch (refusal.fault) {
    case UserTokens::Fault::kUser: return ApiReply::Error(400, refusal.text, "user");
    case UserTokens::Fault::kName: return ApiReply::Error(400, refusal.text, "name");
    case UserTokens::Fault::kExpires: return ApiReply::Error(400, refusal.text, "expiresDays");
    case UserTokens::Fault::kDuplicate: return ApiReply::Error(409, refusal.text, "name");
    case UserTokens::Fault::kNoSuchToken: return ApiReply::Error(404, refusal.text);
    default: return ApiReply::Error(500, refusal.text);
  }
}

}  // namespace

ApiReply TokensResource::List(const ApiCall&) {
  const std::string directory = AgentObjects::WebDataDirectory();
  if (directory.empty()) return ApiReply::Error(500, kNoDataDirectory);
  std::string rows;
  for (const UserTokens::Listed& token : UserTokens(directory).List()) {
    if (!rows.empty()) rows += ',';
    rows += TokenJson(token);
  }
  return ApiReply::Json(200, "{\"tokens\":[" + rows + "]}");
}

ApiReply TokensResource::Add(const ApiCall& call) {
  if (call.body == nullptr || !call.body->IsObject()) return ApiReply::Error(400, ApiCall::kNotAnObject);
  std::optional<int64_t> days;
  for (const JsonValue::Member& member : call.body->Members()) {
    if (member.first == "expiresDays") {
      // A whole number, else a number Add refuses with its own text.
      const JsonValue& value = member.second;
      days = value.IsWholeNumber() && std::fabs(value.NumberValue()) < 1e12
                 ? static_cast<int64_t>(value.NumberValue())
                 : int64_t{-1};
    } else if (member.first != "user" && member.first != "name") {
      return ApiReply::Error(400, ApiCall::kUnknownField, member.first);
    } else if (!member.second.IsString()) {
      return ApiReply::Error(400, ApiCall::kNotAString, member.first);
    }
  }
  const std::optional<std::string> user = call.Field("user");
  const std::optional<std::string> name = call.Field("name");
  if (!user) return ApiReply::Error(400, ElementsResource::kMissingField, "user");
  if (!name) return ApiReply::Error(400, ElementsResource::kMissingField, "name");
  const std::string directory = AgentObjects::WebDataDirectory();
  if (directory.empty()) return ApiReply::Error(500, kNoDataDirectory);
  std::string secret;
  UserTokens::Listed made;
  UserTokens::Refusal refusal;
  if (!UserTokens(directory).Add(*user, *name, days, &secret, &made, &refusal)) return Refused(refusal);
  call.recordChange(UserTokens::MadeText(made.user, made.name), std::string(), std::string());
  return ApiReply::Json(201, TokenJson(made, secret));
}

ApiReply TokensResource::Revoke(const ApiCall& call) {
  const std::string directory = AgentObjects::WebDataDirectory();
  if (directory.empty()) return ApiReply::Error(500, kNoDataDirectory);
  UserTokens::Listed revoked;
  UserTokens::Refusal refusal;
  if (!UserTokens(directory).RevokeId(call.name, &revoked, &refusal)) return Refused(refusal);
  call.recordChange(UserTokens::RevokedText(revoked.user, revoked.name), std::string(), std::string());
  return ApiReply::Json(200, "{\"revoked\":" + TokenJson(revoked) + "}");
}

}  // namespace orla

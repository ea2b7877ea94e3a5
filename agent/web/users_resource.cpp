#include "users_resource.h"

#include <optional>
#include <string>
#include <vector>

#include "elements_resource.h"
#include "library_users.h"
#include "text_escape.h"

namespace orla {

namespace {

std::string UserJson(const std::string& name, const std::string& level) {
  return "{\"name\":\"" + TextEscape::Json(name) + "\",\"level\":\"" + TextEscape::Json(level) + "\"}";
}

// The library's refusal as the API's error (its own trouble as 500).
ApiReply Refusal(const LibraryUsers::Result& result) {
  const int status = result.status >= 400 && result.status < 500 ? result.status : 500;
  return ApiReply::Error(status, result.text, result.field);
}

// The user's level as the library lists it now; empty when there is none.
std::string LevelOf(const LibraryUsers& users, const std::string& name) {
  std::vector<LibraryUsers::User> list;
  users.List(&list);
  for (const LibraryUsers::User& user : list) {
    if (user.name == name) return user.level;
  }
  return std::string();
}

}  // namespace

ApiReply UsersResource::List(const ApiCall& call) {
  std::vector<LibraryUsers::User> list;
  const LibraryUsers::Result result = LibraryUsers(call.request).List(&list);
  if (!result.Ok()) return Refusal(result);
  std::string rows;
  for (const LibraryUsers::User& user : list) {
    if (!rows.empty()) rows += ',';
    rows += UserJson(user.name, user.level);
  }
  return ApiReply::Json(200, "{\"users\":[" + rows + "]}");
}

ApiReply UsersResource::Add(const ApiCall& call) {
  if (std::optional<ApiReply> bad = call.OnlyStringFields({"name", "password", "level"})) return *bad;
  const std::optional<std::string> name = call.Field("name");
  const std::optional<std::string> password = call.Field("password");
  const std::optional<std::string> level = call.Field("level");
  if (!name) return ApiReply::Error(400, ElementsResource::kMissingField, "name");
  if (!password) return ApiReply::Error(400, ElementsResource::kMissingField, "password");
  if (!level) return ApiReply::Error(400, ElementsResource::kMissingField, "level");
  const LibraryUsers users(call.request);
  const LibraryUsers::Result result = users.Add(*name, *password, *level);
  if (!result.Ok()) return Refusal(result);
  call.recordChange(result.What() + " (" + *level + ")", "", "");
  return ApiReply::Json(201, UserJson(*name, *level));
}

ApiReply UsersResource::Change(const ApiCall& call) {
  if (std::optional<ApiReply> bad = call.OnlyStringFields({"level", "password"})) return *bad;
  const std::optional<std::string> level = call.Field("level");
  const std::optional<std::string> password = call.Field("password");
  if (!level && !password) return ApiReply::Error(400, kNothingToChange);
  const LibraryUsers users(call.request);
  const std::string before = LevelOf(users, call.name);
  if (level) {
    const LibraryUsers::Result result = users.SetLevel(call.name, *level);
    if (!result.Ok()) return Refusal(result);
    if (password) {
      const LibraryUsers::Result set = users.SetPassword(call.name, *password);
      if (!set.Ok()) {
        // Nothing changes when part of the request is refused.
        if (!before.empty() && before != *level) users.SetLevel(call.name, before);
        return Refusal(set);
      }
      call.recordChange(set.What(), "", "");
    }
    call.recordChange(result.What(), "", "");
  } else {
    const LibraryUsers::Result set = users.SetPassword(call.name, *password);
    if (!set.Ok()) return Refusal(set);
    call.recordChange(set.What(), "", "");
  }
  return ApiReply::Json(200, UserJson(call.name, LevelOf(users, call.name)));
}

ApiReply UsersResource::Remove(const ApiCall& call) {
  const LibraryUsers::Result result = LibraryUsers(call.request).Remove(call.name);
  if (!result.Ok()) return Refusal(result);
  call.recordChange(result.What(), "", "");
  return ApiReply::Json(200, "{\"removed\":\"" + TextEscape::Json(call.name) + "\"}");
}

ApiReply UsersResource::EndSessions(const ApiCall& call) {
  const LibraryUsers::Result result = LibraryUsers(call.request).EndSessions(call.name);
  if (!result.Ok()) return Refusal(result);
  call.recordChange(result.What(), "", "");
  return ApiReply::Json(200, "{\"name\":\"" + TextEscape::Json(call.name) + "\",\"ended\":" +
                                 std::to_string(result.count) + "}");
}

}  // namespace orla

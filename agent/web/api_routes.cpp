#include "api_routes.h"

#include <cstring>
#include <iterator>

#include "agent_resource.h"
#include "alarms_resource.h"
#include "element_transfer_resource.h"
#include "elements_resource.h"
#include "open_api_resource.h"
#include "tokens_resource.h"
#include "users_resource.h"

namespace orla {

namespace {

using Need = ApiRoutes::Need;

const ApiRoutes::Route kRoutes[] = {
    {"GET", "elements", "listElements", Need::kRead, false, &ElementsResource::List},
    {"POST", "elements", "addElement", Need::kAdminister, true, &ElementsResource::Add},
    {"GET", "elements/{name}", "getElement", Need::kRead, false, &ElementsResource::Get},
    {"PATCH", "elements/{name}", "renameElement", Need::kAdminister, true, &ElementsResource::Rename},
    {"DELETE", "elements/{name}", "removeElement", Need::kAdminister, false, &ElementsResource::Remove},
    {"POST", "import", "importElements", Need::kAdminister, true, &ElementTransferResource::Import, true},
    {"GET", "export", "exportElements", Need::kRead, false, &ElementTransferResource::Export},
    {"GET", "agent", "getAgent", Need::kRead, false, &AgentResource::Get},
    // The alarms.
    {"GET", "alarms", "listAlarms", Need::kRead, false, &AlarmsResource::List},
    {"GET", "alarms/{name}", "getAlarm", Need::kRead, false, &AlarmsResource::Get},
    {"PATCH", "alarms/{name}", "updateAlarm", Need::kOperate, true, &AlarmsResource::Update},
    {"GET", "openapi.json", "getOpenApiDocument", Need::kRead, false, &OpenApiResource::Get},
    // The users' tokens.
    {"GET", "tokens", "listTokens", Need::kAdminister, false, &TokensResource::List},
    {"POST", "tokens", "addToken", Need::kAdminister, true, &TokensResource::Add},
    {"DELETE", "tokens/{name}", "revokeToken", Need::kAdminister, false, &TokensResource::Revoke},
    // The web server's users (administrators only, reading too).
    {"GET", "users", "listUsers", Need::kAdminister, false, &UsersResource::List},
    {"POST", "users", "addUser", Need::kAdminister, true, &UsersResource::Add},
    {"PATCH", "users/{name}", "changeUser", Need::kAdminister, true, &UsersResource::Change},
    {"DELETE", "users/{name}", "removeUser", Need::kAdminister, false, &UsersResource::Remove},
    {"DELETE", "users/{name}/sessions", "endUserSessions", Need::kAdminister, false, &UsersResource::EndSessions},
};

constexpr char kNameSegment[] = "{name}";

}  // namespace

const ApiRoutes::Route* ApiRoutes::Rows() { return kRoutes; }

size_t ApiRoutes::RowCount() { return std::size(kRoutes); }

bool ApiRoutes::PathFits(const char* pattern, const std::string& path, std::string* name) {
  const char* segment = std::strstr(pattern, kNameSegment);
  if (segment == nullptr) return path == pattern;
  // "{name}" is one whole segment, followed by nothing or by fixed ones
  // ("users/{name}/sessions").
  const size_t before = static_cast<size_t>(segment - pattern);
  const std::string after = segment + std::strlen(kNameSegment);
  if (path.size() <= before + after.size() || path.compare(0, before, pattern, before) != 0) return false;
  if (path.compare(path.size() - after.size(), after.size(), after) != 0) return false;
  const std::string rest = path.substr(before, path.size() - before - after.size());
  if (rest.find('/') != std::string::npos) return false;
  if (name != nullptr) *name = rest;
  return true;
}

const ApiRoutes::Route* ApiRoutes::Find(const std::string& method, const std::string& path, std::string* name,
                                        bool* pathKnown, std::string* allow) {
  *pathKnown = false;
  allow->clear();
  const Route* found = nullptr;
  for (const Route& route : kRoutes) {
    std::string segment;
    if (!PathFits(route.path, path, &segment)) continue;
    *pathKnown = true;
    if (!allow->empty()) *allow += ", ";
    *allow += route.method;
    if (found == nullptr && method == route.method) {
      found = &route;
      *name = segment;
    }
  }
  return found;
}

}  // namespace orla

#include "api_routes.h"

#include <cstring>
#include <iterator>

#include "agent_resource.h"
#include "alarms_resource.h"
#include "element_transfer_resource.h"
#include "elements_resource.h"
#include "open_api_resource.h"
#include "tokens_resource.h"

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
};

constexpr char kNameSegment[] = "{name}";

}  // namespace

const ApiRoutes::Route* ApiRoutes::Rows() { return kRoutes; }

size_t ApiRoutes::RowCount() { return std::size(kRoutes); }

bool ApiRoutes::PathFits(const char* pattern, const std::string& path, std::string* name) {
  const char* segment = std::strstr(pattern, kNameSegment);
  if (segment == nullptr) return path == pattern;
  // "{name}" ends the patterns that have one.
  const size_t before = static_cast<size_t>(segment - pattern);
  if (path.size() <= before || path.compare(0, before, pattern, before) != 0) return false;
  const std::string rest = path.substr(before);
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

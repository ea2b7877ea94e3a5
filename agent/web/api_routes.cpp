#include "api_routes.h"

#include <cstring>
#include <iterator>

#include "agent_resource.h"
#include "alarms_resource.h"
#include "config_resource.h"
#include "discovery_resource.h"
#include "element_transfer_resource.h"
#include "elements_resource.h"
#include "events_resource.h"
#include "maintenance_resource.h"
#include "history_resource.h"
#include "open_api_resource.h"
#include "snmp_v3_assignments_resource.h"
#include "snmp_v3_profiles_resource.h"
#include "snmp_v3_resource.h"
#include "targets_resource.h"
#include "tokens_resource.h"
#include "users_resource.h"

namespace orla {

namespace {

using Need = ApiRoutes::Need;

const ApiRoutes::Route kRoutes[] = {
    {"GET", "elements", "listElements", Need::kRead, false, &ElementsResource::List},
    {"POST", "elements", "addElement", Need::kAdminister, true, &ElementsResource::Add},
    {"GET", "elements/{name}", "getElement", Need::kRead, false, &ElementsResource::Get},
    {"GET", "elements/{name}/history", "getElementHistory", Need::kRead, false, &HistoryResource::Get},
    {"PATCH", "elements/{name}", "renameElement", Need::kAdminister, true, &ElementsResource::Rename},
    {"DELETE", "elements/{name}", "removeElement", Need::kAdminister, false, &ElementsResource::Remove},
    {"POST", "import", "importElements", Need::kAdminister, true, &ElementTransferResource::Import, true},
    {"GET", "export", "exportElements", Need::kRead, false, &ElementTransferResource::Export},
    {"GET", "agent", "getAgent", Need::kRead, false, &AgentResource::Get},
    {"POST", "discovery", "startDiscovery", Need::kAdminister, true, &DiscoveryResource::Start},
    {"GET", "discovery/{name}", "getDiscovery", Need::kAdminister, false, &DiscoveryResource::Get},
    {"DELETE", "discovery/{name}", "cancelDiscovery", Need::kAdminister, false, &DiscoveryResource::Cancel},
    {"POST", "discovery/{name}/adopt", "adoptDiscovered", Need::kAdminister, true, &DiscoveryResource::Adopt},
    // The alarms.
    {"GET", "alarms", "listAlarms", Need::kRead, false, &AlarmsResource::List},
    {"GET", "alarms/{name}", "getAlarm", Need::kRead, false, &AlarmsResource::Get},
    {"PATCH", "alarms/{name}", "updateAlarm", Need::kOperate, true, &AlarmsResource::Update},
    // The maintenance windows.
    {"GET", "maintenance", "listMaintenanceWindows", Need::kRead, false, &MaintenanceResource::List},
    {"POST", "maintenance", "setMaintenanceWindows", Need::kOperate, true, &MaintenanceResource::Create},
    {"DELETE", "maintenance/{name}", "endMaintenanceWindow", Need::kOperate, false, &MaintenanceResource::End},
    // The events, the agent's configuration, its notification targets and SNMPv3 credentials.
    {"GET", "events", "listEvents", Need::kRead, false, &EventsResource::List},
    {"GET", "config", "getConfig", Need::kRead, false, &ConfigResource::Get},
    {"PATCH", "config", "changeConfig", Need::kAdminister, true, &ConfigResource::Change},
    {"GET", "targets", "listTargets", Need::kAdminister, false, &TargetsResource::List},
    {"POST", "targets", "setTarget", Need::kAdminister, true, &TargetsResource::Add},
    {"DELETE", "targets/{name}", "removeTarget", Need::kAdminister, false, &TargetsResource::Remove},
    {"GET", "snmpv3", "getSnmpV3", Need::kRead, false, &SnmpV3Resource::Get},
    {"PATCH", "snmpv3", "changeSnmpV3", Need::kAdminister, true, &SnmpV3Resource::Change},
    {"GET", "snmpv3/profiles", "listSnmpV3Profiles", Need::kAdminister, false, &SnmpV3ProfilesResource::List},
    {"POST", "snmpv3/profiles", "addSnmpV3Profile", Need::kAdminister, true, &SnmpV3ProfilesResource::Add},
    {"DELETE", "snmpv3/profiles/{name}", "removeSnmpV3Profile", Need::kAdminister, false,
     &SnmpV3ProfilesResource::Remove},
    {"GET", "snmpv3/assignments", "listSnmpV3Assignments", Need::kAdminister, false,
     &SnmpV3AssignmentsResource::List},
    {"PUT", "snmpv3/assignments/{target}", "assignSnmpV3Profile", Need::kAdminister, true,
     &SnmpV3AssignmentsResource::Assign},
    {"DELETE", "snmpv3/assignments/{target}", "unassignSnmpV3Profile", Need::kAdminister, false,
     &SnmpV3AssignmentsResource::Unassign},
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
// An assignment's target may be a range, ADDRESS/BITS: its segment takes
// the rest of the path, slashes included.
constexpr char kTargetSegment[] = "{target}";

}  // namespace

const ApiRoutes::Route* ApiRoutes::Rows() { return kRoutes; }

size_t ApiRoutes::RowCount() { return std::size(kRoutes); }

bool ApiRoutes::PathFits(const char* pattern, const std::string& path, std::string* name) {
  const char* segment = std::strstr(pattern, kNameSegment);
  const bool rest = segment == nullptr && (segment = std::strstr(pattern, kTargetSegment)) != nullptr;
  if (segment == nullptr) return path == pattern;
  // "{name}" is one whole segment, followed by nothing or by fixed ones
  // ("users/{name}/sessions"); "{target}" ends its pattern and takes the
  // rest of the path, slashes included.
  const size_t before = static_cast<size_t>(segment - pattern);
  const std::string after = segment + std::strlen(rest ? kTargetSegment : kNameSegment);
  if (path.size() <= before + after.size() || path.compare(0, before, pattern, before) != 0) return false;
  if (path.compare(path.size() - after.size(), after.size(), after) != 0) return false;
  const std::string tail = path.substr(before, path.size() - before - after.size());
  if (!rest && tail.find('/') != std::string::npos) return false;
  if (name != nullptr) *name = tail;
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

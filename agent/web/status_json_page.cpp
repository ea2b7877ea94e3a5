#include "status_json_page.h"

#include "agent/devices/element_registry.h"
#include "agent/snmp/snmp_v3_engine_table.h"
#include "platform/sync/clock.h"
#include "platform/text/string_printf.h"
#include "agent_objects.h"
#include "element_counts.h"
#include "text_escape.h"

namespace orla {

namespace {

// ',"snmpv3":{...}' for an element asked over SNMPv3: the user, the
// device's engine ID (hex), boots and time as of its latest authenticated
// answer, and the latest security failure; "" for the others.
std::string SnmpV3Fields(const std::string& address) {
  SnmpV3EngineTable::Entry engine;
  if (!SnmpV3EngineTable::Instance().Find(address, &engine)) return "";
  std::string fields = ",\"snmpv3\":{\"user\":\"" + TextEscape::Json(engine.user) + "\",\"engineId\":";
  fields += engine.engineId.empty() ? std::string("null") : "\"" + engine.EngineIdHex() + "\"";
  fields += engine.timeKnown ? StringPrintf(",\"engineBoots\":%u,\"engineTime\":%u", engine.boots, engine.time)
                             : std::string(",\"engineBoots\":null,\"engineTime\":null");
  fields += ",\"failure\":";
  fields += engine.failure.empty() ? std::string("null") : "\"" + TextEscape::Json(engine.failure) + "\"";
  return fields + "}";
}

}  // namespace

std::string StatusJsonPage::Render(const std::vector<ElementView>& elements, int64_t nowMs,
                                   uint32_t rights) {
  std::string rows;
  rows.reserve(elements.size() * 120);
  for (const ElementView& e : elements) {
    if (!rows.empty()) rows += ',';
    rows += "{\"name\":\"" + TextEscape::Json(e.record.name) + "\",\"address\":\"" + TextEscape::Json(e.record.address) + "\"";
    rows += StringPrintf(",\"status\":%d,", e.status.status);
    if (e.status.stale) rows += "\"stale\":true,";
    rows += "\"reason\":\"" + TextEscape::Json(e.status.reason);
    rows += StringPrintf("\",\"statusSince\":%lld,\"lastAnswered\":", static_cast<long long>(e.status.statusSinceMs));
    rows += e.status.lastAnsweredMs > 0 ? std::to_string(e.status.lastAnsweredMs) : std::string("null");
    rows += SnmpV3Fields(e.record.address);
    rows += '}';
  }
  const std::string level = LevelName(rights);
  return StringPrintf("{\"now\":%lld,\"administrator\":%s,\"level\":\"%s\",\"counts\":",
                      static_cast<long long>(nowMs), level == "administrator" ? "true" : "false", level.c_str()) +
         ElementCounts::Of(elements).Json() + ",\"elements\":[" +
         rows + "]}";
}

uint32_t StatusJsonPage::HandleGet() {
  if (!HasSession()) return kLeaveToLibrary;
  ElementRegistry* registry = AgentObjects::FindRegistry();
  const std::vector<ElementView> elements = registry != nullptr ? registry->Snapshot()->Read() : std::vector<ElementView>();
  Append(Render(elements, Clock::System()->WallMilliseconds(), QueryRights(Request())));
  return SendContent("application/json; charset=utf-8");
}

}  // namespace orla

#include "engine_json_page.h"

#include "agent/snmp/local_engine.h"
#include "platform/snmpmgr/snmp_local_engine.h"

namespace orla {

std::string EngineJsonPage::Render() {
  LocalEngine engine;
  engine.id = SnmpMgrLocalEngineId();
  engine.boots = SnmpMgrLocalEngineBoots();
  return "{\"engineID\":\"" + engine.HexId() + "\",\"engineBoots\":" + std::to_string(engine.boots) + "}";
}

uint32_t EngineJsonPage::HandleGet() {
  if (!HasSession()) return kLeaveToLibrary;
  Append(Render());
  return SendContent("application/json; charset=utf-8");
}

}  // namespace orla

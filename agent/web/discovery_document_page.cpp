#include "discovery_document_page.h"

#include "agent/core/agent_host.h"
#include "agent/core/agent_settings.h"
#include "agent/devices/element_registry.h"
#include "agent/traps/trap_sender.h"
#include "agent_objects.h"
#include "text_escape.h"
#include "platform/sysinfo/system_info.h"

namespace orla {

const char* DiscoveryDocumentPage::StatusElement(char overallStatus) {
  switch (overallStatus) {
    case '0': return "<object_status>good</object_status>\n";
    case '1': return "<object_status>minor</object_status>\n";
    case '2': return "<object_status>critical</object_status>\n";
    default: return "<object_status>unknown</object_status>\n";
  }
}

std::string DiscoveryDocumentPage::HostName() { return SystemInfo::ComputerName(); }

uint32_t DiscoveryDocumentPage::HandlePost() { return HandleGet(); }

uint32_t DiscoveryDocumentPage::HandleGet() {
  std::string host = HostName();
  // Without a name the host is named by its address, in the task page URL too.
  if (host.empty()) host = AgentHost::Address();
  const std::string hostText = TextEscape::Xml(host);
  const std::string osName = TextEscape::Xml(TrapSender::AgentOsName());
  const std::string osVersion = TextEscape::Xml(TrapSender::AgentOsVersion());
  ElementRegistry* registry = AgentObjects::FindRegistry();
  const char overall = registry != nullptr ? registry->OverallStatus() : '?';

  ClearOutput();
  Append("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n");
  Append("<!DOCTYPE TrvVmStructuredInfo>\n");
  Append("<Structured_info_page version=\"1.0\">\n");
  Append("<zepa_data>\n");
  AppendFormat("<zepa_host_name>%s</zepa_host_name>\n", hostText.c_str());
  Append("<zepa_name>Tape Controller Management</zepa_name>\n");
  Append("<zepa_description>ZEPA for management of Fibre Channel Tape Controllers</zepa_description>\n");
  Append("<zepa_version>V1.0</zepa_version>\n");
  AppendFormat("<zepa_os>%s</zepa_os>\n", osName.c_str());
  AppendFormat("<zepa_os_version>%s</zepa_os_version>\n", osVersion.c_str());
  Append("<zepa_supported>\n");
  Append("<hardware_type>\n");
  Append("<hardware_class>Tape Controller</hardware_class>\n");
  Append("<hardware_model>various</hardware_model>\n");
  Append("</hardware_type>\n");
  Append("</zepa_supported>\n");
  Append("</zepa_data>\n");
  Append("<managed_object>\n");
  Append("<object_name>Managed_Tape_Controllers</object_name>\n");
  Append("<object_ID>1</object_ID>\n");
  Append(StatusElement(overall));
  Append("<hardware_type>\n");
  Append("<hardware_class>Managed_Tape_Controllers</hardware_class>\n");
  Append("<hardware_model>various</hardware_model>\n");
  Append("</hardware_type>\n");
  Append("<task_page>\n");
  Append("<task_name>manage</task_name>\n");
  AppendFormat("<url>https://%s:%d/KOR/</url>\n", hostText.c_str(), AgentSettings::Current().HttpsPort());
  Append("</task_page>\n");
  Append("</managed_object>\n");
  Append("</Structured_info_page>\n");
  return SendPage();
}

}  // namespace orla

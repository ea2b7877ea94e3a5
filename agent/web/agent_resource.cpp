#include "agent_resource.h"

#include <vector>

#include "agent/core/agent_revision.h"
#include "agent/devices/element_registry.h"
#include "agent_objects.h"
#include "element_counts.h"
#include "platform/text/string_printf.h"
#include "text_escape.h"

namespace orla {

ApiReply AgentResource::Get(const ApiCall&) {
  ElementRegistry* registry = AgentObjects::FindRegistry();
  const std::vector<ElementView> elements = registry != nullptr ? registry->Snapshot()->Read() : std::vector<ElementView>();
  const int interval = registry != nullptr ? registry->PollingInterval() : 0;
  return ApiReply::Json(200, "{\"version\":\"" + TextEscape::Json(kAgentRevision) +
                                 StringPrintf("\",\"pollingInterval\":%d,\"elements\":%zu,\"counts\":", interval,
                                              elements.size()) +
                                 ElementCounts::Of(elements).Json() + "}");
}

}  // namespace orla

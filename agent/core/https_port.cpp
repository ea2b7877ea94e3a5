#include "agent/core/https_port.h"

#include "agent/core/agent_settings.h"

namespace orla {

int HttpsPort::Configured() { return AgentSettings::Current().HttpsPort(); }

}  // namespace orla

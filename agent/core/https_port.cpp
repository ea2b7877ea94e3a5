#include "agent/core/https_port.h"

#include "platform/text/port_setting.h"

namespace orla {

int HttpsPort::Configured() { return PortSetting::FromEnvironment("KORAGENT_HTTPS_PORT", kDefault); }

}  // namespace orla

#include "metrics_page.h"

#include <memory>
#include <string>
#include <vector>

#include "agent/devices/element_snapshot.h"
#include "agent/devices/element_registry.h"
#include "agent_objects.h"
#include "metrics_report.h"
#include "platform/metrics/metric_sheet.h"
#include "platform/text/string_printf.h"

namespace orla {

namespace {

// The AUTH_TYPE server variable: "Bearer" or "Basic" when the server
// accepted the request's credentials, else empty.
std::string AuthType(EXTENSION_CONTROL_BLOCK* request) {
  char buffer[16] = {};
  uint32_t size = sizeof buffer;
  if (request->GetServerVariable == nullptr ||
      !request->GetServerVariable(request->ConnID, "AUTH_TYPE", buffer, &size)) {
    return std::string();
  }
  return std::string(buffer);
}

}  // namespace

bool MetricsPage::MayRead(EXTENSION_CONTROL_BLOCK* request) {
  const std::string type = AuthType(request);
  if (type == "Bearer" || type == "Basic") {
    // The user of basic credentials or of a user token needs a right, as a
    // session's does; the metrics token stands for no user (the query
    // answers 0x80000000) and may read the metrics.
    uint32_t rights = 0;
    if (request->ServerSupportFunction(request->ConnID, REQ_QUERY_CREDENTIAL_RIGHTS, const_cast<char*>(kRightName),
                                       nullptr, &rights) == 0) {
      return false;
    }
    return type == "Bearer" && rights == ZEPA_RIGHTS_NO_SESSION ? true : WebPage::MayRead(rights);
  }
  return WebPage::MayRead(QueryRights(request));
}

uint32_t MetricsPage::HandleGet() {
  EXTENSION_CONTROL_BLOCK* request = Request();
  if (!MayRead(request)) {
    return Send("401 Unauthorized", "text/plain; charset=utf-8",
                "WWW-Authenticate: Bearer realm=\"KOR\"\r\nWWW-Authenticate: Basic realm=\"KOR\", charset=\"UTF-8\"\r\n",
                "The metrics need the agent's metrics token (Authorization: Bearer) or a user's name and password "
                "(basic authentication).\n");
  }
  ElementRegistry* registry = AgentObjects::FindRegistry();
  std::vector<ElementView> elements;
  char overall = '0';
  if (registry != nullptr) {
    // Neither waits for the registry lock (a status pass holds it).
    const std::shared_ptr<const ElementSnapshot> snapshot = registry->Snapshot();
    elements = snapshot->Read();
    overall = snapshot->OverallStatus();
  }
  ZEPA_SERVER_STATISTICS web{};
  web.cbSize = sizeof web;
  const uint32_t server = AgentObjects::WebServer();
  const bool haveWeb = server != 0 && ZEPAGetServerStatistics(server, &web) == 1;
  return Send("200 OK", MetricSheet::kContentType, "", MetricsReport::Render(registry != nullptr ? &elements : nullptr, overall, haveWeb ? &web : nullptr));
}

uint32_t MetricsPage::HandlePost() {
  return Send("405 Method Not Allowed", "text/plain; charset=utf-8", "Allow: GET\r\n",
              "The metrics are only read.\n");
}

uint32_t MetricsPage::Send(const char* status, const char* contentType, const char* extraHeaders,
                           const std::string& body) {
  EXTENSION_CONTROL_BLOCK* request = Request();
  const std::string header = StringPrintf("Content-type: %s\r\nContent-length: %zu\r\nCache-Control: no-store\r\n%s\r\n",
                                          contentType, body.size(), extraHeaders);
  uint32_t headerLength = static_cast<uint32_t>(header.size());
  request->ServerSupportFunction(request->ConnID, HSE_REQ_SEND_RESPONSE_HEADER, const_cast<char*>(status),
                                 &headerLength, reinterpret_cast<uint32_t*>(const_cast<char*>(header.c_str())));
  uint32_t bodyLength = static_cast<uint32_t>(body.size());
  request->WriteClient(request->ConnID, body.data(), &bodyLength, 0);
  return kAnswered;
}

}  // namespace orla

#include "web_agent_page.h"

#include <cstring>
#include <memory>
#include <mutex>

#include "agent/core/agent_settings.h"
#include "agent/core/orla_exception.h"
#include "agent/devices/element_registry.h"
#include "agent_objects.h"
#include "platform/text/string_printf.h"

namespace orla {

Lock WebAgentLock;

namespace {

constexpr char kUrlTooLong[] = "The device page address is too long to be forwarded to the device web agent.";
constexpr char kDataTooLong[] = "The form holds too much data to be forwarded to the device web agent.";
constexpr char kNotStarted[] = "The device web agent could not be reached.";

uint32_t LibraryServerHandle() { return AgentObjects::WebServer(); }

WebAgentPage::ClientCalls& CurrentCalls() {
  static WebAgentPage::ClientCalls calls = WebAgentPage::LibraryClientCalls();
  return calls;
}

// A header value: the text without control characters, which would end the
// line (CR, LF) or make it malformed; an absent value is empty.
std::string HeaderValue(const std::optional<std::string>& value) {
  std::string out;
  if (!value) return out;
  for (unsigned char c : *value) {
    if (c >= 0x20 && c != 0x7f) out += static_cast<char>(c);
  }
  return out;
}

std::optional<std::string> CommunityOf(const std::optional<std::string>& machine,
                                       std::optional<std::string> (ElementRegistry::*getter)(const std::string&) const) {
  ElementRegistry* registry = AgentObjects::FindRegistry();
  if (!machine || registry == nullptr) return std::nullopt;
  return (registry->*getter)(*machine);
}

}  // namespace

WebAgentPage::ClientCalls WebAgentPage::LibraryClientCalls() {
  return {&LibraryServerHandle,      &ZEPAClientGetUrl, &ZEPAClientPostUrlEx,     &ZEPAClientGetUserObject,
          &ZEPAClientState,          &ZEPAClientStatus, &ZEPAClientCacheFileName, &ZEPAClientSendBytes};
}

const WebAgentPage::ClientCalls& WebAgentPage::Calls() { return CurrentCalls(); }

void WebAgentPage::SetClientCalls(const ClientCalls* calls) {
  CurrentCalls() = calls != nullptr ? *calls : LibraryClientCalls();
}

WebAgentPage::WebAgentPage(EXTENSION_CONTROL_BLOCK* request) : WebPage(request) {}

WebAgentPage::~WebAgentPage() = default;

std::string WebAgentPage::DeviceWebAgentOrigin(const std::string& listenAddress, int port) {
  // A wildcard serves loopback too; a bound address must be called as such.
  if (listenAddress.empty() || listenAddress == "0.0.0.0" || listenAddress == "::" ||
      listenAddress == "[::]") {
    return StringPrintf("https://localhost:%d", port);
  }
  if (listenAddress.find(':') != std::string::npos && listenAddress.front() != '[') {
    return StringPrintf("https://[%s]:%d", listenAddress.c_str(), port);
  }
  return StringPrintf("https://%s:%d", listenAddress.c_str(), port);
}

bool WebAgentPage::BuildTargetUrl(const char* pathInfo, const std::string& origin, std::string* url) {
  if (pathInfo == nullptr || std::strlen(pathInfo) < kPrefixLength) return false;
  std::string rest = pathInfo + kPrefixLength;
  rest = rest.substr(0, rest.find('?'));
  // Tape libraries have a module of their own; every other page is the
  // Fibre Alliance module's, as it always was.
  const bool library = rest.compare(0, std::strlen(kLibraryPrefix), kLibraryPrefix) == 0;
  if (library) rest.erase(0, std::strlen(kLibraryPrefix));
  std::string encoded;
  for (unsigned char c : rest) {
    if (c <= 0x20 || c >= 0x7f || c == '%' || c == '#' || c == '"' || c == '<' || c == '>' || c == '\\') {
      encoded += StringPrintf("%%%02X", c);
    } else {
      encoded += static_cast<char>(c);
    }
  }
  *url = origin + (library ? "/weblibrary/" : "/webagent/Fibre/") + encoded;
  return true;
}

std::string WebAgentPage::HeaderLines() const {
  std::string lines;
  lines += StringPrintf("VESTRA_MACHINE: %s\r\n", HeaderValue(machine_).c_str());
  lines += StringPrintf("VESTRA_COMMUNITY: %s\r\n", HeaderValue(getCommunity_).c_str());
  lines += StringPrintf("VESTRA_SETCOMMUNITY: %s\r\n", HeaderValue(setCommunity_).c_str());
  lines += StringPrintf("VESTRA_DEVICE: %s\r\n", HeaderValue(device_).c_str());
  lines += "VESTRA_TIMEOUT: 2000\r\n";
  lines += "VESTRA_RETRIES: 3\r\n";
  lines += mayChange_ ? "VESTRA_MAYCHANGE: yes\r\n" : "VESTRA_MAYCHANGE: no\r\n";
  return lines;
}

uint32_t WebAgentPage::FailAndDestroy(const std::string& message) {
  uint32_t result = kAnswered;
  try {
    result = ShowError(message, nullptr, false);
  } catch (OrlaException*) {
    // The page goes all the same; the request procedure answers the error.
    delete this;
    throw;
  }
  delete this;
  return result;
}

uint32_t WebAgentPage::HandleGet() {
  machine_ = GetField("addr");
  device_ = GetField("device");
  mayChange_ = IsAdministrator();
  EXTENSION_CONTROL_BLOCK* request = Request();
  const AgentSettings& settings = AgentSettings::Current();
  if (!BuildTargetUrl(request->lpszPathInfo, DeviceWebAgentOrigin(settings.HttpsAddress(), settings.HttpsPort()),
                      &targetUrl_) ||
      targetUrl_.size() > kMaxTargetUrl) {
    return FailAndDestroy(kUrlTooLong);
  }
  const ClientCalls& calls = Calls();
  int started = 0;
  if (std::strcmp(request->lpszMethod, "GET") == 0) {
    setCommunity_.reset();
    getCommunity_ = CommunityOf(machine_, &ElementRegistry::GetCommunityAt);
    started = calls.getUrl(calls.serverHandle(), targetUrl_.c_str(), &WebAgentCallback, this);
  } else {
    std::string data;
    if (request->lpbData != nullptr) data = reinterpret_cast<const char*>(request->lpbData);
    if (data.size() > kMaxPostedData) return FailAndDestroy(kDataTooLong);
    RemoveField(&data, "addr=");
    RemoveField(&data, "device=");
    getCommunity_ = CommunityOf(machine_, &ElementRegistry::GetCommunityAt);
    setCommunity_ = CommunityOf(machine_, &ElementRegistry::SetCommunityAt);
    started = calls.postUrlEx(calls.serverHandle(), targetUrl_.c_str(), nullptr, 0, data.data(),
                              static_cast<uint32_t>(data.size()), &WebAgentCallback, this);
  }
  // Once started, the client request owns the page: its callback may
  // already have destroyed it.
  if (started == 0) return FailAndDestroy(kNotStarted);
  return kAnswered;
}

uint32_t WebAgentPage::HandlePost() {
  if (IsAdministrator()) return HandleGet();
  const std::optional<std::string> machine = GetField("addr");
  const std::optional<std::string> device = GetField("device");
  const std::optional<std::string> onAuthErr = GetField("onAuthErr");
  // A path on the origin the browser used, so OK keeps its session.
  const std::string location = StringPrintf("/KOR/WebAgent/%s?device=%s&addr=%s", onAuthErr.value_or("").c_str(),
                                            device.value_or("").c_str(), machine.value_or("").c_str());
  uint32_t result = kAnswered;
  try {
    result = ShowErrorBanner(kNotAdministrator, location);
  } catch (...) {
    delete this;
    throw;
  }
  delete this;
  return result;
}

int WebAgentCallback(HZEPACLIENT client) {
  std::lock_guard<Lock> hold(WebAgentLock);
  const WebAgentPage::ClientCalls& calls = WebAgentPage::Calls();
  auto* page = static_cast<WebAgentPage*>(calls.getUserObject(client));
  if (page == nullptr) return 1;
  page->clientState_ = calls.state(client);
  page->clientStatus_ = calls.status(client);
  switch (page->clientState_) {
    case ZEPA_CLIENT_STATE_RESPONSE_READY: {
      const char* file = calls.cacheFileName(client);
      if (file != nullptr) {
        EXTENSION_CONTROL_BLOCK* request = page->Request();
        uint32_t length = static_cast<uint32_t>(std::strlen(file));
        request->ServerSupportFunction(request->ConnID, REQ_SEND_FILE, nullptr, &length,
                                       reinterpret_cast<uint32_t*>(const_cast<char*>(file)));
      }
      break;
    }
    case ZEPA_CLIENT_STATE_OVER:
      delete page;
      break;
    case ZEPA_CLIENT_STATE_SEND_HEADERS:
      if (!page->headerLinesSent_) {
        const std::string lines = page->HeaderLines();
        uint32_t count = 0;
        calls.sendBytes(client, lines.data(), static_cast<uint32_t>(lines.size()), &count);
        page->headerLinesSent_ = true;
      }
      break;
    default:
      break;
  }
  return 1;
}

void RemoveField(std::string* data, const char* key) {
  const size_t keyLength = std::strlen(key);
  size_t at = data->find(key);
  if (at == std::string::npos) return;
  if (at == 0) {
    const size_t amp = data->find('&');
    *data = amp != std::string::npos ? data->substr(amp + 1) : std::string();
    return;
  }
  while (at != std::string::npos && (*data)[at - 1] != '&') at = data->find(key, at + 1);
  if (at == std::string::npos) return;
  const size_t next = data->find('&', at + keyLength);
  std::string result = data->substr(0, at - 1);
  if (next != std::string::npos) result += data->substr(next);
  *data = std::move(result);
}

}  // namespace orla

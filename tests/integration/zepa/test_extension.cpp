#include "tests/integration/zepa/test_extension.h"

#include <sys/stat.h>

#include <cstring>
#include <stdexcept>

#include "platform/text/string_printf.h"
#include "platform/zepa/zepa.h"
#include "tests/unit/zepa/sample_extension_record.h"

namespace orla::test {

namespace {

struct State {
  std::mutex mutex;
  uint32_t handle = 0;
  int port = 0;
  std::string outsideFile;
  std::vector<TestExtension::ClientEvent> events;
  int terminations = 0;
  int versionCalls = 0;
};

State& S() {
  static State* state = new State;
  return *state;
}

// Serialises the client callbacks, as the agent's pass-through does.
std::mutex g_callbackLock;

struct FetchPage {
  EXTENSION_CONTROL_BLOCK* ecb = nullptr;
  bool headersSent = false;
  std::string machine;
  std::string device;
};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The undecoded value of `name` in a query string ("" when absent).
std::string QueryField(const std::string& query, const std::string& name) {
  size_t pos = 0;
  while (pos <= query.size()) {
    size_t end = query.find('&', pos);
    if (end == std::string::npos) end = query.size();
    const std::string pair = query.substr(pos, end - pos);
    if (pair.rfind(name + "=", 0) == 0) return pair.substr(name.size() + 1);
    pos = end + 1;
  }
  return std::string();
}

uint32_t Send(EXTENSION_CONTROL_BLOCK* ecb, const std::string& type, const std::string& body,
              const char* status = nullptr) {
  const std::string header = StringPrintf("Content-type: %s\r\nContent-length: %zu\r\nCache-Control: no-cache\r\n\r\n",
                                          type.c_str(), body.size());
  uint32_t length = static_cast<uint32_t>(header.size());
  ecb->ServerSupportFunction(ecb->ConnID, HSE_REQ_SEND_RESPONSE_HEADER, const_cast<char*>(status), &length,
                             reinterpret_cast<uint32_t*>(const_cast<char*>(header.c_str())));
  uint32_t n = static_cast<uint32_t>(body.size());
  ecb->WriteClient(ecb->ConnID, body.data(), &n, 0);
  return HSE_STATUS_SUCCESS;
}

uint32_t SendFile(EXTENSION_CONTROL_BLOCK* ecb, HCONN conn, const std::string& file) {
  uint32_t length = static_cast<uint32_t>(file.size());
  ecb->ServerSupportFunction(conn, REQ_SEND_FILE, nullptr, &length,
                             reinterpret_cast<uint32_t*>(const_cast<char*>(file.c_str())));
  return HSE_STATUS_SUCCESS;
}

uint32_t Rights(EXTENSION_CONTROL_BLOCK* ecb) {
  uint32_t rights = 0;
  ecb->ServerSupportFunction(ecb->ConnID, REQ_QUERY_RIGHTS, const_cast<char*>("KORAccess"), nullptr, &rights);
  return rights;
}

std::string Variable(EXTENSION_CONTROL_BLOCK* ecb, const char* name) {
  uint32_t size = 0;
  ecb->GetServerVariable(ecb->ConnID, name, nullptr, &size);
  if (size == 0) return std::string();
  std::string value(size, '\0');
  if (!ecb->GetServerVariable(ecb->ConnID, name, value.data(), &size)) return std::string();
  value.resize(size - 1);
  return value;
}

int FetchCallback(HZEPACLIENT client) {
  std::lock_guard<std::mutex> lock(g_callbackLock);
  auto* page = static_cast<FetchPage*>(ZEPAClientGetUserObject(client));
  TestExtension::ClientEvent event;
  event.state = ZEPAClientState(client);
  event.status = ZEPAClientStatus(client);
  if (event.state == ZEPA_CLIENT_STATE_SEND_HEADERS && !page->headersSent) {
    const std::string lines = StringPrintf(
        "VESTRA_MACHINE: %s\r\nVESTRA_COMMUNITY: %s\r\nVESTRA_SETCOMMUNITY: %s\r\nVESTRA_DEVICE: %s\r\n"
        "VESTRA_TIMEOUT: 2000\r\nVESTRA_RETRIES: 3\r\n",
        page->machine.c_str(), "public", "", page->device.c_str());
    uint32_t count = 0;
    event.sendBytesOk = ZEPAClientSendBytes(client, lines.data(), static_cast<uint32_t>(lines.size()), &count) == 1 &&
                        count == lines.size();
    page->headersSent = true;
  } else if (event.state == ZEPA_CLIENT_STATE_RESPONSE_READY) {
    const char* file = ZEPAClientCacheFileName(client);
    if (file != nullptr) {
      event.hadCacheFile = true;
      event.cacheFile = file;
      struct stat st;
      event.cacheFileExisted = ::stat(file, &st) == 0;
      SendFile(page->ecb, page->ecb->ConnID, file);
    }
  } else if (event.state == ZEPA_CLIENT_STATE_OVER) {
    delete page;
  }
  {
    std::lock_guard<std::mutex> state(S().mutex);
    S().events.push_back(event);
  }
  return 1;
}

uint32_t KorRequest(EXTENSION_CONTROL_BLOCK* ecb) {
  const std::string path = ecb->lpszPathInfo;
  const std::string lower = Lower(path);
  if (lower == "/kor/" || lower == "/kor" || lower == "/kor/default.htm") {
    if (Rights(ecb) == ZEPA_RIGHTS_NO_SESSION) return ZEPA_STATUS_LEAVE_TO_LIBRARY;
    return SendFile(ecb, ecb->ConnID, ecb->lpszPathTranslated);
  }
  if (path == "/KOR/rights") return Send(ecb, "text/plain", StringPrintf("rights=0x%08x", Rights(ecb)));
  if (path == "/KOR/admin") {
    const uint32_t rights = Rights(ecb);
    if (rights == ZEPA_RIGHTS_NO_SESSION || (rights & 2) == 0) return ZEPA_STATUS_LEAVE_TO_LIBRARY;
    return Send(ecb, "text/html", "<HTML><BODY>administrator page</BODY></HTML>");
  }
  if (path == "/KOR/echo") {
    std::string body = "method=" + std::string(ecb->lpszMethod) + "\n";
    body += "query=" + std::string(ecb->lpszQueryString) + "\n";
    body += "path=" + path + "\n";
    body += "translated=" + std::string(ecb->lpszPathTranslated) + "\n";
    body += "data=" + (ecb->lpbData != nullptr ? std::string(reinterpret_cast<char*>(ecb->lpbData)) : std::string("(null)")) + "\n";
    body += StringPrintf("bytes=%u\n", ecb->cbTotalBytes);
    body += "type=" + std::string(ecb->lpszContentType) + "\n";
    body += "user=" + Variable(ecb, "REMOTE_USER") + "\n";
    return Send(ecb, "text/plain", body);
  }
  if (path.rfind("/KOR/fetch/", 0) == 0 || path.rfind("/KOR/fetchpost/", 0) == 0 ||
      path.rfind("/KOR/fetchmodule/", 0) == 0 || path == "/KOR/fetchdead") {
    auto* page = new FetchPage;
    page->ecb = ecb;
    const std::string query = ecb->lpszQueryString;
    page->machine = QueryField(query, "addr");
    page->device = QueryField(query, "device");
    int port = 0;
    uint32_t handle = 0;
    {
      std::lock_guard<std::mutex> lock(S().mutex);
      port = S().port;
      handle = S().handle;
    }
    if (path == "/KOR/fetchdead") {
      // Nothing listens on port 1 of the loopback address.
      ZEPAClientGetUrl(handle, "https://127.0.0.1:1/nothing", FetchCallback, page);
      return HSE_STATUS_SUCCESS;
    }
    const bool post = path.rfind("/KOR/fetchpost/", 0) == 0;
    const bool module = path.rfind("/KOR/fetchmodule/", 0) == 0;
    const std::string rest = path.substr(post ? 15 : module ? 17 : 11);
    const std::string url = module ? StringPrintf("https://localhost:%d/testagent/%s", port, rest.c_str())
                                   : StringPrintf("https://localhost:%d/webagent/Fibre/%s", port, rest.c_str());
    if (post) {
      const char* data = ecb->lpbData != nullptr ? reinterpret_cast<const char*>(ecb->lpbData) : "";
      ZEPAClientPostUrlEx(handle, url.c_str(), 0, 0, data, static_cast<uint32_t>(std::strlen(data)), FetchCallback,
                          page);
    } else {
      ZEPAClientGetUrl(handle, url.c_str(), FetchCallback, page);
    }
    return HSE_STATUS_SUCCESS;
  }
  if (path == "/KOR/leave") return ZEPA_STATUS_LEAVE_TO_LIBRARY;
  if (path == "/KOR/nothing") return HSE_STATUS_SUCCESS;
  if (path == "/KOR/redirect") {
    ecb->ServerSupportFunction(ecb->ConnID, HSE_REQ_SEND_URL_REDIRECT_RESP, const_cast<char*>("/KOR/echo"), nullptr,
                               nullptr);
    return HSE_STATUS_SUCCESS;
  }
  if (path == "/KOR/outside") {
    std::string outside;
    {
      std::lock_guard<std::mutex> lock(S().mutex);
      outside = S().outsideFile;
    }
    return SendFile(ecb, ecb->ConnID, outside);
  }
  if (path == "/KOR/throw") throw std::runtime_error("test failure");
  return SendFile(ecb, ecb->ConnID, ecb->lpszPathTranslated);
}

uint32_t AgentRequest(EXTENSION_CONTROL_BLOCK* ecb) {
  const std::string path = ecb->lpszPathInfo;
  if (path == "/webagent/Fibre/missing.html") {
    return Send(ecb, "text/html", "<HTML><BODY>no such page</BODY></HTML>", "404 Not Found");
  }
  std::string body = "agent-method=" + std::string(ecb->lpszMethod) + "\n";
  body += "agent-path=" + path + "\n";
  for (const char* name : {"VESTRA_MACHINE", "VESTRA_COMMUNITY", "VESTRA_SETCOMMUNITY", "VESTRA_DEVICE",
                           "VESTRA_TIMEOUT", "VESTRA_RETRIES"}) {
    body += std::string(name) + "=" + Variable(ecb, (std::string("HTTP_") + name).c_str()) + "\n";
  }
  body += "agent-data=" + (ecb->lpbData != nullptr ? std::string(reinterpret_cast<char*>(ecb->lpbData)) : "") + "\n";
  return Send(ecb, "application/x-agent-page", body);
}

int Version(HSE_VERSION_INFO* info) {
  info->dwExtensionVersion = 4;
  std::strcpy(info->lpszExtensionDesc, "KOR");
  std::lock_guard<std::mutex> lock(S().mutex);
  ++S().versionCalls;
  return 1;
}

int Terminate(uint32_t) {
  uint32_t handle = 0;
  {
    std::lock_guard<std::mutex> lock(S().mutex);
    ++S().terminations;
    handle = S().handle;
  }
  // As the agent does: its shutdown runs from the termination callback too.
  ZEPAShutdownHTTPServer(handle);
  ZEPAAllowUnload();
  return 1;
}

bool Register(uint32_t handle, const char* name, const std::string& directory, PFN_HTTPEXTENSIONPROC procedure,
              const char* fragment) {
  SampleExtensionRecord sample(name, directory, fragment, procedure);
  ExtensionRecord& record = sample.record;
  record.pfnGetExtensionVersion = Version;
  record.pfnTerminateExtension = Terminate;
  ZEPASetIsapiStackSize(handle, 48000);
  return ZEPARegisterIsapiExtension(handle, &record) == 1;
}

}  // namespace

bool TestExtension::Start(const std::string& dataDirectory, const std::string& contentDirectory,
                          const std::string& agentDirectory, const std::string& address, int port) {
  ServerStartupRecord record = StartupRecord("KOR", dataDirectory);
  if (!ZEPASetServerEndpoint(address.c_str(), static_cast<uint32_t>(port))) return false;
  ZEPABlockUnload();
  uint32_t handle = 0;
  if (!ZEPAStartupHTTPServer(&record, &handle) || handle == 0) {
    ZEPAAllowUnload();
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(S().mutex);
    S().handle = handle;
    S().port = port;
    S().outsideFile = dataDirectory + "/server.key";
    S().events.clear();
    S().terminations = 0;
    S().versionCalls = 0;
  }
  const bool ok =
      Register(handle, "KOR", contentDirectory, KorRequest,
               "<TABLE  border=0><TR><TD valign=top><A href=/KOR/><IMG border=0 src=/KOR/button.gif></A></TD>"
               "<TD valign=top><IMG src=/KOR/Line1.gif><BR><FONT size=3>Monitor and configure tape controllers "
               "on the Storage Area Network.</FONT></TD></TR></TABLE>") &&
      Register(handle, "webagent", agentDirectory, AgentRequest, "<P>Device web agent</P>");
  if (!ok) Stop();
  return ok;
}

void TestExtension::Stop() {
  uint32_t handle = 0;
  {
    std::lock_guard<std::mutex> lock(S().mutex);
    handle = S().handle;
  }
  if (handle != 0) ZEPAShutdownHTTPServer(handle);
  ZEPAAllowUnload();
}

uint32_t TestExtension::Handle() {
  std::lock_guard<std::mutex> lock(S().mutex);
  return S().handle;
}

std::vector<TestExtension::ClientEvent> TestExtension::Events() {
  std::lock_guard<std::mutex> lock(S().mutex);
  return S().events;
}

int TestExtension::Terminations() {
  std::lock_guard<std::mutex> lock(S().mutex);
  return S().terminations;
}

int TestExtension::VersionCalls() {
  std::lock_guard<std::mutex> lock(S().mutex);
  return S().versionCalls;
}

}  // namespace orla::test

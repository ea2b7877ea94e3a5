// The library's C calls. Each one catches every exception: none may cross
// into the calling program.
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/text/string_printf.h"
#include "client/client_request.h"
#include "server_settings.h"
#include "library_pages.h"
#include "server_table.h"
#include "platform/zepa/zepa.h"
#include "zepa_log.h"
#include "zepa_server.h"

using orla::ClientRequest;
using orla::LibraryPages;
using orla::ServerSettings;
using orla::ServerTable;
using orla::StringPrintf;
using orla::ZepaLog;
using orla::ZepaServer;

namespace {

void LogException(const char* call) {
  ZepaLog::Write(ZepaLog::kWarning, StringPrintf("The web server call %s failed with an exception.", call));
}

int StartClient(uint32_t hServer, const char* url, const char* method, const char* contentType, const void* body,
                uint32_t bodyLength, PFN_ZEPA_CLIENT_CALLBACK callback, void* userObject) {
  std::shared_ptr<ZepaServer> server = ServerTable::Instance().Find(hServer);
  if (!server || url == nullptr) return 0;
  std::string error;
  std::string data;
  if (body != nullptr && bodyLength > 0) data.assign(static_cast<const char*>(body), bodyLength);
  if (!server->StartClient(url, method, contentType != nullptr ? contentType : "", std::move(data), callback,
                           userObject, &error)) {
    ZepaLog::Write(ZepaLog::kWarning, StringPrintf("The web server cannot start a client request: %s", error.c_str()));
    return 0;
  }
  return 1;
}

}  // namespace

extern "C" {

void ZEPABlockUnload(void) { ServerTable::Instance().Hold(); }

void ZEPAAllowUnload(void) { ServerTable::Instance().Release(); }

void ZEPASetLogCallback(PFN_ZEPA_LOG pfnLog) { ZepaLog::SetCallback(pfnLog); }

int ZEPASetServerEndpoint(const char* address, uint32_t port) {
  try {
    if (port > 65535) return 0;
    std::string text = address != nullptr ? address : "";
    if (!text.empty() && !ServerSettings::IsNumericAddress(text)) {
      ZepaLog::Write(ZepaLog::kWarning, "The web server address " + text + " is not a numeric IP address.");
      return 0;
    }
    ServerTable::Instance().SetEndpoint(text, static_cast<int>(port));
    return 1;
  } catch (...) {
    LogException("ZEPASetServerEndpoint");
    return 0;
  }
}

int ZEPASetServerLimits(uint32_t maxConnections, uint32_t maxConnectionsPerAddress) {
  try {
    if (maxConnections > 100000 || maxConnectionsPerAddress > 100000) return 0;
    ServerTable::Instance().SetLimits(maxConnections, maxConnectionsPerAddress);
    return 1;
  } catch (...) {
    LogException("ZEPASetServerLimits");
    return 0;
  }
}

int ZEPASetLargeBodyPath(const char* path, uint32_t maxBytes) {
  try {
    const std::string text = path != nullptr ? path : "";
    if (text.empty() || text[0] != '/' || maxBytes == 0 || maxBytes > (16u << 20)) return 0;
    ServerTable::Instance().SetLargeBodyPath(text, maxBytes);
    return 1;
  } catch (...) {
    LogException("ZEPASetLargeBodyPath");
    return 0;
  }
}

int ZEPASetPageLook(const char* styleSheet, const char* script, const char* icon) {
  try {
    LibraryPages::Look look;
    look.styleSheet = styleSheet != nullptr ? styleSheet : "";
    look.script = script != nullptr ? script : "";
    look.icon = icon != nullptr ? icon : "";
    if (!LibraryPages::IsLookPath(look.styleSheet) || !LibraryPages::IsLookPath(look.script) ||
        !LibraryPages::IsLookPath(look.icon)) {
      ZepaLog::Write(ZepaLog::kWarning, "The web server's page look names a path it cannot link.");
      return 0;
    }
    LibraryPages::SetLook(look);
    return 1;
  } catch (...) {
    LogException("ZEPASetPageLook");
    return 0;
  }
}

int ZEPAStartupHTTPServer(const ServerStartupRecord* pRecord, uint32_t* phServer) {
  try {
    if (phServer == nullptr) return 0;
    ZepaServer::Settings settings;
    std::string error;
    if (!ServerSettings::From(pRecord, ServerTable::Instance().Next(), &settings, &error)) {
      ZepaLog::Write(ZepaLog::kCritical, "The web server cannot start: " + error);
      return 0;
    }
    auto server = std::make_shared<ZepaServer>(settings);
    if (!server->Start(&error)) {
      ZepaLog::Write(ZepaLog::kCritical, "The web server cannot start: " + error);
      server->Shutdown();
      return 0;
    }
    *phServer = ServerTable::Instance().Add(server);
    return 1;
  } catch (...) {
    LogException("ZEPAStartupHTTPServer");
    return 0;
  }
}

int ZEPAGetServerStatistics(uint32_t hServer, ZEPA_SERVER_STATISTICS* pStatistics) {
  try {
    if (pStatistics == nullptr || pStatistics->cbSize != sizeof(ZEPA_SERVER_STATISTICS)) return 0;
    std::shared_ptr<ZepaServer> server = ServerTable::Instance().Find(hServer);
    if (!server) return 0;
    server->GetStatistics(pStatistics);
    return 1;
  } catch (...) {
    LogException("ZEPAGetServerStatistics");
    return 0;
  }
}

int ZEPASetIsapiStackSize(uint32_t hServer, uint32_t dwStackSize) {
  try {
    std::shared_ptr<ZepaServer> server = ServerTable::Instance().Find(hServer);
    if (!server) return 0;
    server->SetStackSize(dwStackSize);
    return 1;
  } catch (...) {
    LogException("ZEPASetIsapiStackSize");
    return 0;
  }
}

int ZEPARegisterIsapiExtension(uint32_t hServer, const ExtensionRecord* pRecord) {
  try {
    std::shared_ptr<ZepaServer> server = ServerTable::Instance().Find(hServer);
    if (!server) return 0;
    std::string error;
    if (!server->RegisterExtension(pRecord, &error)) {
      ZepaLog::Write(ZepaLog::kWarning, "The web extension cannot be registered: " + error);
      return 0;
    }
    return 1;
  } catch (...) {
    LogException("ZEPARegisterIsapiExtension");
    return 0;
  }
}

int ZEPAShutdownHTTPServer(uint32_t hServer) {
  try {
    std::shared_ptr<ZepaServer> server = ServerTable::Instance().Find(hServer);
    if (!server) return 0;
    // Called again from a termination callback while this server shuts down.
    if (server->IsShuttingDown()) return 1;
    if (server->OnOwnThread()) {
      ZepaLog::Write(ZepaLog::kWarning,
                     "The web server cannot be shut down from one of its own request threads.");
      return 0;
    }
    server->Shutdown();
    if (server->HasStragglers()) {
      // Requests or client requests still run on the server's threads: it is kept for
      // good rather than destroyed under them.
      static auto* keptMutex = new std::mutex;
      static auto* kept = new std::vector<std::shared_ptr<ZepaServer>>;
      std::lock_guard<std::mutex> lock(*keptMutex);
      kept->push_back(server);
    }
    ServerTable::Instance().Remove(hServer);
    return 1;
  } catch (...) {
    LogException("ZEPAShutdownHTTPServer");
    return 0;
  }
}

int ZEPAClientGetUrl(uint32_t hServer, const char* lpszUrl, PFN_ZEPA_CLIENT_CALLBACK pfnCallback,
                     void* pUserObject) {
  try {
    return StartClient(hServer, lpszUrl, "GET", nullptr, nullptr, 0, pfnCallback, pUserObject);
  } catch (...) {
    LogException("ZEPAClientGetUrl");
    return 0;
  }
}

int ZEPAClientPostUrlEx(uint32_t hServer, const char* lpszUrl, const char* lpszContentType, uint32_t dwFlags,
                        const void* pBody, uint32_t cbBody, PFN_ZEPA_CLIENT_CALLBACK pfnCallback,
                        void* pUserObject) {
  try {
    if (dwFlags != 0) return 0;
    return StartClient(hServer, lpszUrl, "POST", lpszContentType, pBody, cbBody, pfnCallback, pUserObject);
  } catch (...) {
    LogException("ZEPAClientPostUrlEx");
    return 0;
  }
}

void* ZEPAClientGetUserObject(HZEPACLIENT hClient) {
  ClientRequest* request = ClientRequest::FromHandle(hClient);
  return request != nullptr ? request->UserObject() : nullptr;
}

uint32_t ZEPAClientState(HZEPACLIENT hClient) {
  ClientRequest* request = ClientRequest::FromHandle(hClient);
  return request != nullptr ? request->State() : 0;
}

uint32_t ZEPAClientStatus(HZEPACLIENT hClient) {
  ClientRequest* request = ClientRequest::FromHandle(hClient);
  return request != nullptr ? request->Status() : 0;
}

const char* ZEPAClientCacheFileName(HZEPACLIENT hClient) {
  ClientRequest* request = ClientRequest::FromHandle(hClient);
  return request != nullptr ? request->CacheFileName() : nullptr;
}

int ZEPAClientSendBytes(HZEPACLIENT hClient, const void* pBytes, uint32_t cbBytes, uint32_t* lpdwCount) {
  try {
    ClientRequest* request = ClientRequest::FromHandle(hClient);
    if (request == nullptr) {
      if (lpdwCount != nullptr) *lpdwCount = 0;
      return 0;
    }
    return request->SendBytes(pBytes, cbBytes, lpdwCount);
  } catch (...) {
    LogException("ZEPAClientSendBytes");
    return 0;
  }
}

}  // extern "C"

// The record layouts, checked where the compiler knows the pointer width.
static_assert(sizeof(ServerStartupRecord) == 1579, "start-up record size");
static_assert(offsetof(ServerStartupRecord, szServerName) == 8, "start-up record name");
static_assert(offsetof(ServerStartupRecord, szDataDirectory) == 524, "start-up record data directory");
static_assert(offsetof(ExtensionRecord, szName) == 4, "extension record name");
static_assert(offsetof(ExtensionRecord, szDirectory) == 784, "extension record directory");
static_assert(offsetof(ExtensionRecord, dwHomePageListVersion) == 1048, "extension record list version");
static_assert(offsetof(ExtensionRecord, pHomePages) == 1052, "extension record home pages");
static_assert(offsetof(ExtensionRecord, dwRightListVersion) == (sizeof(void*) == 4 ? 1056 : 1060), "rights version");
static_assert(offsetof(ExtensionRecord, pRights) == (sizeof(void*) == 4 ? 1060 : 1064), "rights list");
static_assert(offsetof(ExtensionRecord, pfnGetExtensionVersion) == (sizeof(void*) == 4 ? 1072 : 1080), "version");
static_assert(offsetof(ExtensionRecord, pfnHttpExtensionProc) == (sizeof(void*) == 4 ? 1076 : 1088), "request");
static_assert(offsetof(ExtensionRecord, pfnTerminateExtension) == (sizeof(void*) == 4 ? 1080 : 1096), "terminate");
static_assert(sizeof(ExtensionRecord) == (sizeof(void*) == 4 ? 1084 : 1104), "extension record size");
static_assert(sizeof(ZEPA_TEXT_ENTRY) == (sizeof(void*) == 4 ? 12 : 20), "text entry size");
static_assert(sizeof(ZEPA_RIGHT_ENTRY) == (sizeof(void*) == 4 ? 24 : 32), "right entry size");

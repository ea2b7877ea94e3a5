#include "client_launcher.h"

#include <memory>

#include "client_request.h"
#include "../client_url.h"
#include "../extensions/connection_context.h"
#include "../server_context.h"

namespace orla {

namespace {
WorkerPool::Settings Workers(size_t maxThreads, size_t stackBytes) {
  WorkerPool::Settings settings;
  settings.maxThreads = maxThreads;
  settings.stackBytes = stackBytes;
  return settings;
}
}  // namespace

ClientLauncher::ClientLauncher(size_t maxThreads, size_t stackBytes) : pool_(Workers(maxThreads, stackBytes)) {}

bool ClientLauncher::Start(ServerContext* server, const std::string& url, const std::string& method,
                           const std::string& contentType, std::string body, PFN_ZEPA_CLIENT_CALLBACK callback,
                           void* userObject, std::string* error) {
  if (callback == nullptr) {
    *error = "no callback";
    return false;
  }
  ClientUrl parsed;
  if (!ClientUrl::Parse(url, &parsed)) {
    *error = "not an absolute http or https URL";
    return false;
  }
  std::shared_ptr<ConnectionContext> connection;
  if (ConnectionContext* current = ConnectionContext::Current()) connection = ConnectionContext::Find(current->ConnId());
  if (connection) connection->AddPendingClient();
  auto client = std::make_shared<ClientRequest>(server, parsed, method, contentType, std::move(body), callback,
                                                userObject, connection);
  if (!pool_.Enqueue([client] { client->Run(); })) {
    if (connection) connection->ClientOver();
    *error = "no client worker can be started";
    return false;
  }
  return true;
}

}  // namespace orla

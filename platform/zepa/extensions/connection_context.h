#pragma once
// One browser request handed to an extension: the EXTENSION_CONTROL_BLOCK
// with the texts it points to, and the answer the extension builds through
// WriteClient and ServerSupportFunction. ConnID is a number the library looks
// up in a table of live connections, so a call with a stale ConnID fails
// cleanly instead of touching freed memory. The connection stays live, and
// open to WriteClient and REQ_SEND_FILE, until the request procedure has
// returned and every client request started for it is over.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "extension_registration.h"
#include "../transport/http_transport.h"
#include "../users/session_table.h"
#include "platform/zepa/zepa.h"

namespace orla {

class ServerContext;

class ConnectionContext {
 public:
  static constexpr size_t kMaxBodyBytes = 64u << 20;
  // A body written with WriteClient that grows past this moves to a
  // nameless file in the server's cache folder and is sent from there, so a
  // long answer (a CSV export) costs disk, not memory.
  static constexpr size_t kInMemoryBodyBytes = 256u << 10;

  ConnectionContext(ServerContext* server, std::shared_ptr<const ExtensionRegistration> extension,
                    const HttpTransport::Request& request, const std::string& pathTranslated,
                    std::optional<SessionTable::Session> session);
  ~ConnectionContext();
  ConnectionContext(const ConnectionContext&) = delete;
  ConnectionContext& operator=(const ConnectionContext&) = delete;

  EXTENSION_CONTROL_BLOCK* Ecb() { return &ecb_; }
  HCONN ConnId() const { return ecb_.ConnID; }

  // The live-connection table behind ConnID.
  static void Register(const std::shared_ptr<ConnectionContext>& context);
  static void Unregister(const ConnectionContext* context);
  static std::shared_ptr<ConnectionContext> Find(HCONN connId);

  // The connection whose request procedure (or client callback) runs on this
  // thread; client requests started on it are tied to it.
  static ConnectionContext* Current();
  class CurrentScope {
   public:
    explicit CurrentScope(ConnectionContext* context);
    ~CurrentScope();
    CurrentScope(const CurrentScope&) = delete;
    CurrentScope& operator=(const CurrentScope&) = delete;

   private:
    ConnectionContext* previous_;
  };

  void AddPendingClient();
  void ClientOver();
  // Blocks until every client request tied to this connection is over.
  void WaitForClients();

  // What the extension answered. False when it answered nothing at all.
  bool BuildResponse(HttpTransport::Response& response);
  bool HadClients() const;

  // The calls behind the control block's function pointers.
  int WriteClient(const void* buffer, uint32_t* bytes);
  int ServerSupport(uint32_t request, void* buffer, uint32_t* size, uint32_t* dataType);
  int GetServerVariable(const char* name, void* buffer, uint32_t* size);
  int SendFile(const std::string& path);
  bool ServerVariable(const std::string& name, std::string* value) const;

 private:
  int SendHeader(const char* status, const char* header, uint32_t* size);
  int SendRedirect(const char* url);
  // Moves the body to a nameless file; false when none can be made (the
  // body then stays in memory). The mutex is held.
  bool Spill();

  ServerContext* server_;
  std::shared_ptr<const ExtensionRegistration> extension_;
  HttpTransport::Request request_;
  std::optional<SessionTable::Session> session_;

  // Storage the control block points into.
  std::string method_;
  std::string query_;
  std::string pathInfo_;
  std::string pathTranslated_;
  std::string contentType_;
  std::string data_;
  EXTENSION_CONTROL_BLOCK ecb_;

  mutable std::mutex mutex_;
  std::condition_variable clientsDone_;
  int pendingClients_ = 0;
  bool hadClients_ = false;
  bool closed_ = false;

  // The answer.
  bool headerSent_ = false;
  int status_ = 200;
  HttpTransport::HeaderList headers_;
  std::string responseType_ = "text/html";
  std::string body_;
  std::shared_ptr<HttpTransport::FileBody> spill_;  // the body's file, once it has grown past kInMemoryBodyBytes
  std::shared_ptr<HttpTransport::FileBody> file_;
  std::string fileType_;
  int fileStatus_ = 200;
  std::string fileLocation_;
  std::string fileCacheControl_;
  int fileError_ = 0;  // 403 or 404 when REQ_SEND_FILE could not send
  std::string redirect_;
};

}  // namespace orla

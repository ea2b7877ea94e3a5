#include "server_context.h"

namespace orla {

namespace {
thread_local const ServerContext* t_server = nullptr;
}  // namespace

ServerContext::ThreadScope::ThreadScope(const ServerContext* server) : previous_(t_server) { t_server = server; }

ServerContext::ThreadScope::~ThreadScope() { t_server = previous_; }

bool ServerContext::OnOwnThread() const { return t_server == this; }

}  // namespace orla

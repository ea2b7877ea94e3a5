#pragma once
// UsersRequest: an extension's REQ_MANAGE_USERS (ZEPA_USERS_REQUEST) served
// for one browser request: checks the record (sizes, zero-terminated texts),
// that the request's session (or user token) may act (an administrator of
// the record's right; any signed-in user for their own password), then runs the action
// through UserAdministration and writes its outcome, in sentences, back into
// the record. Passwords are read from the record and never written back.
#include <cstdint>
#include <optional>
#include <string>

#include "../users/session_table.h"
#include "platform/zepa/zepa.h"

namespace orla {

class ServerContext;

class UsersRequest {
 public:
  // Returns 1, or 0 with errno set (EINVAL, ENOBUFS) as REQ_MANAGE_USERS
  // describes. `address` is the request's client address (the throttle of
  // the current-password check).
  // `tokenUser` is the user whose token a request without a session
  // carried (empty for none): a token acts with its user's rights, but
  // changes no password of its own.
  static int Serve(ServerContext& server, const std::optional<SessionTable::Session>& session,
                   const std::string& tokenUser, const std::string& address, ZEPA_USERS_REQUEST* record);
};

}  // namespace orla

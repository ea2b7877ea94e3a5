#pragma once
// TokensResource: the users' tokens in the JSON API (administrators only),
// made, listed and revoked through the same rules and texts as the users
// tool's "token" commands (UserTokens), each change an audit event:
//   GET    tokens       {"tokens":[TOKEN...]}, never a secret
//   POST   tokens       {"user","name","expiresDays"?}: 201 TOKEN with
//                       "secret", shown this once; 400 naming the field at
//                       fault (no such user, a bad name, a bad expiry), 409
//                       when the user has a token of that name
//   DELETE tokens/ID    200 {"revoked": TOKEN}; 404
// TOKEN: {"id","user","name","created","expires"}, the times as UTC text
// ("2026-12-09T08:30:00Z"), expires null for a token that never expires.
// The id is also the part of the secret after "kor_".
#include "api_call.h"
#include "api_reply.h"

namespace orla {

class TokensResource {
 public:
  static ApiReply List(const ApiCall& call);
  static ApiReply Add(const ApiCall& call);
  static ApiReply Revoke(const ApiCall& call);

  static constexpr const char* kNoDataDirectory = "The web server's data directory is not known.";
};

}  // namespace orla

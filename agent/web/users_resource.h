#pragma once
// UsersResource: the web server's users in the JSON API, administrators
// only, managed by the library's rules and texts (LibraryUsers, behind it
// UserAdministration); a password or its hash never appears in an answer:
//   GET    users                  {"users":[USER...]} in the file's order
//   POST   users                  {"name","password","level"}: 201 USER; 400
//                                 naming the field at fault, 409 the name
//                                 is taken
//   PATCH  users/NAME             {"level"?, "password"?} (at least one):
//                                 200 USER; 400, 404, 409 (the last
//                                 administrator cannot be lowered). A
//                                 refused password puts the level back.
//   DELETE users/NAME             200 {"removed": NAME}; 404, 409 (the last
//                                 administrator)
//   DELETE users/NAME/sessions    200 {"name": NAME, "ended": N}; 404
// USER: {"name","level"}, level one of "administrator", "operator",
// "reader", "none". Each change is an audit event naming the acting user.
#include "api_call.h"
#include "api_reply.h"

namespace orla {

class UsersResource {
 public:
  static ApiReply List(const ApiCall& call);
  static ApiReply Add(const ApiCall& call);
  static ApiReply Change(const ApiCall& call);
  static ApiReply Remove(const ApiCall& call);
  static ApiReply EndSessions(const ApiCall& call);

  static constexpr const char* kNothingToChange = "Name a level or a password to change.";
};

}  // namespace orla

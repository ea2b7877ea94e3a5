#pragma once
// ApiRoutes: the JSON API's route table, one row per operation below
// /KOR/api/v1/: the method, the path (a "{name}" segment stands for one
// non-empty segment, and fixed segments may follow it; a trailing
// "{target}" stands for the non-empty rest of the path, slashes included;
// either handed to the resource decoded as ApiCall::name), the operation's id
// (the same as in the OpenAPI document, which a test holds to this table),
// the right it needs, whether it takes a body, and the resource's handler.
//
// Rights: every operation needs a signed-in session, or a user token, whose
// user holds a KORAccess right other than 0 (kRead); taking an alarm needs
// the operator right, mask 4, or the administrator right (kOperate); any
// other change, every operation on tokens, and reading what a page shows
// administrators only (notification targets, SNMPv3 profiles and
// assignments) needs the administrator right, mask 2 (kAdminister).
//
// Adding an operation: one row here, its handler in the resource's class
// (one class per resource), and its entry in openapi.json.
#include <cstddef>
#include <string>

#include "api_call.h"
#include "api_reply.h"

namespace orla {

class ApiRoutes {
 public:
  enum class Need { kRead, kOperate, kAdminister };
  using Handler = ApiReply (*)(const ApiCall& call);

  struct Route {
    const char* method;
    const char* path;  // below kPrefix
    const char* operationId;
    Need need;
    bool takesBody;
    Handler handler;
    // The body is text (a CSV upload) of up to kMaxTextBytes, handed over
    // as it is instead of read as JSON.
    bool textBody = false;
  };

  static constexpr const char* kPrefix = "/KOR/api/v1/";
  // The one route whose body may be larger than the server's usual cap (the
  // server is told at start-up), and its cap.
  static constexpr const char* kUploadPath = "/KOR/api/v1/import";
  static constexpr size_t kMaxTextBytes = 1u << 20;

  static const Route* Rows();
  static size_t RowCount();

  // The row for `method` and `path` (below kPrefix), with *name set to its
  // {name}; null when none. Then *pathKnown says whether some row has the
  // path, and *allow lists their methods ("GET, DELETE").
  static const Route* Find(const std::string& method, const std::string& path, std::string* name, bool* pathKnown,
                           std::string* allow);
  // Whether `path` fits the row's path; *name gets the {name} or {target}
  // segment.
  static bool PathFits(const char* pattern, const std::string& path, std::string* name);
};

}  // namespace orla

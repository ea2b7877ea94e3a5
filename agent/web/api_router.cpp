#include "api_router.h"

#include <cstring>
#include <optional>
#include <string>

#include "api_call.h"
#include "api_routes.h"
#include "platform/text/string_printf.h"

namespace orla {

uint32_t ApiRouter::Process() { return Send(Answer()); }

ApiReply ApiRouter::Answer() {
  const EXTENSION_CONTROL_BLOCK* request = Request();
  uint32_t rights = QueryRights(Request());
  if (rights == ZEPA_RIGHTS_NO_SESSION && !ServerVariable("AUTH_TOKEN_NAME").empty()) {
    // A user token stands for its user: that user's rights as they are now.
    // (The metrics token and basic credentials serve no call here.)
    if (Request()->ServerSupportFunction(Request()->ConnID, REQ_QUERY_CREDENTIAL_RIGHTS,
                                         const_cast<char*>(kRightName), nullptr, &rights) == 0) {
      rights = ZEPA_RIGHTS_NO_SESSION;
    }
  }
  if (rights == ZEPA_RIGHTS_NO_SESSION) return ApiReply::Error(401, kNotSignedIn);
  if (!MayRead(rights)) return ApiReply::Error(403, kNoRight);

  const std::string method = request->lpszMethod != nullptr ? request->lpszMethod : "";
  const std::string fullPath = request->lpszPathInfo != nullptr ? request->lpszPathInfo : "";
  const size_t prefixLength = std::strlen(ApiRoutes::kPrefix);
  const std::string path = fullPath.size() >= prefixLength ? fullPath.substr(prefixLength) : std::string();
  ApiCall call;
  bool pathKnown = false;
  std::string allow;
  const ApiRoutes::Route* route = ApiRoutes::Find(method, path, &call.name, &pathKnown, &allow);
  if (route == nullptr) {
    if (!pathKnown) return ApiReply::Error(404, kNoSuchPath);
    ApiReply reply = ApiReply::Error(405, kNoSuchMethod);
    reply.allow = allow;
    return reply;
  }
  if (route->need == ApiRoutes::Need::kAdminister && (rights & kAdministratorRight) == 0) {
    return ApiReply::Error(403, kNotAdministrator);
  }
  if (route->need == ApiRoutes::Need::kOperate && !MayOperate(rights)) return ApiReply::Error(403, kNotOperator);

  const size_t size = request->lpbData != nullptr ? request->cbTotalBytes : 0;
  const size_t cap = route->textBody ? ApiRoutes::kMaxTextBytes : kMaxBodyBytes;
  if (size > cap) return ApiReply::Error(413, StringPrintf("Request bodies are limited to %zu bytes.", cap));
  if (request->lpszQueryString != nullptr) call.query = request->lpszQueryString;
  std::optional<JsonValue> body;
  if (size > 0 && !route->takesBody) return ApiReply::Error(400, kNoBodyHere);
  if (route->textBody) {
    call.text.assign(reinterpret_cast<const char*>(request->lpbData), size);
  } else if (route->takesBody) {
    if (size == 0) return ApiReply::Error(400, ApiCall::kNotAnObject);
    JsonReader::Failure failure;
    body = JsonReader(kLimits).Read(std::string(reinterpret_cast<const char*>(request->lpbData), size), &failure);
    if (!body) return ApiReply::Error(400, failure.text, failure.field);
    call.body = &*body;
  } else {
    call.queryField = [this](const char* field) { return GetField(field); };
  }
  call.user = UserName();
  call.request = Request();
  call.recordChange = [this](const std::string& what, const std::string& element, const std::string& address) {
    RecordChange(what, element, address);
  };
  return route->handler(call);
}

uint32_t ApiRouter::Send(const ApiReply& reply) {
  ClearOutput();
  Append(reply.body);
  const std::string allow = reply.allow.empty() ? std::string() : "Allow: " + reply.allow + "\r\n";
  const char* type = reply.contentType.empty() ? "application/json; charset=utf-8" : reply.contentType.c_str();
  return SendContentWithStatus(reply.StatusLine(), type, allow);
}

}  // namespace orla

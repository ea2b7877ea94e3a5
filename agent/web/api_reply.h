#pragma once
// ApiReply: what one call of the JSON API answers: the HTTP status, the
// JSON body and, for 405, the methods the path serves. Errors read
// {"error": TEXT, "field": NAME-or-null}, with the pages' texts where the
// pages have one.
#include <string>

namespace orla {

class ApiReply {
 public:
  int status = 200;
  std::string body;
  std::string allow;  // the Allow header of a 405; empty otherwise
  std::string contentType;  // empty: JSON (an export answers CSV)

  static ApiReply Json(int status, std::string body);
  // `field` names the request field at fault; empty writes null.
  static ApiReply Error(int status, const std::string& text, const std::string& field = std::string());
  // "200 OK", "404 Not Found", ... for the statuses the API answers.
  const char* StatusLine() const;
};

}  // namespace orla

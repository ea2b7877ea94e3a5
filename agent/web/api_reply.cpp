#include "api_reply.h"

#include <utility>

#include "text_escape.h"

namespace orla {

ApiReply ApiReply::Json(int status, std::string body) {
  ApiReply reply;
  reply.status = status;
  reply.body = std::move(body);
  return reply;
}

ApiReply ApiReply::Error(int status, const std::string& text, const std::string& field) {
  std::string body = "{\"error\":\"" + TextEscape::Json(text) + "\",\"field\":";
  body += field.empty() ? std::string("null") : "\"" + TextEscape::Json(field) + "\"";
  return Json(status, body + "}");
}

const char* ApiReply::StatusLine() const {
  switch (status) {
    case 200: return "200 OK";
    case 201: return "201 Created";
    case 202: return "202 Accepted";
    case 400: return "400 Bad Request";
    case 401: return "401 Unauthorized";
    case 403: return "403 Forbidden";
    case 404: return "404 Not Found";
    case 405: return "405 Method Not Allowed";
    case 409: return "409 Conflict";
    case 413: return "413 Content Too Large";
    case 422: return "422 Unprocessable Content";
    default: return "500 Internal Server Error";
  }
}

}  // namespace orla

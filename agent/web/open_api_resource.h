#pragma once
// OpenApiResource: the JSON API's own description, an OpenAPI 3.1
// document of exactly the operations of ApiRoutes (a unit test holds the
// two together; a pinned validator lints the document in the tests).
// The document is agent/web/openapi.json, built into the agent as text.
//   GET openapi.json   the document
#include "api_call.h"
#include "api_reply.h"

namespace orla {

class OpenApiResource {
 public:
  static ApiReply Get(const ApiCall& call);
  // The document's text (generated from openapi.json at build time).
  static const char kDocument[];
};

}  // namespace orla

#pragma once
// ElementsResource: the managed elements in the JSON API, read from the
// registry's snapshot and changed through the registry's own calls, with
// the dialogs' rules (AddElementCheck, RenameElementCheck), texts and audit
// events (ElementChangeText):
//   GET    elements         {"elements":[ELEMENT...]} in registry order
//   GET    elements/NAME    ELEMENT; 404 when no element has the name
//   POST   elements         {"name","address","whenDown"?}: 201 ELEMENT; 400 naming the
//                           field at fault, 409 name or address in use, 422
//                           when the device cannot be recognised and bound
//                           (nothing added). An element kept although its
//                           device lacks the community or does not send its
//                           traps here answers 201 with "notice" (the
//                           registry's text).
//   PATCH  elements/NAME    {"name": NEW}: 200 ELEMENT under its new name;
//                           400, 404, 409 in the rename dialog's words
//   DELETE elements/NAME    200 {"removed": NAME}; 404
// ELEMENT: {"name","address","status","bound","reason","statusSince",
// "lastAnswered","stale"}, the times in ms since 1970 UTC (lastAnswered
// null when the device never answered).
#include "api_call.h"
#include "api_reply.h"

namespace orla {

class ElementsResource {
 public:
  static ApiReply List(const ApiCall& call);
  static ApiReply Get(const ApiCall& call);
  static ApiReply Add(const ApiCall& call);
  static ApiReply Rename(const ApiCall& call);
  static ApiReply Remove(const ApiCall& call);

  static constexpr const char* kMissingField = ApiCall::kMissingField;
  // "whenDown": what an add does when the device cannot be recognised now:
  // refuse it (422, the default) or keep it unbound ("Being recognised",
  // then "Not responding" or why), retried like any unbound element; a kept
  // add answers at once, without waiting for the device.
  static constexpr const char* kWhenDownRefuse = "refuse";
  static constexpr const char* kWhenDownKeep = "keep";
  static constexpr const char* kBadWhenDown = "This field is \"refuse\" or \"keep\".";
};

}  // namespace orla

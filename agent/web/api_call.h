#pragma once
// ApiCall: one call of the JSON API as a resource sees it, once the router
// (ApiRouter) has checked the caller's session and right and read the body:
// the {name} of its path, its body and how to write the audit event of a
// change (WebPage::RecordChange of the request: the user, the address).
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>

#include "api_reply.h"
#include "platform/text/json_value.h"

namespace orla {

class ApiCall {
 public:
  using Recorder =
      std::function<void(const std::string& what, const std::string& element, const std::string& address)>;

  std::string name;                 // the path's {name}, decoded; empty when the path has none
  const JsonValue* body = nullptr;  // the body read; null when the route takes none
  std::string text;                 // the body of a route that takes text (an upload), as sent
  std::string query;                // the query string, without "?", as sent
  Recorder recordChange;
  std::string user;                 // the signed-in user's name

  // For a route taking an object of string fields: a 400 naming the field
  // when a member is not one of `fields` or not a string, or when the body
  // is not an object; none when the body is fine.
  std::optional<ApiReply> OnlyStringFields(std::initializer_list<const char*> fields) const;
  // The string member `field`, or none when absent.
  std::optional<std::string> Field(const char* field) const;

  static constexpr const char* kNotAnObject = "The request body must be a JSON object.";
  static constexpr const char* kUnknownField = "This field is not known here.";
  static constexpr const char* kNotAString = "This field must be a string.";
};

}  // namespace orla

#pragma once
// ApiCall: one call of the JSON API as a resource sees it, once the router
// (ApiRouter) has checked the caller's session and right and read the body:
// the {name} of its path, its query string's fields, its body, how to write
// the audit event of a change (WebPage::RecordChange of the request: the
// user, the address), and the request itself for what only the web server
// library answers (its users: LibraryUsers).
//
// A route's body is checked strictly before anything is read from it:
// OnlyFields answers 400 naming the member at fault when the body is not an
// object, names a member the route does not take, or gives one a value of
// another type. The typed readers (Field, Integer, Boolean, Strings) then
// read what that check let through.
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "api_reply.h"
#include "platform/text/json_value.h"
#include "platform/zepa/zepa.h"

namespace orla {

class ApiCall {
 public:
  using Recorder =
      std::function<void(const std::string& what, const std::string& element, const std::string& address)>;
  using Query = std::function<std::optional<std::string>(const char* name)>;

  // What a member of a body must hold.
  enum class Type {
    kString,
    kInteger,  // a whole number without fraction or exponent, |n| <= kMaxInteger
    kBoolean,
    kStrings,  // an array of at most kMaxItems strings
    kObjects,  // an array of objects, each read by the route (Objects)
  };
  struct FieldSpec {
    const char* name;
    Type type;
  };

  std::string name;                 // the path's {name}, decoded; empty when the path has none
  const JsonValue* body = nullptr;  // the body read; null when the route takes none
  std::string text;                 // the body of a route that takes text (an upload), as sent
  std::string query;                // the query string, without "?", as sent
  Query queryField;                 // a field of the query string, decoded (routes without a body); may be empty
  Recorder recordChange;
  std::string user;                 // the signed-in user's name
  EXTENSION_CONTROL_BLOCK* request = nullptr;  // the call's request (not owned)

  // For a route taking an object of string fields: a 400 naming the field
  // when a member is not one of `fields` or not a string, or when the body
  // is not an object; none when the body is fine.
  std::optional<ApiReply> OnlyStringFields(std::initializer_list<const char*> fields) const;
  // The same for members of the given types.
  std::optional<ApiReply> OnlyFields(std::initializer_list<FieldSpec> fields) const;
  // The string member `field`, or none when absent.
  std::optional<std::string> Field(const char* field) const;
  // The member `field` of its type, or none when absent (or of another type).
  std::optional<long long> Integer(const char* field) const;
  std::optional<bool> Boolean(const char* field) const;
  std::optional<std::vector<std::string>> Strings(const char* field) const;
  // The items of an array of objects; none when absent.
  std::optional<std::vector<const JsonValue*>> Objects(const char* field) const;
  // The query string's field `field`, or none.
  std::optional<std::string> QueryField(const char* field) const;

  static constexpr long long kMaxInteger = 9007199254740991LL;  // 2^53 - 1: a double holds it exactly
  static constexpr size_t kMaxItems = 32;

  static constexpr const char* kNotAnObject = "The request body must be a JSON object.";
  static constexpr const char* kUnknownField = "This field is not known here.";
  static constexpr const char* kNotAString = "This field must be a string.";
  static constexpr const char* kNotAnInteger = "This field must be a whole number.";
  static constexpr const char* kNotABoolean = "This field must be true or false.";
  static constexpr const char* kNotStrings = "This field must be an array of strings.";
  static constexpr const char* kNotObjects = "This field must be an array of objects.";
  static constexpr const char* kTooManyItems = "This field holds more than 32 items.";
  static constexpr const char* kMissingField = "This field is required.";
};

}  // namespace orla

#pragma once
// Text helpers of the web server: HTML escaping, URL encoding, form fields,
// cookies, header-line parsing.
#include <string>
#include <utility>
#include <vector>

namespace orla {

class WebText {
 public:
  using HeaderList = std::vector<std::pair<std::string, std::string>>;

  // &, <, >, " and ' as character references.
  static std::string HtmlEscape(const std::string& text);
  // Every byte outside A-Z a-z 0-9 - . _ ~ as %XX.
  static std::string UrlEncode(const std::string& text);
  // The decoded value of field `name` in application/x-www-form-urlencoded
  // text; false when the field is absent.
  static bool FormField(const std::string& form, const std::string& name, std::string* value);
  // The value of cookie `name` in a Cookie header; false when absent.
  static bool CookieValue(const std::string& cookieHeader, const std::string& name, std::string* value);
  // Splits header lines ("Name: value", ended by CRLF or LF) into pairs.
  // Lines without a colon, with a name that is not an HTTP token or with
  // control characters are skipped and counted in *rejected.
  static HeaderList ParseHeaderLines(const std::string& text, int* rejected);
  // True for an HTTP header name (RFC 9110 token).
  static bool IsToken(const std::string& text);
  // A local path for a redirect after login: starts with one "/", no
  // control characters, no backslash; anything else becomes "/".
  static std::string SafeLocalPath(const std::string& path);
  // The reason phrase of an HTTP status ("Not Found"); "Error" when unknown.
  static const char* ReasonPhrase(int status);
};

}  // namespace orla

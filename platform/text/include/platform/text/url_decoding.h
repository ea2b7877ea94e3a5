#pragma once
// UrlDecoding: the one percent-decoding of URLs, query strings and form
// bodies. %HH (either case of hex digit) becomes its byte; a "%" not followed
// by two hex digits is kept as it stands; "+" is a space where the form
// encoding says so. Callers that hand the value on as a C string keep "%00"
// as it stands, so that no zero byte can cut a value short.
#include <string>
#include <string_view>

namespace orla {

class UrlDecoding {
 public:
  enum class Plus { kIsPlus, kIsSpace };
  enum class ZeroByte { kDecode, kKeepEscaped };

  static std::string Decode(std::string_view text, Plus plus, ZeroByte zero = ZeroByte::kDecode);
  // The value of one hex digit, or -1.
  static int HexDigit(char c);
};

}  // namespace orla

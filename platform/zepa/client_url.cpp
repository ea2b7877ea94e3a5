#include "client_url.h"

#include <cctype>
#include <cstdlib>

#include "platform/text/ascii_case.h"
#include "web_text.h"

namespace orla {

namespace {
bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// The target with every byte a request line may not carry as %XX: controls,
// spaces, bytes above 0x7e, the characters RFC 3986 leaves out, and a "%"
// that does not start an escape.
std::string EncodeTarget(const std::string& target) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(target.size());
  for (size_t i = 0; i < target.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(target[i]);
    const bool escape = c == '%' && i + 2 < target.size() && IsHex(target[i + 1]) && IsHex(target[i + 2]);
    const bool unsafe = c <= 0x20 || c >= 0x7f || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' ||
                        c == '`' || c == '{' || c == '|' || c == '}' || (c == '%' && !escape);
    if (unsafe) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}
}  // namespace

bool ClientUrl::Parse(const std::string& url, ClientUrl* out) {
  ClientUrl result;
  std::string rest;
  const std::string lower = AsciiCase::Lower(url.substr(0, 8));
  if (lower.rfind("https://", 0) == 0) {
    result.https = true;
    rest = url.substr(8);
  } else if (lower.rfind("http://", 0) == 0) {
    rest = url.substr(7);
  } else {
    return false;
  }
  const size_t hash = rest.find('#');
  if (hash != std::string::npos) return false;
  const size_t slash = rest.find_first_of("/?");
  std::string authority = rest.substr(0, slash);
  result.target = slash == std::string::npos ? "/" : EncodeTarget(rest.substr(slash));
  if (result.target[0] == '?') result.target = "/" + result.target;
  for (unsigned char c : authority) {
    if (c <= 0x20 || c >= 0x7f) return false;
  }
  if (authority.empty() || authority.find('@') != std::string::npos) return false;
  std::string portText;
  if (authority[0] == '[') {
    const size_t close = authority.find(']');
    if (close == std::string::npos) return false;
    result.host = authority.substr(1, close - 1);
    const std::string after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after[0] != ':') return false;
      portText = after.substr(1);
    }
    if (result.host.find_first_not_of("0123456789abcdefABCDEF:.") != std::string::npos) return false;
  } else {
    const size_t colon = authority.find(':');
    result.host = authority.substr(0, colon);
    if (colon != std::string::npos) portText = authority.substr(colon + 1);
    for (unsigned char c : result.host) {
      if (!(std::isalnum(c) || c == '-' || c == '.' || c == '_')) return false;
    }
  }
  if (result.host.empty()) return false;
  result.port = result.https ? 443 : 80;
  if (!portText.empty()) {
    if (portText.size() > 5 || portText.find_first_not_of("0123456789") != std::string::npos) return false;
    const int port = std::atoi(portText.c_str());
    if (port < 1 || port > 65535) return false;
    result.port = port;
  }
  *out = result;
  return true;
}

std::string ClientUrl::Origin() const {
  std::string origin = https ? "https://" : "http://";
  origin += host.find(':') != std::string::npos ? "[" + host + "]" : host;
  if (port != (https ? 443 : 80)) origin += ":" + std::to_string(port);
  return origin;
}

}  // namespace orla

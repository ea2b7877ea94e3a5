#include "web_text.h"

#include <cctype>

#include "platform/text/html_escape.h"
#include "platform/text/url_decoding.h"

namespace orla {

namespace {
std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}
}  // namespace

std::string WebText::HtmlEscape(const std::string& text) {
  return HtmlEscape::Text(text);
}

std::string WebText::UrlEncode(const std::string& text) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      out.push_back(static_cast<char>(c));
    } else {
      out.push_back('%');
      out.push_back(digits[c >> 4]);
      out.push_back(digits[c & 15]);
    }
  }
  return out;
}

bool WebText::FormField(const std::string& form, const std::string& name, std::string* value) {
  size_t pos = 0;
  while (pos <= form.size()) {
    size_t end = form.find('&', pos);
    if (end == std::string::npos) end = form.size();
    const std::string pair = form.substr(pos, end - pos);
    const size_t eq = pair.find('=');
    const std::string key = UrlDecoding::Decode(pair.substr(0, eq), UrlDecoding::Plus::kIsSpace);
    if (key == name) {
      *value = eq == std::string::npos ? std::string() : UrlDecoding::Decode(pair.substr(eq + 1), UrlDecoding::Plus::kIsSpace);
      return true;
    }
    pos = end + 1;
  }
  return false;
}

bool WebText::CookieValue(const std::string& cookieHeader, const std::string& name, std::string* value) {
  size_t pos = 0;
  while (pos < cookieHeader.size()) {
    size_t end = cookieHeader.find(';', pos);
    if (end == std::string::npos) end = cookieHeader.size();
    const std::string pair = Trim(cookieHeader.substr(pos, end - pos));
    const size_t eq = pair.find('=');
    if (eq != std::string::npos && pair.substr(0, eq) == name) {
      std::string v = pair.substr(eq + 1);
      if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
      *value = v;
      return true;
    }
    pos = end + 1;
  }
  return false;
}

bool WebText::IsToken(const std::string& text) {
  if (text.empty()) return false;
  for (unsigned char c : text) {
    if (std::isalnum(c)) continue;
    switch (c) {
      case '!': case '#': case '$': case '%': case '&': case '\'': case '*': case '+':
      case '-': case '.': case '^': case '_': case '`': case '|': case '~':
        continue;
      default:
        return false;
    }
  }
  return true;
}

WebText::HeaderList WebText::ParseHeaderLines(const std::string& text, int* rejected) {
  HeaderList out;
  int bad = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const size_t colon = line.find(':');
    if (colon == std::string::npos) {
      ++bad;
      continue;
    }
    const std::string name = line.substr(0, colon);
    const std::string value = Trim(line.substr(colon + 1));
    bool control = false;
    for (unsigned char c : value) {
      if ((c < 0x20 && c != '\t') || c == 0x7f) control = true;
    }
    if (!IsToken(name) || control) {
      ++bad;
      continue;
    }
    out.emplace_back(name, value);
  }
  if (rejected != nullptr) *rejected = bad;
  return out;
}

std::string WebText::SafeLocalPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return "/";
  if (path.size() > 1 && (path[1] == '/' || path[1] == '\\')) return "/";
  for (unsigned char c : path) {
    if (c < 0x20 || c == 0x7f || c == '\\') return "/";
  }
  return path;
}

const char* WebText::ReasonPhrase(int status) {
  switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 304: return "Not Modified";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 411: return "Length Required";
    case 413: return "Payload Too Large";
    case 414: return "URI Too Long";
    case 416: return "Range Not Satisfiable";
    case 417: return "Expectation Failed";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 504: return "Gateway Timeout";
    default: return "Error";
  }
}

}  // namespace orla

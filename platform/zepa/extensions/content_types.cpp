#include "content_types.h"

#include <cstring>

#include "platform/text/ascii_case.h"
#include "../web_text.h"

namespace orla {

namespace {
struct TypeEntry {
  const char* extension;
  const char* type;
};

const TypeEntry kTypes[] = {
    {"html", "text/html"},
    {"htm", "text/html"},
    {"css", "text/css"},
    {"js", "text/javascript"},
    {"mjs", "text/javascript"},
    {"json", "application/json"},
    {"xml", "text/xml"},
    {"xsl", "text/xml"},
    {"txt", "text/plain"},
    {"csv", "text/csv"},
    {"gif", "image/gif"},
    {"png", "image/png"},
    {"jpg", "image/jpeg"},
    {"jpeg", "image/jpeg"},
    {"bmp", "image/bmp"},
    {"ico", "image/vnd.microsoft.icon"},
    {"svg", "image/svg+xml"},
    {"webp", "image/webp"},
    {"pdf", "application/pdf"},
    {"zip", "application/zip"},
    {"gz", "application/gzip"},
    {"woff", "font/woff"},
    {"woff2", "font/woff2"},
    {"ttf", "font/ttf"},
    {"wasm", "application/wasm"},
    {"mib", "text/plain"},
};
}  // namespace

std::string ContentTypes::ForPath(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return "application/octet-stream";
  }
  const std::string ext = AsciiCase::Lower(path.substr(dot + 1));
  for (const TypeEntry& entry : kTypes) {
    if (ext == entry.extension) return entry.type;
  }
  return "application/octet-stream";
}

}  // namespace orla

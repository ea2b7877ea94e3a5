#include "extension_registration.h"

#include <cctype>
#include <cstring>

#include "platform/text/ascii_case.h"
#include "platform/text/string_printf.h"
#include "../web_text.h"

namespace orla {

namespace {
constexpr size_t kMaxEntries = 64;
constexpr size_t kMaxText = 64 * 1024;

bool FieldText(const char* field, size_t width, std::string* out) {
  const size_t n = strnlen(field, width);
  if (n == width) return false;  // not terminated inside its field
  out->assign(field, n);
  return true;
}

std::string CopyText(const char* text) {
  if (text == nullptr) return std::string();
  return std::string(text, strnlen(text, kMaxText));
}

bool ReadTextList(const ZEPA_TEXT_ENTRY* list, std::vector<ExtensionRegistration::Text>* out, const char* what,
                  std::string* error) {
  if (list == nullptr) return true;
  for (size_t i = 0;; ++i) {
    if (i == kMaxEntries) {
      *error = StringPrintf("the %s list has no terminating entry within %zu entries", what, kMaxEntries);
      return false;
    }
    ZEPA_TEXT_ENTRY entry;
    std::memcpy(&entry, &list[i], sizeof(entry));
    if (entry.cbSize == 0) return true;
    if (entry.cbSize != sizeof(ZEPA_TEXT_ENTRY)) {
      *error = StringPrintf("a %s entry has size %u, not %zu", what, entry.cbSize, sizeof(ZEPA_TEXT_ENTRY));
      return false;
    }
    out->push_back({CopyText(entry.lpszLanguage), CopyText(entry.lpszText)});
  }
}
}  // namespace

bool ExtensionRegistration::FromRecord(const ExtensionRecord* record, ExtensionRegistration* out,
                                       std::string* error) {
  if (record == nullptr) {
    *error = "no extension record";
    return false;
  }
  // The size first: a record of another layout must not be read further.
  uint32_t size = 0;
  std::memcpy(&size, record, sizeof(size));
  if (size != sizeof(ExtensionRecord)) {
    *error = StringPrintf("the extension record's size is %u, not %zu", size, sizeof(ExtensionRecord));
    return false;
  }
  ExtensionRecord copy;
  std::memcpy(&copy, record, sizeof(copy));
  ExtensionRegistration result;
  if (!FieldText(copy.szName, sizeof(copy.szName), &result.name) ||
      !FieldText(copy.szDirectory, sizeof(copy.szDirectory), &result.directory)) {
    *error = "a text of the extension record is not terminated";
    return false;
  }
  if (result.name.empty() || result.name.size() > 64) {
    *error = "the extension's name must have 1 to 64 characters";
    return false;
  }
  for (unsigned char c : result.name) {
    if (!(std::isalnum(c) || c == '_' || c == '-')) {
      *error = "the extension's name may hold only letters, digits, _ and -";
      return false;
    }
  }
  if (AsciiCase::Equal(result.name, "zepa")) {
    *error = "the name zepa is the library's own";
    return false;
  }
  if (result.directory.empty() || result.directory[0] != '/') {
    *error = "the extension's directory must be an absolute path";
    return false;
  }
  if (copy.pfnHttpExtensionProc == nullptr) {
    *error = "the extension has no request procedure";
    return false;
  }
  result.homePageListVersion = copy.dwHomePageListVersion;
  result.rightListVersion = copy.dwRightListVersion;
  if (!ReadTextList(copy.pHomePages, &result.homePages, "home-page", error)) return false;
  if (copy.pRights != nullptr) {
    for (size_t i = 0;; ++i) {
      if (i == kMaxEntries) {
        *error = "the access-right list has no terminating entry";
        return false;
      }
      ZEPA_RIGHT_ENTRY entry;
      std::memcpy(&entry, &copy.pRights[i], sizeof(entry));
      if (entry.cbSize == 0) break;
      if (entry.cbSize != sizeof(ZEPA_RIGHT_ENTRY)) {
        *error = StringPrintf("an access-right entry has size %u, not %zu", entry.cbSize, sizeof(ZEPA_RIGHT_ENTRY));
        return false;
      }
      Right right;
      right.name = CopyText(entry.lpszName);
      right.value = entry.dwValue;
      right.reserved1 = entry.dwReserved1;
      right.reserved2 = entry.dwReserved2;
      if (right.name.empty()) {
        *error = "an access right has no name";
        return false;
      }
      if (!ReadTextList(entry.pDescriptions, &right.descriptions, "right description", error)) return false;
      result.rights.push_back(std::move(right));
    }
  }
  result.versionCallback = copy.pfnGetExtensionVersion;
  result.requestProcedure = copy.pfnHttpExtensionProc;
  result.terminateCallback = copy.pfnTerminateExtension;
  *out = std::move(result);
  return true;
}

bool ExtensionRegistration::Owns(const std::string& path, std::string* below) const {
  const size_t n = name.size();
  if (path.size() < n + 1 || path[0] != '/') return false;
  if (!AsciiCase::Equal(path.substr(1, n), name)) return false;
  if (path.size() == n + 1) {
    below->clear();
    return true;
  }
  if (path[n + 1] != '/') return false;
  *below = path.substr(n + 2);
  return true;
}

std::string ExtensionRegistration::HomePage(const std::string& language) const {
  for (const Text& text : homePages) {
    if (AsciiCase::Equal(text.language, language)) return text.text;
  }
  return homePages.empty() ? std::string() : homePages.front().text;
}

}  // namespace orla

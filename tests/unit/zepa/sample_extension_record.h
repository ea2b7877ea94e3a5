#pragma once
// An extension record filled in as an extension fills in its own: a name, a
// folder, one home page fragment, the right "KORAccess" (value 2) with its
// description, and a request procedure. The lists live in the object, so the
// record stays valid as long as it does; a test may spoil any part of it.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/zepa/zepa.h"

namespace orla::test {

class SampleExtensionRecord {
 public:
  SampleExtensionRecord(const char* name, const std::string& directory, const char* fragment,
                        PFN_HTTPEXTENSIONPROC procedure) {
    fragments[0] = {sizeof(ZEPA_TEXT_ENTRY), "ENG", fragment};
    descriptions[0] = {sizeof(ZEPA_TEXT_ENTRY), "ENG", "Access to the KOR Page"};
    rights[0] = {sizeof(ZEPA_RIGHT_ENTRY), "KORAccess", 2, descriptions, 2, 4};
    record.dwSize = sizeof(record);
    std::snprintf(record.szName, sizeof(record.szName), "%s", name);
    std::snprintf(record.szDirectory, sizeof(record.szDirectory), "%s", directory.c_str());
    record.dwHomePageListVersion = 2;
    record.pHomePages = fragments;
    record.dwRightListVersion = 2;
    record.pRights = rights;
    record.pfnHttpExtensionProc = procedure;
  }
  SampleExtensionRecord(const SampleExtensionRecord&) = delete;
  SampleExtensionRecord& operator=(const SampleExtensionRecord&) = delete;

  ZEPA_TEXT_ENTRY fragments[2]{};  // each list ends with an empty entry
  ZEPA_TEXT_ENTRY descriptions[2]{};
  ZEPA_RIGHT_ENTRY rights[2]{};
  ExtensionRecord record{};
};

// A start-up record of server `name` on `dataDirectory`.
inline ServerStartupRecord StartupRecord(const char* name, const std::string& dataDirectory) {
  ServerStartupRecord record;
  std::memset(&record, 0, sizeof(record));
  record.dwSize = ZEPA_SERVER_STARTUP_RECORD_SIZE;
  record.dwVersion = 2;
  std::snprintf(record.szServerName, sizeof(record.szServerName), "%s", name);
  std::snprintf(record.szDataDirectory, sizeof(record.szDataDirectory), "%s", dataDirectory.c_str());
  return record;
}

}  // namespace orla::test

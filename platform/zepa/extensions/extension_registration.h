#pragma once
// The library's own copy of a registered extension: its URL root, its
// directory, its home-page fragments and access rights, taken from an
// ExtensionRecord and its lists during the registration call, and the three
// callbacks.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/zepa/zepa.h"

namespace orla {

class ExtensionRegistration {
 public:
  struct Text {
    std::string language;
    std::string text;
  };
  struct Right {
    std::string name;
    uint32_t value = 0;
    uint32_t reserved1 = 0;
    uint32_t reserved2 = 0;
    std::vector<Text> descriptions;
  };

  // Copies and checks the record: dwSize, a name of 1 to 64 characters from
  // A-Z a-z 0-9 _ - (not "zepa"), an absolute directory, well-formed lists
  // (each entry's cbSize right, at most 64 entries, all-zero terminator) and
  // the request procedure. False with *error otherwise.
  static bool FromRecord(const ExtensionRecord* record, ExtensionRegistration* out, std::string* error);

  // True when `path` is "/<name>" or lies below "/<name>/" (the root compared
  // ignoring case); *below receives the rest of the path after "/<name>/"
  // (empty for the root itself).
  bool Owns(const std::string& path, std::string* below) const;

  // The home-page fragment in `language`, else the first one, else "".
  std::string HomePage(const std::string& language) const;

  std::string name;
  std::string directory;
  uint32_t homePageListVersion = 0;
  uint32_t rightListVersion = 0;
  std::vector<Text> homePages;
  std::vector<Right> rights;
  PFN_GETEXTENSIONVERSION versionCallback = nullptr;
  PFN_HTTPEXTENSIONPROC requestProcedure = nullptr;
  PFN_TERMINATEEXTENSION terminateCallback = nullptr;
  uint32_t extensionVersion = 0;
  // A module's root: reached only by the library's own client requests.
  bool internalOnly = false;
  std::string description;
};

}  // namespace orla

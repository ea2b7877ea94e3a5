#pragma once
// The maintenance windows as the agent keeps them across restarts:
// "maintenance" in the agent directory, owner-only, rewritten whole and
// atomically (temp + fsync + rename). A first line names the format; then
// one line per window, five fields separated by tabs (TabSeparatedLine):
// the element's name, the start and the end (ms since 1970 UTC), the user
// who set it and the reason.
#include <map>
#include <string>

#include "agent/core/maintenance_window.h"
#include "agent/core/state_file.h"

namespace orla {

class MaintenanceFile {
 public:
  // The windows by element name: one window per element.
  using Windows = std::map<std::string, MaintenanceWindow>;

  static constexpr const char* kHeader = "KORAgent maintenance windows 1";

  static std::string Format(const Windows& windows);
  // Reads a file's text: true with *out filled; false, *out untouched, with
  // *error saying what is wrong and on which line.
  static bool Parse(const std::string& text, Windows* out, std::string* error);
  // Reads `path`: 0 with *out filled (empty for a missing file); otherwise
  // an error number with *error saying why (kDamaged: not this format).
  static constexpr int kDamaged = StateFile::kDamaged;
  static int Read(const std::string& path, Windows* out, std::string* error);
  // Rewrites `path` (mode 0600): 0 or the error number, the old file
  // untouched then.
  static int Write(const std::string& path, const Windows& windows);
};

}  // namespace orla

#pragma once
// WholeFile: a file's whole contents in memory, for the small files the
// server reads at once (its certificate and key, trust bundles).
#include <string>

namespace orla {

class WholeFile {
 public:
  // Reads `path` into `text`, bytes as they are; false when it cannot be
  // opened or read, or is not a regular file (RegularFile, links followed).
  static bool Read(const std::string& path, std::string* text);
};

}  // namespace orla

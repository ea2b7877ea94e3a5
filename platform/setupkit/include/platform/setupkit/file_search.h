#pragma once
// File search: the entries of one folder, and whether a path exists.
#include <string>
#include <vector>

namespace orla {

class FileSearch {
 public:
  struct Entry {
    std::string name;
    bool is_directory = false;  // a folder, or a link to one
  };

  // Every entry of `directory` except "." and "..", ordered by name without
  // regard to ASCII case (ties by byte order), so the order does not depend
  // on how the file system happens to store the folder. Empty when the
  // folder is missing or cannot be read.
  static std::vector<Entry> List(const std::string& directory);

  // True when something (file, folder, link) exists at `path`.
  static bool Exists(const std::string& path);
};

}  // namespace orla

#pragma once
// The device type files in the "devices" folder: the type list
// "devices/supported.txt" (one type name a line, in the order types are
// offered a device) and each type's settings file "devices/<type>.cfg"
// (key=value lines).
#include <istream>
#include <map>
#include <string>
#include <vector>

#include "agent/core/root_object.h"

namespace orla {

class DeviceTypeFile : public RootObject {
 public:
  // Longest line content read from either file; the rest of a longer line is
  // ignored.
  static constexpr size_t kLineLimit = 99;

  // Reads the type list at `path` into `names`: every line that does not
  // begin with a space and is not empty, without its line break. Returns 0,
  // or the errno of a failed open.
  static int ReadTypeList(const std::string& path, std::vector<std::string>* names);

  // Reads the settings file at `path`. Lines beginning with "#" and empty
  // lines are skipped; the key is the text before the first "=", matched
  // without regard to case and never trimmed; the value is the rest of the
  // line, unchanged. A later line wins over an earlier one with the same key;
  // a key with an empty value counts as absent. Returns 0, or the errno of a
  // failed open.
  int Read(const std::string& path);

  // The value of `key` (any case), or null when the file does not set it.
  const std::string* Find(const std::string& key) const;

 private:
  void ReadValues(std::istream& in);

  std::map<std::string, std::string> values_;  // keys in lower case
};

}  // namespace orla

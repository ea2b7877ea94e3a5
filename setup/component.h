#pragma once
// One installable component of the suite, as described by its "install.dat".
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orla {

class Component {
 public:
  // Back to the starting values: every text empty, size 0, flags cleared.
  void Reset();

  std::string name;           // caption of its check box ("name")
  int32_t size = 0;           // "size", kept but not used by any decision
  std::string id;             // e.g. "C100" ("id")
  std::string prerequisite;   // id it needs, or "none" ("prerequisites" / "prereqs")
  std::string directory;      // full path of its folder, no trailing "/"
  bool selected = false;      // it will be installed
  bool required = false;      // another selected component needs it
  std::string version;        // "version"; also the last name of its registry key
  std::string registry_name;  // its key name under the maker's software key ("regname")
};

// A list of components in display and installation order.
using ComponentList = std::vector<std::unique_ptr<Component>>;

}  // namespace orla

#pragma once
// The read-only registry as a directory tree: the key
// "<hive>\<k1>\<k2>\..." exists when the directory <root>/<hive>/<k1>/<k2>/...
// exists. Key names are compared without regard to ASCII case, as registry
// keys are.
#include <string>

namespace orla {

class RegistryTree {
 public:
  // Where the tree lives unless ORLA_REGISTRY_ROOT names another folder.
  static constexpr const char* kDefaultRoot = "/var/lib/orla/registry";
  static constexpr const char* kLocalMachine = "HKEY_LOCAL_MACHINE";

  explicit RegistryTree(std::string root);

  // The tree named by ORLA_REGISTRY_ROOT, or the default one.
  static RegistryTree FromEnvironment();

  // True when `subkey` (names separated by backslashes) under `hive` can be
  // opened for reading. An empty name, ".", "..", or a name holding "/" can
  // never name a key of the tree, so such a path is never found.
  bool OpenKeyForRead(const std::string& hive, const std::string& subkey) const;

  const std::string& Root() const { return root_; }

 private:
  std::string root_;
};

}  // namespace orla

#pragma once
// DiscoveryNames: the names a discovery run suggests for the devices it
// found. A name follows the element file's rule (ElementNames: at most 8
// characters, none of the forbidden ones) and is unique, regardless of
// case, against the managed elements and the names suggested before it.
// It is made from the device's own name (sysName) where it has one, else
// from its type and the last part of its address ("famib17"); a taken name
// gets a number from 2 up at its end, the name cut to fit ("tape" taken:
// "tape2"; "switch01" taken: "switch02", its first seven characters and 2).
#include <set>
#include <string>

namespace orla {

class DiscoveryNames {
 public:
  // `taken` holds the names in use, upper-cased (Key); the suggestion is
  // added to it.
  static std::string Suggest(const std::string& sysName, const std::string& typeName, const std::string& address,
                             std::set<std::string>* taken);
  // The form a name takes in `taken`.
  static std::string Key(const std::string& name);
};

}  // namespace orla

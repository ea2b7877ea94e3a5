#include "discovery_names.h"

#include <cctype>

#include "element_names.h"

namespace orla {

namespace {

// The characters of `text` a name may hold, at most ElementNames::kMaxLength.
std::string Clean(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (out.size() == ElementNames::kMaxLength) break;
    const std::string one(1, c);
    // Only printable ASCII: a device's name comes from the network.
    if (static_cast<unsigned char>(c) < 0x21 || static_cast<unsigned char>(c) > 0x7e) continue;
    if (ElementNames::HasForbidden(one)) continue;
    out += c;
  }
  return out;
}

}  // namespace

std::string DiscoveryNames::Key(const std::string& name) {
  std::string key = name;
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return key;
}

std::string DiscoveryNames::Suggest(const std::string& sysName, const std::string& typeName,
                                    const std::string& address, std::set<std::string>* taken) {
  // A device name may carry its domain: the host part names it.
  std::string base = Clean(sysName.substr(0, sysName.find('.')));
  if (base.empty()) {
    const std::string last = address.substr(address.rfind('.') + 1);
    const std::string kind = Clean(typeName.empty() ? std::string("dev") : typeName);
    base = Clean(kind.substr(0, ElementNames::kMaxLength - last.size()) + last);
  }
  std::string name = base;
  for (unsigned n = 2; taken->count(Key(name)) != 0; ++n) {
    const std::string suffix = std::to_string(n);
    name = base.substr(0, ElementNames::kMaxLength - suffix.size()) + suffix;
  }
  taken->insert(Key(name));
  return name;
}

}  // namespace orla

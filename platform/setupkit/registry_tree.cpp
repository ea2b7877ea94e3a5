#include "platform/setupkit/registry_tree.h"

#include <dirent.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace orla {

namespace {

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char ca = static_cast<unsigned char>(a[i]);
    unsigned char cb = static_cast<unsigned char>(b[i]);
    if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca - 'A' + 'a');
    if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb - 'A' + 'a');
    if (ca != cb) return false;
  }
  return true;
}

bool UsableKeyName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : path) {
    if (c == '\\') {
      parts.push_back(current);
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  parts.push_back(current);
  return parts;
}

// The child of `dir` called `name`, or one whose name differs only in ASCII
// case; empty when there is none.
std::filesystem::path FindChild(const std::filesystem::path& dir, const std::string& name) {
  std::error_code ec;
  std::filesystem::path exact = dir / name;
  if (std::filesystem::is_directory(exact, ec)) return exact;
  for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (EqualIgnoringAsciiCase(it->path().filename().string(), name) &&
        std::filesystem::is_directory(it->path(), ec)) {
      return it->path();
    }
  }
  return {};
}

}  // namespace

RegistryTree::RegistryTree(std::string root) : root_(std::move(root)) {}

RegistryTree RegistryTree::FromEnvironment() {
  const char* root = std::getenv("ORLA_REGISTRY_ROOT");
  return RegistryTree(root != nullptr && *root != '\0' ? root : kDefaultRoot);
}

bool RegistryTree::OpenKeyForRead(const std::string& hive, const std::string& subkey) const {
  std::vector<std::string> names = SplitPath(subkey);
  names.insert(names.begin(), hive);
  std::filesystem::path current(root_);
  for (const std::string& name : names) {
    if (!UsableKeyName(name)) return false;
    current = FindChild(current, name);
    if (current.empty()) return false;
  }
  // Opening the key for reading is opening its directory.
  DIR* dir = opendir(current.c_str());
  if (dir == nullptr) return false;
  closedir(dir);
  return true;
}

}  // namespace orla

#include "confined_path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <filesystem>
#include <vector>

#include "platform/text/ascii_case.h"
#include "../web_text.h"

namespace orla {

namespace {
std::vector<std::string> Segments(const std::string& path, bool backslashToo) {
  std::vector<std::string> out;
  std::string current;
  for (char c : path) {
    if (c == '/' || (backslashToo && c == '\\')) {
      out.push_back(current);
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  out.push_back(current);
  return out;
}

std::string StripTrailingSlashes(std::string dir) {
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}
}  // namespace

bool ConfinedPath::HasTraversal(const std::string& urlPath) {
  if (urlPath.find('\0') != std::string::npos) return true;
  for (const std::string& segment : Segments(urlPath, true)) {
    if (segment == "..") return true;
  }
  return false;
}

bool ConfinedPath::Translate(const std::string& directory, const std::string& below, std::string* out) {
  if (HasTraversal(below)) return false;
  std::string result = StripTrailingSlashes(directory);
  for (const std::string& segment : Segments(below, false)) {
    if (segment.empty() || segment == ".") continue;
    if (result != "/") result.push_back('/');
    result += segment;
  }
  if (!below.empty() && below.back() == '/' && result.back() != '/') result.push_back('/');
  *out = result;
  return true;
}

bool ConfinedPath::StaysInside(const std::string& directory, const std::string& path, std::string* resolved) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path dirReal = fs::weakly_canonical(fs::path(directory), ec);
  if (ec) return false;
  const fs::path real = fs::weakly_canonical(fs::path(path), ec);
  if (ec) return false;
  std::string dirText = StripTrailingSlashes(dirReal.string());
  std::string realText = StripTrailingSlashes(real.string());
  if (resolved != nullptr) *resolved = realText;
  if (realText == dirText) return true;
  if (dirText == "/") return true;
  return realText.size() > dirText.size() && realText.compare(0, dirText.size(), dirText) == 0 &&
         realText[dirText.size()] == '/';
}

bool ConfinedPath::FindIgnoringCase(const std::string& directory, const std::string& path, std::string* found) {
  const std::string dir = StripTrailingSlashes(directory);
  if (path.size() <= dir.size() || path.compare(0, dir.size(), dir) != 0 || path[dir.size()] != '/') return false;
  std::string current = dir;
  for (const std::string& segment : Segments(path.substr(dir.size() + 1), false)) {
    if (segment.empty() || segment == ".") continue;
    if (segment == "..") return false;
    const std::string exact = current + "/" + segment;
    struct stat st;
    if (::lstat(exact.c_str(), &st) == 0) {
      current = exact;
      continue;
    }
    DIR* d = ::opendir(current.c_str());
    if (d == nullptr) return false;
    std::string best;
    while (struct dirent* entry = ::readdir(d)) {
      const std::string name = entry->d_name;
      if (AsciiCase::Equal(name, segment) && (best.empty() || name < best)) best = name;
    }
    ::closedir(d);
    if (best.empty()) return false;
    current += "/" + best;
  }
  *found = current;
  return true;
}

}  // namespace orla

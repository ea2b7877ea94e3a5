#pragma once
// Maps request paths to files inside an extension's directory and keeps them
// there: no ".." segment (also when it arrived percent-encoded, since the
// path is checked after decoding), no NUL byte, and no symbolic link that
// leads out of the directory.
#include <string>

namespace orla {

class ConfinedPath {
 public:
  // True when the decoded URL path holds a ".." segment (between "/" or "\")
  // or a NUL byte.
  static bool HasTraversal(const std::string& urlPath);

  // `directory` joined with `below` (the URL path below the extension's root,
  // possibly empty), normalised: empty and "." segments dropped; a trailing
  // "/" of `below` is kept. False when `below` holds a ".." segment or a NUL.
  static bool Translate(const std::string& directory, const std::string& below, std::string* out);

  // Resolves the symbolic links of the existing part of `path` and tells
  // whether the result is `directory` itself or lies below it (the directory
  // resolved as well). *resolved receives the resolved path.
  static bool StaysInside(const std::string& directory, const std::string& path, std::string* resolved);

  // For a `path` below `directory` that does not exist as written: looks for
  // each name below `directory` ignoring case (URLs of the agent's pages are
  // matched that way), an exact name winning, else the first in sorted
  // order. True with *found when every name has a match.
  static bool FindIgnoringCase(const std::string& directory, const std::string& path, std::string* found);
};

}  // namespace orla

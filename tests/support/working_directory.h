#pragma once
// Keeps a test's current directory: remembers the one it was made in and
// goes back there when destroyed, whatever the test changed meanwhile.
#include <string>

namespace orla::test {

class WorkingDirectory {
 public:
  WorkingDirectory();
  ~WorkingDirectory();
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;

  // The current directory of the process ("" when it cannot be read).
  static std::string Current();

  // The directory the object was made in.
  const std::string& Saved() const { return saved_; }
  // Makes `path` the current directory; false when it cannot be entered.
  static bool Enter(const std::string& path);

 private:
  std::string saved_;
};

}  // namespace orla::test

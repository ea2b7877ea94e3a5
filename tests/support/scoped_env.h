#pragma once
// Sets (or removes) an environment variable for the life of the object and
// puts back what was there before. Create it before starting threads.
#include <optional>
#include <string>

namespace orla::test {

class ScopedEnv {
 public:
  // Sets `name` to `value`; without a value, removes it.
  explicit ScopedEnv(const std::string& name, const std::optional<std::string>& value = std::nullopt);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

}  // namespace orla::test

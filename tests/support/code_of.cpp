#include "tests/support/code_of.h"

#include <memory>

#include "agent/core/orla_exception.h"

namespace orla::test {

int CodeOf(const std::function<void()>& action) {
  try {
    action();
  } catch (OrlaException* e) {
    std::unique_ptr<OrlaException> owned(e);
    return owned->Code();
  }
  return 0;
}

}  // namespace orla::test

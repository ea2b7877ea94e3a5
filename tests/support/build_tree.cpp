#include "tests/support/build_tree.h"

#include <cstdlib>

namespace orla::test {

namespace {

std::string FromEnvironment(const char* name, const char* builtIn) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : builtIn;
}

}  // namespace

std::string SourceDir() { return FromEnvironment("KOR_SOURCE_DIR", KOR_SOURCE_DIR); }

std::string BinaryDir() { return FromEnvironment("KOR_BINARY_DIR", KOR_BINARY_DIR); }

}  // namespace orla::test

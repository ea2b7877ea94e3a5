#pragma once
// Where this build's sources and built files are: the KOR_SOURCE_DIR and
// KOR_BINARY_DIR environment variables CTest sets, else the folders the
// tests were built from.
#include <string>

namespace orla::test {

std::string SourceDir();
std::string BinaryDir();

}  // namespace orla::test

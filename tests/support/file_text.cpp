#include "tests/support/file_text.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace orla::test {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ReadLine(const std::string& path) {
  std::string text = ReadFile(path);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

void WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << contents;
  out.close();
  if (!out) ADD_FAILURE() << "cannot write " << path;
}

}  // namespace orla::test

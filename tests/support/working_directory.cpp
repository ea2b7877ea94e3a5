#include "tests/support/working_directory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace orla::test {

WorkingDirectory::WorkingDirectory() : saved_(Current()) {
  EXPECT_FALSE(saved_.empty()) << "the current directory cannot be read";
}

WorkingDirectory::~WorkingDirectory() {
  if (!saved_.empty()) {
    EXPECT_TRUE(Enter(saved_)) << "cannot go back to " << saved_;
  }
}

std::string WorkingDirectory::Current() {
  std::error_code ec;
  const std::filesystem::path path = std::filesystem::current_path(ec);
  return ec ? std::string() : path.string();
}

bool WorkingDirectory::Enter(const std::string& path) { return ::chdir(path.c_str()) == 0; }

}  // namespace orla::test

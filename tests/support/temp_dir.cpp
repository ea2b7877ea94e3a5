#include "tests/support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "tests/support/file_text.h"

namespace orla::test {

TempDir::TempDir() {
  std::string templ = "/tmp/kortest.XXXXXX";
  if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = templ;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void TempDir::Write(const std::string& name, const std::string& contents) const { WriteFile(File(name), contents); }

std::string TempDir::Read(const std::string& name) const { return ReadFile(File(name)); }

bool TempDir::Exists(const std::string& name) const { return std::filesystem::exists(File(name)); }

}  // namespace orla::test

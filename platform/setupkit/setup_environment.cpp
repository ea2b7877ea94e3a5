#include "platform/setupkit/setup_environment.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace orla {

namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return std::string();
  if (slash == 0) return std::string();  // the root folder: components sit under "/client"
  return path.substr(0, slash);
}

}  // namespace

std::string SetupEnvironment::BaseDirectory(const char* argv0) {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec && !exe.empty()) return FolderOf(exe.string());
  if (argv0 == nullptr) return std::string();
  std::filesystem::path given(argv0);
  if (given.is_relative()) {
    std::filesystem::path absolute = std::filesystem::absolute(given, ec);
    if (!ec) given = absolute;
  }
  return FolderOf(given.lexically_normal().string());
}

std::string SetupEnvironment::ErrorFilePath() {
  const char* path = std::getenv("ORLA_ERROR_FILE");
  return path != nullptr && *path != '\0' ? path : kDefaultErrorFile;
}

}  // namespace orla

#pragma once
// A loaded shared library (a device plug-in): dlopen with RTLD_NOW on
// construction, dlclose when the object goes. Failures are described by the
// loader's own text (dlerror).
#include <memory>
#include <string>

namespace orla {

class DynamicLibrary {
 public:
  // Loads `path`. On failure returns null and puts the loader's text into
  // `*error` (when given). A library once loaded stays in the process until
  // it ends, whatever handles are closed: plug-ins keep process-wide caches
  // (a device's units, its last reason) that outlive one recognition, and a
  // library unloaded by one thread's recognition while another thread loads
  // it again would run its static destructors beside that thread's first
  // use of the same statics.
  static std::unique_ptr<DynamicLibrary> Open(const std::string& path, std::string* error);

  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // The address of the exported symbol `name`, or null with the loader's
  // text in `*error` (when given).
  void* Symbol(const char* name, std::string* error) const;

  const std::string& Path() const { return path_; }

  // The path of the loaded file (program or shared library) that holds
  // `address`, as the loader knows it; "" when none does.
  static std::string FileContaining(const void* address);

 private:
  DynamicLibrary(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}

  void* handle_;
  std::string path_;
};

}  // namespace orla

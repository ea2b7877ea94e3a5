#include "platform/library/dynamic_library.h"

#include <dlfcn.h>

namespace orla {

namespace {

// dlerror() keeps its text per thread; read it right after the failed call.
std::string LoaderError(const char* fallback) {
  const char* text = dlerror();
  return text != nullptr ? std::string(text) : std::string(fallback);
}

}  // namespace

std::unique_ptr<DynamicLibrary> DynamicLibrary::Open(const std::string& path, std::string* error) {
  dlerror();  // clear an older text
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle == nullptr) {
    if (error != nullptr) *error = LoaderError("cannot load the library");
    return nullptr;
  }
  return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(handle, path));
}

DynamicLibrary::~DynamicLibrary() { dlclose(handle_); }

std::string DynamicLibrary::FileContaining(const void* address) {
  Dl_info info{};
  if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return std::string();
  return info.dli_fname;
}

void* DynamicLibrary::Symbol(const char* name, std::string* error) const {
  dlerror();
  void* address = dlsym(handle_, name);
  if (address == nullptr && error != nullptr) {
    *error = LoaderError("symbol not found");
  }
  return address;
}

}  // namespace orla

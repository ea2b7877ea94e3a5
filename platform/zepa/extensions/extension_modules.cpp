#include "extension_modules.h"

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "platform/text/string_printf.h"
#include "../zepa_log.h"

namespace orla {

namespace {
bool EndsWith(const std::string& text, const char* suffix) {
  const size_t n = std::strlen(suffix);
  return text.size() > n && text.compare(text.size() - n, n, suffix) == 0;
}

std::string LoaderError() {
  const char* text = dlerror();
  return text != nullptr ? text : "unknown loader error";
}
}  // namespace

ExtensionModules::~ExtensionModules() {
  if (keep_) return;
  for (auto it = handles_.rbegin(); it != handles_.rend(); ++it) dlclose(*it);
}

int ExtensionModules::LoadAll(const std::string& folder, const Registrar& registrar) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(folder.c_str())) {
    while (struct dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name[0] != '.' && EndsWith(name, ".so")) names.push_back(name);
    }
    ::closedir(dir);
  }
  std::sort(names.begin(), names.end());
  int registered = 0;
  for (const std::string& name : names) {
    const std::string path = folder + "/" + name;
    std::string error;
    if (LoadOne(path, registrar, &error)) {
      ++registered;
      ZepaLog::Write(ZepaLog::kInfo, "The web server loaded the extension module " + path + ".");
    } else {
      ZepaLog::Write(ZepaLog::kWarning,
                     StringPrintf("The web server skips the extension module %s: %s", path.c_str(), error.c_str()));
    }
  }
  return registered;
}

bool ExtensionModules::LoadOne(const std::string& path, const Registrar& registrar, std::string* error) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    *error = "not a regular file";
    return false;
  }
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    *error = "others than its owner may change it";
    return false;
  }
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    *error = LoaderError();
    return false;
  }
  auto getRecord = reinterpret_cast<PFN_GETEXTENSIONRECORD>(dlsym(handle, kRecordFunction));
  if (getRecord == nullptr) {
    *error = StringPrintf("it exports no %s", kRecordFunction);
    dlclose(handle);
    return false;
  }
  ExtensionRecord record;
  std::memset(&record, 0, sizeof(record));
  int filled = 0;
  try {
    filled = getRecord(&record);
  } catch (...) {
    filled = 0;
  }
  if (filled != 1) {
    *error = StringPrintf("its %s failed", kRecordFunction);
    dlclose(handle);
    return false;
  }
  // Callbacks the record leaves out are taken from the exports of the
  // contract's names.
  if (record.pfnGetExtensionVersion == nullptr) {
    record.pfnGetExtensionVersion = reinterpret_cast<PFN_GETEXTENSIONVERSION>(dlsym(handle, "ExtensionVersion"));
  }
  if (record.pfnHttpExtensionProc == nullptr) {
    record.pfnHttpExtensionProc = reinterpret_cast<PFN_HTTPEXTENSIONPROC>(dlsym(handle, "ExtensionRequest"));
  }
  if (record.pfnTerminateExtension == nullptr) {
    record.pfnTerminateExtension = reinterpret_cast<PFN_TERMINATEEXTENSION>(dlsym(handle, "ExtensionTerminate"));
  }
  if (!registrar(record, error)) {
    dlclose(handle);
    return false;
  }
  handles_.push_back(handle);
  return true;
}

}  // namespace orla

#include "extension_modules.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/text/string_printf.h"
#include "zepa_log.h"

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

// Why opening a file or folder without following links failed.
std::string OpenError(int error) {
  if (error == ELOOP) return "it is a symbolic link";
  if (error == ENOTDIR) return "it is not a folder";
  return StringPrintf("it cannot be opened (%s)", std::strerror(error));
}
}  // namespace

ExtensionModules::~ExtensionModules() {
  if (keep_) return;
  for (auto it = loaded_.rbegin(); it != loaded_.rend(); ++it) {
    dlclose(it->handle);
    ::close(it->fd);
  }
}

std::string ExtensionModules::Untrusted(int fd, bool folder, uid_t serverUser) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return StringPrintf("it cannot be examined (%s)", std::strerror(errno));
  if (folder ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode)) {
    return folder ? "it is not a folder" : "not a regular file";
  }
  if (st.st_uid != 0 && st.st_uid != serverUser) {
    return StringPrintf("its owner (user %u) is neither root nor the server's user (%u)",
                        static_cast<unsigned>(st.st_uid), static_cast<unsigned>(serverUser));
  }
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) return "others than its owner may change it";
  return std::string();
}

int ExtensionModules::LoadAll(const std::string& folder, const Registrar& registrar) {
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dirFd < 0) {
    // No folder, no modules: that is the usual case.
    int error = errno;
    // O_DIRECTORY with O_NOFOLLOW reports a link as no folder.
    struct stat st;
    if (error == ENOTDIR && ::lstat(folder.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) error = ELOOP;
    if (error != ENOENT) {
      ZepaLog::Write(ZepaLog::kWarning, StringPrintf("The web server loads no extension module from %s: %s",
                                                     folder.c_str(), OpenError(error).c_str()));
    }
    return 0;
  }
  const std::string why = Untrusted(dirFd, true, ::geteuid());
  if (!why.empty()) {
    ZepaLog::Write(ZepaLog::kWarning, StringPrintf("The web server loads no extension module from %s: %s",
                                                   folder.c_str(), why.c_str()));
    ::close(dirFd);
    return 0;
  }
  std::vector<std::string> names;
  const int listFd = ::dup(dirFd);
  if (DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr) {
    while (struct dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name[0] != '.' && EndsWith(name, ".so")) names.push_back(name);
    }
    ::closedir(dir);
  } else if (listFd >= 0) {
    ::close(listFd);
  }
  std::sort(names.begin(), names.end());
  int registered = 0;
  for (const std::string& name : names) {
    const std::string path = folder + "/" + name;
    std::string error;
    if (LoadOne(dirFd, name, registrar, &error)) {
      ++registered;
      ZepaLog::Write(ZepaLog::kInfo, "The web server loaded the extension module " + path + ".");
    } else {
      ZepaLog::Write(ZepaLog::kWarning,
                     StringPrintf("The web server skips the extension module %s: %s", path.c_str(), error.c_str()));
    }
  }
  ::close(dirFd);
  return registered;
}

bool ExtensionModules::LoadOne(int folder, const std::string& name, const Registrar& registrar, std::string* error) {
  // O_PATH would not do: the descriptor must stay a real open file for the
  // loader to map. O_NONBLOCK: a FIFO named like a module must not hang the
  // start (it is then refused as no regular file).
  const int fd = ::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    *error = OpenError(errno);
    return false;
  }
  *error = Untrusted(fd, false, ::geteuid());
  if (!error->empty()) {
    ::close(fd);
    return false;
  }
  void* handle = dlopen(StringPrintf("/proc/self/fd/%d", fd).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    *error = LoaderError();
    ::close(fd);
    return false;
  }
  const auto unload = [&] {
    dlclose(handle);
    ::close(fd);
  };
  auto getRecord = reinterpret_cast<PFN_GETEXTENSIONRECORD>(dlsym(handle, kRecordFunction));
  if (getRecord == nullptr) {
    *error = StringPrintf("it exports no %s", kRecordFunction);
    unload();
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
    unload();
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
    unload();
    return false;
  }
  loaded_.push_back({handle, fd});
  return true;
}

}  // namespace orla

#pragma once
// The extension modules of a server: shared libraries in its data
// directory's "extensions/" folder, loaded at start-up and registered like
// any extension (see the contract at the top of zepa.h). Only files named
// "*.so" are considered, in name order.
//
// A module runs with the server's rights, so only one nobody else could
// have written is loaded: the folder and the file must each be what they
// claim (a real folder, a regular file; no symbolic link), owned by root or
// by the server's own user, and writable by no group and no others. The
// file is opened without following links, checked through that descriptor,
// and loaded through it (/proc/self/fd/N), so that nothing can swap it
// between the check and the load. A folder that fails the check is logged
// as a WARNING naming it and why, and no module is loaded; a module that
// fails it, fails to load, lacks GetExtensionRecord, or whose record the
// server refuses is logged as a WARNING naming the file and why, and
// skipped. The modules stay loaded until the object goes, which the server
// lets happen only after their termination callbacks have run.
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/zepa/zepa.h"

namespace orla {

class ExtensionModules {
 public:
  static constexpr const char* kFolderName = "extensions";
  static constexpr const char* kRecordFunction = "GetExtensionRecord";

  // Registers one module's record; false with *error when refused.
  using Registrar = std::function<bool(const ExtensionRecord& record, std::string* error)>;

  ExtensionModules() = default;
  ~ExtensionModules();  // unloads every module
  ExtensionModules(const ExtensionModules&) = delete;
  ExtensionModules& operator=(const ExtensionModules&) = delete;

  // Loads the modules of `folder`; returns how many were registered. A
  // missing folder is no error.
  int LoadAll(const std::string& folder, const Registrar& registrar);

  // Keeps every module loaded for good (threads of a server that gave up
  // waiting may still run their code).
  void KeepLoaded() { keep_ = true; }

  // Why the opened file or folder `fd` may not be trusted with the server's
  // rights, or "" when it may: `folder` says which it must be.
  static std::string Untrusted(int fd, bool folder, uid_t serverUser);

 private:
  struct Loaded {
    void* handle;
    int fd;  // kept open while loaded: its /proc/self/fd name stays the module's own
  };

  bool LoadOne(int folder, const std::string& name, const Registrar& registrar, std::string* error);

  std::vector<Loaded> loaded_;
  bool keep_ = false;
};

}  // namespace orla

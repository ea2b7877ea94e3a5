#pragma once
// The extension modules of a server: shared libraries in its data
// directory's "extensions/" folder, loaded at start-up and registered like
// any extension (see the contract at the top of zepa.h). Only files named
// "*.so" are considered, in name order; one that is writable by group or
// others, fails to load, lacks GetExtensionRecord, or whose record the
// server refuses is logged as a WARNING and skipped. The modules stay loaded
// until the object goes, which the server lets happen only after their
// termination callbacks have run.
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

 private:
  bool LoadOne(const std::string& path, const Registrar& registrar, std::string* error);

  std::vector<void*> handles_;
  bool keep_ = false;
};

}  // namespace orla

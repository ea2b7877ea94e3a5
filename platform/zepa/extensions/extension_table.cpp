#include "extension_table.h"

#include <cstring>

#include "platform/text/ascii_case.h"
#include "../web_text.h"
#include "../zepa_log.h"

namespace orla {

bool ExtensionTable::TakenLocked(const std::string& name, std::string* error) const {
  for (const auto& other : extensions_) {
    if (AsciiCase::Equal(other->name, name)) {
      *error = "an extension named " + other->name + " is registered already";
      return true;
    }
  }
  return false;
}

bool ExtensionTable::Register(const ExtensionRecord* record, bool internalOnly, std::string* error) {
  auto registration = std::make_shared<ExtensionRegistration>();
  if (!ExtensionRegistration::FromRecord(record, registration.get(), error)) return false;
  registration->internalOnly = internalOnly;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (TakenLocked(registration->name, error)) return false;
  }
  if (registration->versionCallback != nullptr) {
    HSE_VERSION_INFO info;
    std::memset(&info, 0, sizeof(info));
    int ok = 0;
    try {
      ok = registration->versionCallback(&info);
    } catch (...) {
      ok = 0;
    }
    if (!ok) {
      *error = "the extension's version callback failed";
      return false;
    }
    registration->extensionVersion = info.dwExtensionVersion;
    registration->description.assign(info.lpszExtensionDesc,
                                     strnlen(info.lpszExtensionDesc, sizeof(info.lpszExtensionDesc)));
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (TakenLocked(registration->name, error)) return false;
  extensions_.push_back(registration);
  return true;
}

std::shared_ptr<const ExtensionRegistration> ExtensionTable::Find(const std::string& path, std::string* below) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& extension : extensions_) {
    if (extension->Owns(path, below)) return extension;
  }
  return nullptr;
}

std::vector<std::string> ExtensionTable::HomePages(const std::string& language) const {
  std::vector<std::string> fragments;
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& extension : extensions_) {
    std::string fragment = extension->HomePage(language);
    if (!fragment.empty()) fragments.push_back(fragment);
  }
  return fragments;
}

void ExtensionTable::TerminateAll() const {
  std::vector<std::shared_ptr<const ExtensionRegistration>> extensions;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    extensions = extensions_;
  }
  for (const auto& extension : extensions) {
    if (extension->terminateCallback == nullptr) continue;
    try {
      extension->terminateCallback(HSE_TERM_MUST_UNLOAD);
    } catch (...) {
      ZepaLog::Write(ZepaLog::kWarning, "The termination callback of the web extension " + extension->name +
                                            " failed with an exception.");
    }
  }
}

}  // namespace orla

#pragma once
// The extensions registered with one server, each owning a URL root
// (matched ignoring case). Registration copies the record, calls the
// extension's version callback and refuses a root that is taken.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "extension_registration.h"
#include "platform/zepa/zepa.h"

namespace orla {

class ExtensionTable {
 public:
  // `internalOnly`: the root answers only this process's own client
  // requests (extension modules).
  bool Register(const ExtensionRecord* record, bool internalOnly, std::string* error);
  // The extension owning `path`, with the rest of the path in *below.
  std::shared_ptr<const ExtensionRegistration> Find(const std::string& path, std::string* below) const;
  // Each extension's home-page fragment in `language`, in registration order.
  std::vector<std::string> HomePages(const std::string& language) const;
  // Calls every termination callback once (exceptions are logged).
  void TerminateAll() const;

 private:
  bool TakenLocked(const std::string& name, std::string* error) const;

  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<const ExtensionRegistration>> extensions_;
};

}  // namespace orla

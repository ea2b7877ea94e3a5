#include "trust_bundle.h"

#include <cstring>

#include "platform/text/atomic_file.h"
#include "platform/text/string_printf.h"
#include "whole_file.h"

namespace orla {

namespace {
constexpr const char* kSystemBundle = "/etc/ssl/certs/ca-certificates.crt";
}  // namespace

bool TrustBundle::Write(const std::string& extraFile, const std::string& bundleFile, std::string* error) {
  std::string system, own;
  const bool haveSystem = WholeFile::Read(kSystemBundle, &system);
  const bool haveOwn = WholeFile::Read(extraFile, &own);
  if (!haveSystem && !haveOwn) {
    *error = StringPrintf("cannot read %s nor %s", kSystemBundle, extraFile.c_str());
    return false;
  }
  std::string bundle = system;
  if (!bundle.empty() && bundle.back() != '\n') bundle += '\n';
  bundle += own;
  const int rc = AtomicFile::Write(bundleFile, bundle, 0644);
  if (rc != 0) {
    *error = StringPrintf("cannot write %s: %s", bundleFile.c_str(), std::strerror(rc));
    return false;
  }
  return true;
}

}  // namespace orla

#include "sml_parts.h"

#include <chrono>
#include <mutex>
#include <unordered_map>

#include "platform/text/string_printf.h"
#include "plugins/smlib/sml_library.h"

namespace orla {

namespace {

std::mutex& Mutex() {
  static std::mutex mutex;
  return mutex;
}

struct Kept {
  SmlParts parts;
  std::chrono::steady_clock::time_point read;
};

std::unordered_map<std::string, Kept>& Table() {
  static std::unordered_map<std::string, Kept> table;
  return table;
}

// Device IDs come with blanks in some places and without in others.
std::string Key(const std::string& id) {
  std::string key;
  for (char c : id) {
    if (c != ' ') key.push_back(c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c);
  }
  return key;
}

uint32_t Lookup(const std::map<std::string, uint32_t>& ids, const std::string& id) {
  const auto it = ids.find(Key(id));
  return it == ids.end() ? 0 : it->second;
}

}  // namespace

SmlParts SmlParts::Read(SmlLibrary& library) {
  SmlParts parts;
  // A drive's serial number is its package's (physicalPackage-SerialNumber
  // of the package that realizes it), as the device page shows it.
  std::map<uint32_t, std::string> packageSerials;
  library.Walk("8.2.1.4", [&](uint32_t i, const AsnAny& v) { packageSerials[i] = SmlLibrary::Text(v); });
  library.Walk("8.2.1.5", [&](uint32_t i, const AsnAny& v) {
    const int32_t drive = SmlLibrary::Integer(v, 0);
    const auto it = packageSerials.find(i);
    if (drive > 0 && it != packageSerials.end() && !it->second.empty()) {
      parts.serials[static_cast<uint32_t>(drive)] = it->second;
    }
  });
  library.Walk("6.2.1.8", [&](uint32_t i, const AsnAny& v) {
    const std::string id = SmlLibrary::Text(v);
    if (!id.empty()) parts.driveIds[Key(id)] = i;
  });
  library.Walk("11.2.1.2", [&](uint32_t i, const AsnAny& v) {
    const std::string id = SmlLibrary::Text(v);
    if (!id.empty()) parts.changerIds[Key(id)] = i;
  });
  return parts;
}

void SmlParts::Keep(const std::string& address, const SmlParts& parts) {
  std::lock_guard<std::mutex> hold(Mutex());
  Table()[address] = Kept{parts, std::chrono::steady_clock::now()};
}

bool SmlParts::Due(const std::string& address) {
  std::lock_guard<std::mutex> hold(Mutex());
  const auto it = Table().find(address);
  return it == Table().end() ||
         std::chrono::steady_clock::now() - it->second.read > std::chrono::seconds(kFreshSeconds);
}

SmlParts SmlParts::Known(const std::string& address) {
  std::lock_guard<std::mutex> hold(Mutex());
  const auto it = Table().find(address);
  return it == Table().end() ? SmlParts() : it->second.parts;
}

std::string SmlParts::Drive(uint32_t index) const {
  const auto it = serials.find(index);
  return it == serials.end() ? StringPrintf("drive %u", index)
                             : StringPrintf("drive %u (serial %s)", index, it->second.c_str());
}

uint32_t SmlParts::DriveWithId(const std::string& id) const { return Lookup(driveIds, id); }

uint32_t SmlParts::ChangerWithId(const std::string& id) const { return Lookup(changerIds, id); }

}  // namespace orla

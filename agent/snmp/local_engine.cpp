#include "agent/snmp/local_engine.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "agent/core/event_log.h"
#include "platform/snmpmgr/snmp_local_engine.h"
#include "platform/text/atomic_file.h"
#include "platform/text/regular_file.h"
#include "platform/text/setting_lines.h"
#include "platform/text/string_printf.h"

namespace orla {

namespace {

bool ParseHex(const std::string& text, std::vector<uint8_t>* out) {
  if (text.size() < 4 || text.compare(0, 2, "0x") != 0 || text.size() % 2 != 0) return false;
  std::vector<uint8_t> bytes;
  for (size_t i = 2; i < text.size(); i += 2) {
    unsigned value = 0;
    if (std::sscanf(text.c_str() + i, "%2x", &value) != 1 || !std::isxdigit(static_cast<unsigned char>(text[i])) ||
        !std::isxdigit(static_cast<unsigned char>(text[i + 1]))) {
      return false;
    }
    bytes.push_back(static_cast<uint8_t>(value));
  }
  *out = std::move(bytes);
  return true;
}

}  // namespace

std::string LocalEngine::HexId() const {
  std::string text = "0x";
  for (uint8_t b : id) text += StringPrintf("%02x", b);
  return text;
}

std::string LocalEngine::Format() const {
  return "engineID " + HexId() + "\nengineBoots " + std::to_string(boots) + "\n";
}

bool LocalEngine::Parse(const std::string& text, LocalEngine* engine, std::string* error) {
  LocalEngine parsed;
  bool haveId = false, haveBoots = false;
  const bool read = SettingLines::ForEach(text, [&](int number, const std::string& line) {
    std::istringstream fields(line);
    std::string key, value, extra;
    fields >> key >> value;
    bool ok = !(fields >> extra);
    if (ok && key == "engineID") {
      ok = ParseHex(value, &parsed.id) && parsed.id.size() >= 5 && parsed.id.size() <= 32;
      haveId = ok;
    } else if (ok && key == "engineBoots") {
      ok = !value.empty() && value.size() <= 10 && value.find_first_not_of("0123456789") == std::string::npos &&
           std::stoull(value) <= kMaxBoots;
      if (ok) parsed.boots = static_cast<uint32_t>(std::stoul(value));
      haveBoots = ok;
    } else {
      ok = false;
    }
    if (!ok) *error = StringPrintf("line %d is not \"engineID 0x<hex>\" or \"engineBoots <number>\"", number);
    return ok;
  });
  if (!read) return false;
  if (!haveId || !haveBoots) {
    *error = haveId ? "no engineBoots line" : "no engineID line";
    return false;
  }
  *engine = std::move(parsed);
  return true;
}

bool LocalEngine::Read(const std::string& path, LocalEngine* engine, bool* missing, std::string* error) {
  *missing = false;
  std::string text;
  if (const int err = RegularFile::Read(path, &text); err != 0) {
    *missing = err == ENOENT;
    *error = RegularFile::Describe(path, err);
    return false;
  }
  if (!Parse(text, engine, error)) {
    *error = path + ": " + *error;
    return false;
  }
  return true;
}

bool LocalEngine::ReadOrMake(const std::string& path, LocalEngine* engine, bool* made, std::string* error) {
  bool missing = false;
  *made = false;
  if (Read(path, engine, &missing, error)) return true;
  if (!missing) return false;
  LocalEngine fresh;
  fresh.id = SnmpMgrNewEngineId(kEnterprise);
  if (fresh.id.empty()) {
    *error = "no random octets for a new engine ID";
    return false;
  }
  const int rc = AtomicFile::Write(path, fresh.Format(), 0644);
  if (rc != 0) {
    *error = path + ": " + std::strerror(rc);
    return false;
  }
  *engine = fresh;
  *made = true;
  return true;
}

bool LocalEngine::Start(const std::string& path, LocalEngine* engine, std::string* error) {
  LocalEngine current;
  bool missing = false;
  std::string why;
  if (!Read(path, &current, &missing, &why)) {
    if (!missing) {
      // Kept for the operator; the receivers must learn the new ID.
      std::rename(path.c_str(), (path + ".bad").c_str());
      EventLog::Write(EventLog::kWarning,
                      StringPrintf("The SNMP engine file %s could not be read (%s); it was kept as %s.bad and a new "
                                   "engine ID was made. SNMPv3 trap receivers need the new ID.",
                                   path.c_str(), why.c_str(), path.c_str()));
    }
    current.id = SnmpMgrNewEngineId(kEnterprise);
    current.boots = 0;
    if (current.id.empty()) {
      *error = "no random octets for a new engine ID";
      return false;
    }
  }
  if (current.boots < kMaxBoots) ++current.boots;
  *engine = current;
  const int rc = AtomicFile::Write(path, current.Format(), 0644);
  if (rc != 0) {
    *error = path + ": " + std::strerror(rc);
    return false;
  }
  return SnmpMgrSetLocalEngine(current.id, current.boots, error);
}

}  // namespace orla

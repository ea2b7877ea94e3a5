#include "plugins/smlib/sml_library.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

#include "agent/core/agent_settings.h"
#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "agent/snmp/snmp_session.h"
#include "agent/snmp/oid_ids.h"
#include "platform/net/host_address.h"
#include "platform/text/string_printf.h"
#include "plugins/smlib/sml_values.h"

namespace orla {

namespace {

// Rows walked in one column, at most: a guard against a library that
// answers the same name again and again.
constexpr int kMaxRows = 4096;

struct Answer {
  SnmpVarBindList list{};
  ~Answer() { SnmpUtilVarBindListFree(&list); }
};

std::string Dotted(const char* suffix) { return StringPrintf("%s.%s", SmlLibrary::kRoot, suffix); }

// The worst component so far and what it is.
struct Roll {
  SmlValues::Class worst = SmlValues::kOk;
  bool anyRead = false;
  bool anyOk = false;
  std::string reason;  // the first component of the worst class
  void Note(SmlValues::Class c, const std::string& what) {
    if (!anyRead || c > worst) reason = what;
    anyRead = true;
    anyOk = anyOk || c == SmlValues::kOk;
    worst = SmlValues::Worst(worst, c);
  }
};

}  // namespace

int32_t SmlLibrary::Integer(const AsnAny& value, int32_t missing) {
  return value.asnType == ASN_INTEGER ? value.asnValue.number : missing;
}

std::string SmlLibrary::Text(const AsnAny& value) {
  if (value.asnType != ASN_OCTETSTRING || value.asnValue.string.stream == nullptr) return "";
  return SmlValues::CollapseBlanks(value.asnValue.string.stream, value.asnValue.string.length);
}

void SmlLibrary::Optional(const std::function<void()>& work) {
  if (std::unique_ptr<OrlaException> failed = OrlaException::Catch(work)) {
    if (failed->Code() == kErrTimeout || failed->Code() == kErrCommunication) throw failed.release();
  }
}

std::string SmlLibrary::Scalar(const char* suffix) {
  std::string value;
  Optional([&] {
    char* text = nullptr;
    session_->GetString(Dotted(suffix).c_str(), &text);
    std::unique_ptr<char, decltype(&std::free)> owned(text, &std::free);
    if (text != nullptr) value = SmlValues::CollapseBlanks(reinterpret_cast<const uint8_t*>(text), std::strlen(text));
  });
  return value == "deprecated" ? std::string() : value;
}

int32_t SmlLibrary::ScalarNumber(const char* suffix, int32_t missing) {
  int32_t value = missing;
  Optional([&] {
    Answer answer;
    session_->RequestGet(Dotted(suffix).c_str(), &answer.list);
    if (answer.list.len >= 1) value = Integer(answer.list.list[0].value, missing);
  });
  return value;
}

int32_t SmlLibrary::Recognize() {
  bool versioned = false;
  Optional([&] {
    Answer answer;
    session_->RequestGet(Dotted("1.0").c_str(), &answer.list);
    versioned = answer.list.len >= 1 && answer.list.list[0].value.asnType == ASN_OCTETSTRING &&
                answer.list.list[0].value.asnValue.string.length <= 4;
  });
  if (versioned) return 1;
  Answer answer;
  if (!session_->RequestGetNextInView(kRoot, &answer.list) || answer.list.len < 1) return -1;
  const std::vector<uint32_t> root = OidIds(kRoot);
  const AsnObjectIdentifier& name = answer.list.list[0].name;
  if (name.idLength <= root.size()) return -1;
  for (size_t i = 0; i < root.size(); ++i) {
    if (name.ids[i] != root[i]) return -1;
  }
  return 1;
}

void SmlLibrary::Walk(const char* column, const std::function<void(uint32_t, const AsnAny&)>& row) {
  const std::string prefix = Dotted(column);
  const std::vector<uint32_t> ids = OidIds(prefix.c_str());
  std::string next = prefix;
  for (int n = 0; n < kMaxRows; ++n) {
    Answer answer;
    if (!session_->RequestGetNextInView(next.c_str(), &answer.list) || answer.list.len < 1) return;
    const AsnObjectIdentifier& name = answer.list.list[0].name;
    if (name.idLength != ids.size() + 1) return;
    for (size_t i = 0; i < ids.size(); ++i) {
      if (name.ids[i] != ids[i]) return;
    }
    const uint32_t index = name.ids[ids.size()];
    row(index, answer.list.list[0].value);
    next = StringPrintf("%s.%u", prefix.c_str(), index);
  }
}

std::string SmlLibrary::Description() {
  std::string text = Scalar("3.5.0");
  if (text.empty()) {
    const std::string vendor = Scalar("3.3.0");
    const std::string product = Scalar("3.1.0");
    text = vendor.empty() ? product : (product.empty() ? vendor : vendor + " " + product);
  }
  if (text.empty()) text = Scalar("4.2.0");
  return text;
}

std::string SmlLibrary::Firmware() {
  std::string text = Scalar("3.4.0");
  if (!text.empty()) return text;
  int32_t row = 0;
  Optional([&] { row = session_->GetInteger(Dotted("10.10.0").c_str()); });
  return row > 0 ? Scalar(StringPrintf("9.2.1.3.%d", row).c_str()) : std::string();
}

std::string SmlLibrary::WorldWideName() {
  std::string first;
  Walk("11.2.1.2", [&](uint32_t, const AsnAny& value) {
    if (first.empty()) first = Text(value);
  });
  return first;
}

int32_t SmlLibrary::Status(std::string* reason) {
  Roll roll;
  // Drives: names for the reason, then availability, cleaning, status.
  std::map<uint32_t, std::string> drives;
  Walk("6.2.1.3", [&](uint32_t i, const AsnAny& v) { drives[i] = Text(v); });
  auto driveName = [&](uint32_t i) {
    const auto it = drives.find(i);
    return it == drives.end() || it->second.empty() ? StringPrintf("Drive %u", i)
                                                    : StringPrintf("Drive %u (%s)", i, it->second.c_str());
  };
  Walk("6.2.1.11", [&](uint32_t i, const AsnAny& v) {
    const int32_t s = Integer(v, -1);
    roll.Note(SmlValues::OperationalClass(s), driveName(i) + " " + SmlValues::OperationalText(s));
  });
  Walk("6.2.1.5", [&](uint32_t i, const AsnAny& v) {
    const int32_t a = Integer(v, -1);
    roll.Note(SmlValues::AvailabilityClass(a), driveName(i) + " " + SmlValues::AvailabilityText(a));
  });
  Walk("6.2.1.6", [&](uint32_t i, const AsnAny& v) {
    if (Integer(v, 0) == 1) roll.Note(SmlValues::kWarn, driveName(i) + " needs cleaning");
  });
  Walk("11.2.1.9", [&](uint32_t i, const AsnAny& v) {
    const int32_t s = Integer(v, -1);
    roll.Note(SmlValues::OperationalClass(s), StringPrintf("Changer %u %s", i, SmlValues::OperationalText(s).c_str()));
  });
  Walk("11.2.1.8", [&](uint32_t i, const AsnAny& v) {
    const int32_t a = Integer(v, -1);
    roll.Note(SmlValues::AvailabilityClass(a), StringPrintf("Changer %u %s", i, SmlValues::AvailabilityText(a).c_str()));
  });
  Walk("4.10.1.10", [&](uint32_t i, const AsnAny& v) {
    const int32_t s = Integer(v, -1);
    roll.Note(SmlValues::OperationalClass(s), StringPrintf("Frame %u %s", i, SmlValues::OperationalText(s).c_str()));
  });
  // Controllers and FC ports repeat the drive or changer behind them: at
  // most a warning.
  auto capped = [](SmlValues::Class c) { return c == SmlValues::kFail ? SmlValues::kWarn : c; };
  Walk("12.2.1.4", [&](uint32_t i, const AsnAny& v) {
    const int32_t s = Integer(v, -1);
    roll.Note(capped(SmlValues::OperationalClass(s)),
              StringPrintf("SCSI controller %u %s", i, SmlValues::OperationalText(s).c_str()));
  });
  Walk("15.2.1.6", [&](uint32_t i, const AsnAny& v) {
    const int32_t s = Integer(v, -1);
    roll.Note(capped(SmlValues::OperationalClass(s)),
              StringPrintf("FC port %u %s", i, SmlValues::OperationalText(s).c_str()));
  });
  Optional([&] {
    Answer answer;
    session_->RequestGet(Dotted("10.2.0").c_str(), &answer.list);
    if (answer.list.len >= 1) {
      const int32_t s = Integer(answer.list.list[0].value, -1);
      roll.Note(SmlValues::OperationalClass(s), "Library " + SmlValues::OperationalText(s));
    }
  });
  const int32_t status = SmlValues::AgentStatus(roll.worst, roll.anyRead, roll.anyOk);
  if (reason != nullptr) *reason = status == 0 ? std::string() : (roll.anyRead ? roll.reason : "No status read");
  return status;
}

bool SmlLibrary::HasTrapDestination(const std::string& address, int port) {
  std::map<uint32_t, std::string> hosts;
  Walk("16.7.1.3", [&](uint32_t i, const AsnAny& v) { hosts[i] = Text(v); });
  bool found = false;
  Walk("16.7.1.4", [&](uint32_t i, const AsnAny& v) {
    const auto it = hosts.find(i);
    if (it != hosts.end() && it->second == address && Integer(v, -1) == port) found = true;
  });
  return found;
}

void SmlLibrary::AddTrapDestination(const std::string& address, int port) {
  // Set up again, the traps are enabled again but no second row is added.
  const bool listed = HasTrapDestination(address, port);
  uint32_t last = 0;
  if (!listed) Walk("16.7.1.3", [&](uint32_t i, const AsnAny&) { last = i > last ? i : last; });
  const uint32_t row = last + 1;
  Optional([&] {
    session_->SetInteger(Dotted("16.1.0").c_str(), 1);
    if (listed) return;
    session_->SetInteger(Dotted(StringPrintf("16.7.1.2.%u", row).c_str()).c_str(), 1);
    session_->SetString(Dotted(StringPrintf("16.7.1.3.%u", row).c_str()).c_str(), address.c_str());
    session_->SetInteger(Dotted(StringPrintf("16.7.1.4.%u", row).c_str()).c_str(), port);
  });
  if (!HasTrapDestination(address, port)) {
    throw new OrlaException(
        kErrSnmpSet, 0,
        StringPrintf("The library did not accept this agent as a trap destination over SNMP. Add %s, UDP port %d, "
                     "as an SNMP (v1) trap destination in the library's own management interface and enable its "
                     "SNMP traps there.",
                     address.c_str(), port));
  }
}

bool SmlLibrary::OwnAddress(std::string* address) const {
  return HostAddress::SourceToward(session_->GetAgentAddress(), AgentSettings::Current().SnmpPort(), address);
}

}  // namespace orla

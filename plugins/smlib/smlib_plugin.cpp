// The storage media library plug-in: tape libraries that implement
// SNIA-SML-MIB (1.3.6.1.4.1.14851.3.1). The exported functions of the device
// plug-in contract, and the optional GetStatusReason.
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "agent/core/agent_settings.h"
#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "agent/devices/plugin/device_answer.h"
#include "agent/devices/plugin/device_plugin.h"
#include "agent/devices/plugin/status_reasons.h"
#include "agent/snmp/snmp_session.h"
#include "agent/snmp/trap_message.h"
#include "platform/sync/clock.h"
#include "plugins/smlib/sml_library.h"
#include "sml_trap.h"
#include "sml_wear.h"

using orla::OrlaException;
using orla::SmlLibrary;
using orla::SnmpSession;
using orla::plugin::DeviceAnswer;

namespace {

// The class codes of this plug-in's trap events: the major code names the
// family (storage media libraries), the minor code the kind of device (1, a
// library; the MIB has no finer type).
constexpr int32_t kMajorClassCode = 0x0105;
constexpr int32_t kMinorClassCode = 1;

// Runs an identity read; an unreachable library lets the error pass out
// (binding then fails), anything else answers false.
template <typename Read>
uint8_t Identity(SnmpSession* session, char* buffer, Read read) {
  return DeviceAnswer::OrNo<uint8_t>(0, [&] {
    SmlLibrary library(session);
    return DeviceAnswer::PutText(read(library), buffer);
  });
}

}  // namespace

extern "C" KOR_PLUGIN_EXPORT int32_t RecognizeDevice(SnmpSession* session) {
  return DeviceAnswer::Recognition([&] { return SmlLibrary(session).Recognize(); });
}

extern "C" KOR_PLUGIN_EXPORT uint8_t GetDeviceFirmwareVersion(SnmpSession* session, char* buffer) {
  return Identity(session, buffer, [](SmlLibrary& l) { return l.Firmware(); });
}

extern "C" KOR_PLUGIN_EXPORT uint8_t GetDeviceWorldWideName(SnmpSession* session, char* buffer) {
  return Identity(session, buffer, [](SmlLibrary& l) { return l.WorldWideName(); });
}

extern "C" KOR_PLUGIN_EXPORT uint8_t GetDeviceDescription(SnmpSession* session, char* buffer) {
  return Identity(session, buffer, [](SmlLibrary& l) { return l.Description(); });
}

extern "C" KOR_PLUGIN_EXPORT int32_t CheckTrapReceiver(SnmpSession* session) {
  SmlLibrary library(session);
  std::string address;
  if (!library.OwnAddress(&address)) return orla::plugin::kTrapsNotSentHere;
  return DeviceAnswer::OrNo<int32_t>(orla::plugin::kTrapsNotSentHere, [&] {
    return library.HasTrapDestination(address, orla::AgentSettings::Current().TrapListenPort())
               ? 1
               : orla::plugin::kTrapsNotSentHere;
  });
}

extern "C" KOR_PLUGIN_EXPORT int32_t UpdateStatus(SnmpSession* session) {
  std::string reason;
  int32_t status = orla::plugin::kStatusUnknown;
  SmlLibrary library(session);
  if (!OrlaException::Discard([&] { status = library.Status(&reason); })) {
    reason.clear();
  } else if (orla::SmlParts::Due(session->GetAgentAddress())) {
    // The parts its traps name, by the names the device page uses: read
    // by a poll the library answered, now and then (they rarely change).
    OrlaException::Discard([&] { orla::SmlParts::Keep(session->GetAgentAddress(), orla::SmlParts::Read(library)); });
  }
  orla::plugin::StatusReasons::Keep(session->GetAgentAddress(), reason);
  return status;
}

// The reason behind the status of the last UpdateStatus for the session's
// library, into `buffer` (kStatusReasonSize bytes); false when there is none.
extern "C" KOR_PLUGIN_EXPORT uint8_t GetStatusReason(SnmpSession* session, char* buffer) {
  return orla::plugin::StatusReasons::Give(session->GetAgentAddress(), buffer);
}

// The library's wear facts, read now (on the element's polling thread):
// drives, FC ports, slots and cleaning cartridges (SmlWear). A library that
// does not answer lets its failure pass out: the agent takes it as a gap.
extern "C" KOR_PLUGIN_EXPORT int32_t ReadDeviceCounters(SnmpSession* session, KorDeviceSample* samples,
                                                        int32_t capacity) {
  if (samples == nullptr || capacity <= 0) return 0;
  SmlLibrary library(session);
  return orla::SmlWear::Read(library, samples, capacity);
}

extern "C" KOR_PLUGIN_EXPORT int32_t SetTrapReceiver(SnmpSession* session, uint32_t* stamp) {
  SmlLibrary library(session);
  std::string address;
  if (!library.OwnAddress(&address)) throw new OrlaException(orla::kErrCommunication, 0, orla::kMsgCommunication);
  library.AddTrapDestination(address, orla::AgentSettings::Current().TrapListenPort());
  if (stamp != nullptr) *stamp = orla::Clock::System()->WallSeconds();
  return 1;
}

extern "C" KOR_PLUGIN_EXPORT int32_t HandleTrap(orla::TrapMessage* trap, uint8_t* data, char* message) {
  if (trap == nullptr) return orla::plugin::kDropTrap;
  return orla::SmlTrap::Describe(*trap, orla::SmlTrap::Subject(), data, orla::plugin::kTrapDataSize, message,
                                 orla::plugin::kTrapMessageSize);
}

extern "C" KOR_PLUGIN_EXPORT int32_t HandleElementTrap(const char* element, const char* address,
                                                       orla::TrapMessage* trap, uint8_t* data, char* message,
                                                       int32_t* severity) {
  if (trap == nullptr) return orla::plugin::kDropTrap;
  orla::SmlTrap::Subject subject;
  subject.element = element != nullptr ? element : "";
  subject.address = address != nullptr ? address : "";
  subject.parts = orla::SmlParts::Known(subject.address);
  return orla::SmlTrap::Describe(*trap, subject, data, orla::plugin::kTrapDataSize, message,
                                 orla::plugin::kTrapMessageSize, severity);
}

// A TapeAlert of warning severity or worse stands as a condition of its
// drive or changer (SmlTrap::Condition).
extern "C" KOR_PLUGIN_EXPORT uint8_t DescribeTrapCondition(orla::TrapMessage* trap, char* part, uint32_t* holdSeconds) {
  if (trap == nullptr || part == nullptr || holdSeconds == nullptr) return 0;
  std::string name;
  if (!orla::SmlTrap::Condition(*trap, &name, holdSeconds)) return 0;
  std::snprintf(part, orla::plugin::kTrapPartSize, "%s", name.c_str());
  return 1;
}

// The trap-target question, as the library's trap settings make it true. A
// library takes a new trap destination without a restart, and setting it up
// again adds no second row for this agent (AddTrapDestination).
extern "C" KOR_PLUGIN_EXPORT uint8_t GetTrapTargetQuestion(SnmpSession* session, char* buffer) {
  enum class Found { kUnread, kNotHere, kHere, kHereDisabled };
  Found found = Found::kUnread;
  if (session != nullptr) {
    SmlLibrary library(session);
    std::string address;
    if (library.OwnAddress(&address)) {
      OrlaException::Discard([&] {
        if (!library.HasTrapDestination(address, orla::AgentSettings::Current().TrapListenPort())) {
          found = Found::kNotHere;
        } else {
          // smlTrapsEnabled: 1 enabled, 2 disabled; a library without it sends.
          found = library.ScalarNumber("16.1.0", 1) == 2 ? Found::kHereDisabled : Found::kHere;
        }
      });
    }
  }
  const char* question =
      found == Found::kNotHere
          ? "The tape library is not currently configured to send SNMP traps to the management agent.  Do you want "
            "to add the agent to the library's trap destinations? The library is not restarted."
      : found == Found::kHere
          ? "The tape library already sends its SNMP traps to the management agent.  Do you want to set this up "
            "again anyway? No second destination is added, and the library is not restarted."
      : found == Found::kHereDisabled
          ? "The tape library lists the management agent among its trap destinations, but its SNMP traps are "
            "disabled.  Do you want to enable them? The library is not restarted."
          : "The agent could not read the tape library's trap destinations.  Do you want to add the agent to them? "
            "The library is not restarted.";
  std::snprintf(buffer, orla::plugin::kStatusReasonSize, "%s", question);
  return 1;
}

extern "C" KOR_PLUGIN_EXPORT int32_t GetDeviceMajorClassCode() { return kMajorClassCode; }

extern "C" KOR_PLUGIN_EXPORT int32_t GetDeviceMinorClassCode(SnmpSession*) { return kMinorClassCode; }

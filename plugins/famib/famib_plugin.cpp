// The Fibre Alliance MIB device plug-in: tape controllers, bridges and other
// storage units that implement FCMGMT-MIB (1.3.6.1.3.94). The exported
// functions of the device plug-in contract.
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "agent/devices/plugin/device_answer.h"
#include "agent/devices/plugin/device_plugin.h"
#include "agent/devices/plugin/status_reasons.h"
#include "agent/snmp/snmp_session.h"
#include "agent/snmp/trap_message.h"
#include "platform/sync/clock.h"
#include "fa_mib_device.h"
#include "fa_mib_trap.h"

using orla::FaMibDevice;
using orla::OrlaException;
using orla::SnmpSession;
using orla::plugin::DeviceAnswer;

namespace {

// The class codes of the event records of this plug-in's traps: the major
// code names the plug-in's device family (Fibre Channel storage units of the
// Fibre Alliance MIB), the minor code is the unit's connUnitType.
constexpr int32_t kMajorClassCode = 0x0104;

// The first unit of a device the plug-in manages (as found before, when it
// was); an OrlaException of the requests passes out, a device without units
// gives 2007.
FaMibDevice FirstUnit(SnmpSession* session) {
  FaMibDevice device(session);
  if (!device.FindFirstUnit()) {
    throw new OrlaException(orla::kErrNotRecognized, 0, orla::kMsgNotRecognized);
  }
  return device;
}

// Runs `read` on the device's first unit. When the device answers "no such
// name", the unit remembered may be gone: it is looked up anew and, if the
// device still has one, `read` runs once more on it.
template <typename Read>
auto OnFirstUnit(SnmpSession* session, Read read) {
  FaMibDevice device = FirstUnit(session);
  decltype(read(device)) result{};
  if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] { result = read(device); })) {
    if (failed->Code() != orla::kErrNotRecognized) throw failed.release();
    if (!device.FindFirstUnitAnew()) throw new OrlaException(orla::kErrNotRecognized, 0, orla::kMsgNotRecognized);
    return read(device);
  }
  return result;
}

// An identity text of the first unit; a device that answered without it
// gives false.
template <typename Read>
uint8_t Identity(SnmpSession* session, char* buffer, Read read) {
  return DeviceAnswer::OrNo<uint8_t>(0, [&] { return DeviceAnswer::PutText(OnFirstUnit(session, read), buffer); });
}

}  // namespace

extern "C" KOR_PLUGIN_EXPORT int32_t RecognizeDevice(SnmpSession* session) {
  // A device that does not answer says so; any other answer (an error
  // status, a unit without a type) means it is not one of ours.
  return DeviceAnswer::Recognition([&] {
    FaMibDevice device(session);
    // A new device at this address may have other units: always asked.
    if (!device.FindFirstUnitAnew()) return orla::plugin::kNotThisType;
    return FaMibDevice::IsClaimedType(device.UnitType()) ? 1 : orla::plugin::kNotThisType;
  });
}

// The identity texts: a device that does not answer lets the request's
// time-out pass out (binding then fails); a missing object answers false.
extern "C" KOR_PLUGIN_EXPORT uint8_t GetDeviceFirmwareVersion(SnmpSession* session, char* buffer) {
  return Identity(session, buffer, [](FaMibDevice& device) { return device.FirmwareRevision(); });
}

extern "C" KOR_PLUGIN_EXPORT uint8_t GetDeviceWorldWideName(SnmpSession* session, char* buffer) {
  return Identity(session, buffer, [](FaMibDevice& device) { return device.WorldWideName(); });
}

extern "C" KOR_PLUGIN_EXPORT uint8_t GetDeviceDescription(SnmpSession* session, char* buffer) {
  return Identity(session, buffer, [](FaMibDevice& device) { return device.Product(); });
}

// 1 when the device's trap registration table has an active row for this
// agent (the address its requests come from, the port it receives traps
// on), else 0. A device that does not answer lets the time-out pass out.
extern "C" KOR_PLUGIN_EXPORT int32_t CheckTrapReceiver(SnmpSession* session) {
  FaMibDevice device(session);
  std::string address;
  if (!device.OwnAddress(&address)) return orla::plugin::kTrapsNotSentHere;
  return DeviceAnswer::OrNo<int32_t>(orla::plugin::kTrapsNotSentHere, [&] {
    return device.TrapRegistration(address, FaMibDevice::TrapListenPort()) == FaMibDevice::kRowActive
               ? 1
               : orla::plugin::kTrapsNotSentHere;
  });
}

// The trap-target question when the device already has this agent's row:
// it says so (registering again sets the same row, no restart). Otherwise,
// and when the device does not answer, 0: the tape controller's own
// question.
extern "C" KOR_PLUGIN_EXPORT uint8_t GetTrapTargetQuestion(SnmpSession* session, char* buffer) {
  if (session == nullptr) return 0;
  const int32_t here = DeviceAnswer::Or<int32_t>(orla::plugin::kTrapsNotSentHere, [&] {
    return CheckTrapReceiver(session);
  });
  if (here == orla::plugin::kTrapsNotSentHere) return 0;
  std::snprintf(buffer, orla::plugin::kStatusReasonSize, "%s",
                "The tape controller already sends its SNMP traps to the management agent.  Do you want to register "
                "the agent with it again? The tape controller is not restarted.");
  return 1;
}

// The worst status of the device's units: failed 2, warning 1, unknown 3,
// ok 0. A device without units in use, or one that does not answer, 3.
// The reason of the last status read is kept per device address
// (StatusReasons) for GetStatusReason.

extern "C" KOR_PLUGIN_EXPORT int32_t UpdateStatus(SnmpSession* session) {
  std::string reason;
  const int32_t status = DeviceAnswer::Or<int32_t>(orla::plugin::kStatusUnknown, [&] {
    const int32_t worst = FaMibDevice(session).WorstUnitStatus(&reason);
    return worst < 0 ? orla::plugin::kStatusUnknown : worst;
  });
  if (status == orla::plugin::kStatusOk) reason.clear();
  orla::plugin::StatusReasons::Keep(session->GetAgentAddress(), reason);
  return status;
}

extern "C" KOR_PLUGIN_EXPORT uint8_t GetStatusReason(SnmpSession* session, char* buffer) {
  return orla::plugin::StatusReasons::Give(session->GetAgentAddress(), buffer);
}

// The first unit's port counters, read now (on the element's polling
// thread). A device that does not answer lets its failure pass out: the
// agent takes the poll as a gap.
extern "C" KOR_PLUGIN_EXPORT int32_t ReadDeviceCounters(SnmpSession* session, KorDeviceSample* samples,
                                                        int32_t capacity) {
  if (samples == nullptr || capacity <= 0) return 0;
  return OnFirstUnit(session, [&](FaMibDevice& device) { return device.PortCounters(samples, capacity); });
}

// Registers this agent in the device's trap registration table. A device
// that refuses (a read-only table, a full table) is reported by the
// request's OrlaException; the stamp is set only after success.
extern "C" KOR_PLUGIN_EXPORT int32_t SetTrapReceiver(SnmpSession* session, uint32_t* stamp) {
  FaMibDevice device(session);
  std::string address;
  if (!device.OwnAddress(&address)) {
    throw new OrlaException(orla::kErrCommunication, 0, orla::kMsgCommunication);
  }
  device.RegisterTrapReceiver(address, FaMibDevice::TrapListenPort());
  if (stamp != nullptr) *stamp = orla::Clock::System()->WallSeconds();
  return 1;
}

extern "C" KOR_PLUGIN_EXPORT int32_t HandleTrap(orla::TrapMessage* trap, uint8_t* data, char* message) {
  if (trap == nullptr) return orla::plugin::kDropTrap;
  return orla::FaMibTrap::Describe(*trap, orla::FaMibTrap::Subject(), data, orla::plugin::kTrapDataSize, message,
                                   orla::plugin::kTrapMessageSize);
}

extern "C" KOR_PLUGIN_EXPORT int32_t HandleElementTrap(const char* element, const char* address,
                                                       orla::TrapMessage* trap, uint8_t* data, char* message,
                                                       int32_t* severity) {
  if (trap == nullptr) return orla::plugin::kDropTrap;
  orla::FaMibTrap::Subject subject;
  subject.element = element != nullptr ? element : "";
  subject.address = address != nullptr ? address : "";
  subject.units = FaMibDevice::Units(subject.address);
  return orla::FaMibTrap::Describe(*trap, subject, data, orla::plugin::kTrapDataSize, message,
                                   orla::plugin::kTrapMessageSize, severity);
}

extern "C" KOR_PLUGIN_EXPORT int32_t GetDeviceMajorClassCode() { return kMajorClassCode; }

extern "C" KOR_PLUGIN_EXPORT int32_t GetDeviceMinorClassCode(SnmpSession* session) {
  return DeviceAnswer::Or<int32_t>(0, [&] {
    return OnFirstUnit(session, [](FaMibDevice& device) { return device.UnitType(); });
  });
}

// A device plug-in for the registry's tests: answers as the test told it
// through FakePluginControl, without any SNMP traffic. Built three times: in
// full (fake_plugin.so), without UpdateStatus and HandleTrap
// (fake_partial.so, FAKE_PARTIAL defined), and in full with traps that raise
// conditions (fake_conditions.so, FAKE_CONDITIONS defined).
#include <chrono>
#include <cstdio>
#include <ctime>

#include "agent/core/orla_exception.h"
#include "agent/devices/plugin/device_plugin.h"
#include "agent/snmp/snmp_session.h"
#include "agent/snmp/trap_message.h"
#include "tests/unit/devices/fake_plugin_control.h"

using orla::SnmpSession;
using orla::test::FakeDevice;
using orla::test::FakePluginControl;

namespace {

FakePluginControl& Control() {
  // Destroyed when the library is unloaded; the registry's tests end every
  // polling thread before that.
  static FakePluginControl control;
  return control;
}

FakeDevice DeviceOf(SnmpSession* session) {
  std::lock_guard<std::mutex> hold(Control().mutex);
  return Control().Device(session != nullptr ? session->GetAgentAddress() : "");
}

uint8_t Text(bool answer, const std::string& text, char* buffer) {
  if (!answer) return 0;
  std::snprintf(buffer, orla::plugin::kDeviceTextSize, "%s", text.c_str());
  return 1;
}

}  // namespace

extern "C" KOR_PLUGIN_EXPORT FakePluginControl* FakePluginControlBlock() { return &Control(); }

extern "C" KOR_PLUGIN_EXPORT int32_t RecognizeDevice(SnmpSession* session) {
  {
    std::lock_guard<std::mutex> hold(Control().mutex);
    ++Control().recognizeCalls;
  }
  // A type whose get community is "silent" meets a device that does not
  // answer; "stranger" one that is not of this type.
  const std::string community = session->GetCommunity();
  if (community == "silent") return 2006;
  if (community == "stranger") return -1;
  return DeviceOf(session).recognize;
}

extern "C" KOR_PLUGIN_EXPORT uint8_t GetDeviceFirmwareVersion(SnmpSession* session, char* buffer) {
  {
    std::unique_lock<std::mutex> hold(Control().mutex);
    if (Control().bindBarrier > 0) {
      ++Control().bindsInside;
      Control().changed.notify_all();
      if (Control().changed.wait_for(hold, std::chrono::seconds(5),
                                     [] { return Control().bindsInside >= Control().bindBarrier; })) {
        ++Control().bindsMet;
      }
    }
  }
  const FakeDevice device = DeviceOf(session);
  if (device.throwOnBind != 0) throw new orla::OrlaException(device.throwOnBind, 0, "fake binding failure");
  return Text(device.texts, device.firmware, buffer);
}

extern "C" KOR_PLUGIN_EXPORT uint8_t GetDeviceWorldWideName(SnmpSession* session, char* buffer) {
  const FakeDevice device = DeviceOf(session);
  return Text(device.texts, device.wwn, buffer);
}

extern "C" KOR_PLUGIN_EXPORT uint8_t GetDeviceDescription(SnmpSession* session, char* buffer) {
  const FakeDevice device = DeviceOf(session);
  return Text(device.texts, device.description, buffer);
}

extern "C" KOR_PLUGIN_EXPORT int32_t SetTrapReceiver(SnmpSession* session, uint32_t* stamp) {
  const FakeDevice device = DeviceOf(session);
  {
    std::lock_guard<std::mutex> hold(Control().mutex);
    ++Control().setTrapReceiverCalls;
  }
  if (device.throwOnSetTrap != 0) {
    throw new orla::OrlaException(device.throwOnSetTrap, 0, "An SNMP Set error has occurred.");
  }
  *stamp = device.stampToStore != 0 ? device.stampToStore : static_cast<uint32_t>(std::time(nullptr));
  return 1;
}

extern "C" KOR_PLUGIN_EXPORT int32_t GetDeviceMajorClassCode() { return 0x77; }

extern "C" KOR_PLUGIN_EXPORT int32_t GetDeviceMinorClassCode(SnmpSession* session) {
  return DeviceOf(session).minorClass;
}

extern "C" KOR_PLUGIN_EXPORT int32_t CheckTrapReceiver(SnmpSession* session) { return DeviceOf(session).check; }

#ifndef FAKE_PARTIAL

extern "C" KOR_PLUGIN_EXPORT int32_t UpdateStatus(SnmpSession* session) {
  const std::string address = session->GetAgentAddress();
  std::unique_lock<std::mutex> hold(Control().mutex);
  ++Control().updateCalls;
  ++Control().updatesByAddress[address];
  ++Control().updatesInside;
  int& inside = ++Control().insideByAddress[address];
  int& most = Control().mostInsideByAddress[address];
  if (inside > most) most = inside;
  Control().changed.notify_all();
  Control().changed.wait(hold, [&] { return !Control().holdUpdates && Control().silent.count(address) == 0; });
  --Control().updatesInside;
  --Control().insideByAddress[address];
  // Read after the hold: a test may change the answer while the call waits.
  const int32_t status = Control().Device(address).status;
  Control().changed.notify_all();
  return status;
}

extern "C" KOR_PLUGIN_EXPORT int32_t HandleTrap(orla::TrapMessage* trap, uint8_t* data, char* message) {
  if (trap->GetSpecificTrap() == 99) return -1;
  std::snprintf(message, orla::plugin::kTrapMessageSize, "fake trap %d", trap->GetSpecificTrap());
  data[0] = static_cast<uint8_t>(trap->GetSpecificTrap());
  // Scratch behind the answered length: not event data, never logged.
  data[1] = 0xEE;
  return 1;
}

#endif

#ifdef FAKE_CONDITIONS
// Enterprise-specific trap N is about drive N: a warning (critical from 50
// on) that stands as a condition of "drive:N" for an hour.
extern "C" KOR_PLUGIN_EXPORT int32_t HandleElementTrap(const char* element, const char* address,
                                                       orla::TrapMessage* trap, uint8_t* data, char* message,
                                                       int32_t* severity) {
  const int32_t drive = trap->GetSpecificTrap();
  std::snprintf(message, orla::plugin::kTrapMessageSize, "%s (%s): drive %d needs cleaning.", element, address, drive);
  data[0] = static_cast<uint8_t>(drive);
  *severity = drive >= 50 ? orla::plugin::kTrapCritical : orla::plugin::kTrapWarning;
  return 1;
}

extern "C" KOR_PLUGIN_EXPORT uint8_t DescribeTrapCondition(orla::TrapMessage* trap, char* part, uint32_t* holdSeconds) {
  std::snprintf(part, orla::plugin::kTrapPartSize, "drive:%d", trap->GetSpecificTrap());
  *holdSeconds = 3600;
  return 1;
}
#endif

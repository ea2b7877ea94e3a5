#pragma once
// The test double of a device plug-in ("fake_plugin.so") and what the tests
// set and read in it. The tests load the same library file as the registry
// and reach this block through the exported FakePluginControlBlock(), so
// both see one copy of it.
//
// Behaviour is chosen per device address; an address without entry behaves
// like the default entry.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>

namespace orla::test {

struct FakeDevice {
  int32_t recognize = 1;        // RecognizeDevice answer
  int32_t check = 1;            // CheckTrapReceiver answer
  int32_t status = 0;           // UpdateStatus answer
  int32_t throwOnBind = 0;      // GetDeviceFirmwareVersion throws this code (0: no)
  bool texts = true;            // identity texts answer true
  std::string firmware = "1.0";
  std::string wwn = "10:00:00:00:00:00:00:01";
  std::string description = "Fake tape controller";
  int32_t minorClass = 14;
  uint32_t stampToStore = 0;    // SetTrapReceiver stores this (0: the current time)
};

struct FakePluginControl {
  std::mutex mutex;
  std::condition_variable changed;
  FakeDevice defaults;
  std::map<std::string, FakeDevice> devices;  // by address

  // Counters (under `mutex`).
  int recognizeCalls = 0;
  int updateCalls = 0;
  int setTrapReceiverCalls = 0;
  std::map<std::string, int> updatesByAddress;

  // While set, UpdateStatus waits inside the plug-in until it is cleared;
  // `updatesInside` counts the calls waiting there.
  bool holdUpdates = false;
  int updatesInside = 0;
  // UpdateStatus of these addresses waits inside the plug-in (a device that
  // does not answer) until the address is taken out again.
  std::set<std::string> silent;
  // UpdateStatus calls inside the plug-in now, and the most ever seen at
  // once, per address.
  std::map<std::string, int> insideByAddress;
  std::map<std::string, int> mostInsideByAddress;
  // While above 0, GetDeviceFirmwareVersion (binding) waits until this many
  // bindings are inside it at once, at most five seconds; `bindsInside`
  // counts them, `bindsMet` those that saw the others arrive.
  int bindBarrier = 0;
  int bindsInside = 0;
  int bindsMet = 0;

  FakeDevice Device(const std::string& address) {
    auto it = devices.find(address);
    return it == devices.end() ? defaults : it->second;
  }
  void Reset() {
    std::lock_guard<std::mutex> hold(mutex);
    defaults = FakeDevice();
    devices.clear();
    recognizeCalls = updateCalls = setTrapReceiverCalls = 0;
    updatesByAddress.clear();
    holdUpdates = false;
    updatesInside = 0;
    silent.clear();
    insideByAddress.clear();
    mostInsideByAddress.clear();
    bindBarrier = bindsInside = bindsMet = 0;
  }
};

using FakePluginControlFunction = FakePluginControl* (*)();

}  // namespace orla::test

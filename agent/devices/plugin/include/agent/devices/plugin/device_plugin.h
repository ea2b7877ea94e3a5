#pragma once
// The device plug-in contract: the C functions a device-type plug-in library
// exports, looked up by these exact names and called with the C calling
// convention.
//
// A plug-in defines every function below (include this header so that the
// compiler checks the signatures) and marks each with KOR_PLUGIN_EXPORT:
//
//   #include "agent/devices/plugin/device_plugin.h"
//   extern "C" KOR_PLUGIN_EXPORT int32_t RecognizeDevice(orla::SnmpSession* session) { ... }
//
// Sessions and traps are handed over by address. The plug-in is built
// against the same SnmpSession and TrapMessage definitions as the agent and
// links the same shared libraries (korcore, korsnmp), so both sides run one
// copy of that code. A session argument is an open session to the
// element's address: the get session uses the type file's "snmpgetname"
// community, the set session its "snmpsetname" community.
//
// Errors: a function reports through its answer as described below. It may
// also let an OrlaException (thrown as a pointer, see agent/core) pass out,
// for example the time-out of an SNMP request; the agent handles it like an
// error of the calling operation. No other exception may leave a plug-in.
//
// Threads: every call but UpdateStatus runs while the agent holds its
// element registry lock. UpdateStatus also runs on the element's polling
// thread without that lock, at most one at a time per element, and may
// overlap any other call, also for the same element and session.
#include <cstdint>

namespace orla {
class SnmpSession;
class TrapMessage;
}  // namespace orla

#define KOR_PLUGIN_EXPORT __attribute__((visibility("default")))

namespace orla::plugin {

// Sizes of the buffers the agent hands to the plug-in. Texts written into
// them must fit, terminating zero included.
inline constexpr int kDeviceTextSize = 100;    // the three identity texts
inline constexpr int kTrapDataSize = 600;      // HandleTrap event data, zero-filled
inline constexpr int kTrapMessageSize = 1000;  // HandleTrap event text
inline constexpr int kStatusReasonSize = 200;  // GetStatusReason text
inline constexpr int kTrapPartSize = 64;       // DescribeTrapCondition part

// The exported names.
inline constexpr const char kRecognizeDevice[] = "RecognizeDevice";
inline constexpr const char kGetDeviceFirmwareVersion[] = "GetDeviceFirmwareVersion";
inline constexpr const char kGetDeviceWorldWideName[] = "GetDeviceWorldWideName";
inline constexpr const char kGetDeviceDescription[] = "GetDeviceDescription";
inline constexpr const char kCheckTrapReceiver[] = "CheckTrapReceiver";
inline constexpr const char kUpdateStatus[] = "UpdateStatus";
inline constexpr const char kSetTrapReceiver[] = "SetTrapReceiver";
inline constexpr const char kHandleTrap[] = "HandleTrap";
inline constexpr const char kGetDeviceMajorClassCode[] = "GetDeviceMajorClassCode";
inline constexpr const char kGetDeviceMinorClassCode[] = "GetDeviceMinorClassCode";
// Optional: a plug-in without it gives no reason.
inline constexpr const char kGetStatusReason[] = "GetStatusReason";
// Optional: the element-naming form of HandleTrap, preferred when present.
inline constexpr const char kHandleElementTrap[] = "HandleElementTrap";
// Optional: the trap-target page's question about the device.
inline constexpr const char kGetTrapTargetQuestion[] = "GetTrapTargetQuestion";
// Optional: the device's counters and wear facts, read at the polling interval.
inline constexpr const char kReadDeviceCounters[] = "ReadDeviceCounters";
// Optional: whether a received trap raises a condition no poll reports.
inline constexpr const char kDescribeTrapCondition[] = "DescribeTrapCondition";
// DescribeTrapCondition: the longest a condition may be held (a week).
inline constexpr uint32_t kTrapHoldLimitSeconds = 7 * 24 * 3600;

// ReadDeviceCounters: how many samples the agent's array holds, and what a
// sample is about (KorDeviceSample::part) and which fact it is (kind). The
// numbers are part of the contract: never renumber, only add.
inline constexpr int32_t kDeviceSampleCapacity = 4096;
inline constexpr int32_t kPartPort = 1;     // index: the port's index (connUnitPortIndex, fCPortIndex)
inline constexpr int32_t kPartDrive = 2;    // index: the drive's index
inline constexpr int32_t kPartDevice = 3;   // index 0: the device as a whole
// Port counters (kPartPort), counting up from the device's last reset.
inline constexpr int32_t kPortErrors = 1;             // all errors the device counts on the port
inline constexpr int32_t kPortCrcErrors = 2;          // frames with a bad CRC
inline constexpr int32_t kPortLinkFailures = 3;
inline constexpr int32_t kPortLossOfSync = 4;
inline constexpr int32_t kPortLossOfSignal = 5;
inline constexpr int32_t kPortInvalidTxWords = 6;     // invalid transmission words
inline constexpr int32_t kPortPrimitiveSeqErrors = 7; // primitive sequence protocol errors
inline constexpr int32_t kPortClass3Discards = 8;
inline constexpr int32_t kPortLinkResets = 9;
inline constexpr int32_t kPortTxFrames = 10;
inline constexpr int32_t kPortRxFrames = 11;
inline constexpr int32_t kPortTxOctets = 12;
inline constexpr int32_t kPortRxOctets = 13;
// Drive facts (kPartDrive).
inline constexpr int32_t kDriveMounts = 20;           // counter: media mounts
inline constexpr int32_t kDrivePowerOnHours = 21;     // gauge: hours since the last power cycle
inline constexpr int32_t kDriveTotalPowerOnHours = 22;  // counter: lifetime hours
inline constexpr int32_t kDriveNeedsCleaning = 23;    // gauge: 1 yes, 0 no
// Port state of a library's FC port (kPartPort): gauge, the device's
// operational status number (storage media library MIB: 2 ok).
inline constexpr int32_t kPortOperationalStatus = 30;
// Device facts (kPartDevice), gauges.
inline constexpr int32_t kDeviceSlots = 40;           // storage slots
inline constexpr int32_t kDeviceSlotsUsed = 41;       // storage slots holding a cartridge
inline constexpr int32_t kDeviceCleaningCartridges = 42;  // cleaning cartridges in the library

// The severities HandleElementTrap may give a trap (the event log's 0, 1, 2).
inline constexpr int32_t kTrapInfo = 0;
inline constexpr int32_t kTrapWarning = 1;
inline constexpr int32_t kTrapCritical = 2;

// Answers with a meaning to the agent.
inline constexpr int32_t kNotThisType = -1;           // RecognizeDevice: not claimed
inline constexpr int32_t kNoCommunity = -1;           // CheckTrapReceiver
inline constexpr int32_t kTrapsNotSentHere = 0;       // CheckTrapReceiver
inline constexpr int32_t kDropTrap = -1;              // HandleTrap

// Status values of UpdateStatus.
inline constexpr int32_t kStatusOk = 0;
inline constexpr int32_t kStatusDegraded = 1;
inline constexpr int32_t kStatusFailed = 2;
inline constexpr int32_t kStatusUnknown = 3;

}  // namespace orla::plugin

extern "C" {

// One fact of ReadDeviceCounters. The layout is part of the contract.
struct KorDeviceSample {
  int32_t part;     // kPartPort, kPartDrive, kPartDevice
  int32_t index;    // the port's or drive's index; 0 for the device
  int32_t kind;     // kPortCrcErrors, kDriveMounts, ...
  int32_t present;  // 1: `value` holds the fact; 0: the device does not support it
  uint64_t value;   // a counter's 64 bits, or the gauge's value
};

// Recognition, once per type tried, with a session using the type's get
// community. -1: not this type; 2004 or 2006 (the SNMP codes for "no
// communication" and "time-out"): the device did not answer; any other
// value: the device is of this type.
KOR_PLUGIN_EXPORT int32_t RecognizeDevice(orla::SnmpSession* session);

// Binding: the identity texts. `buffer` holds kDeviceTextSize bytes. Answer
// 1 (true) with the zero-terminated text in the buffer, or 0 (false) when
// the device has none; the element then keeps its previous text.
KOR_PLUGIN_EXPORT uint8_t GetDeviceFirmwareVersion(orla::SnmpSession* session, char* buffer);
KOR_PLUGIN_EXPORT uint8_t GetDeviceWorldWideName(orla::SnmpSession* session, char* buffer);
KOR_PLUGIN_EXPORT uint8_t GetDeviceDescription(orla::SnmpSession* session, char* buffer);

// Binding, last step: -1 the device lacks the expected community; 0 the
// device does not send its traps to this agent; any other value: set up.
KOR_PLUGIN_EXPORT int32_t CheckTrapReceiver(orla::SnmpSession* session);

// Every poll and update-all pass: 0 ok, 1 degraded, 2 failed, 3 unknown.
KOR_PLUGIN_EXPORT int32_t UpdateStatus(orla::SnmpSession* session);

// Optional, right after UpdateStatus on the same thread (the polling thread
// or an update-all pass): why the status just returned is not ok, e.g.
// "Drive 3 (MAKER LTO-8 SERIAL) needs cleaning". `buffer` holds
// kStatusReasonSize bytes. Answer 1 with the zero-terminated text, or 0
// when there is no reason (status ok, or none known). Must not block on the
// device: plug-ins keep the reason found by their last UpdateStatus.
KOR_PLUGIN_EXPORT uint8_t GetStatusReason(orla::SnmpSession* session, char* buffer);

// Optional, on the element's polling thread once per polling interval,
// right after UpdateStatus (never in a page request or a status pass): the
// device's counters and wear facts, read from the device now. `samples`
// holds `capacity` (kDeviceSampleCapacity) records. Answer how many were
// written (0 to capacity), or -1 when the device has none to give. A device
// that does not answer lets its OrlaException pass out: the agent takes
// that poll as a gap (no samples), never as zeros. A counter the device
// marks as unsupported is written with present 0, or left out.
KOR_PLUGIN_EXPORT int32_t ReadDeviceCounters(orla::SnmpSession* session, KorDeviceSample* samples, int32_t capacity);

// The trap-target page: make the device send its traps to this agent. With
// the set session. The plug-in may store the current time (seconds since
// 1970-01-01 00:00 UTC) in `*stamp`, which holds off the element's polls for
// 120 seconds while the device takes up its new trap destination. The
// answer is not used; a device that refuses must be reported by throwing.
KOR_PLUGIN_EXPORT int32_t SetTrapReceiver(orla::SnmpSession* session, uint32_t* stamp);

// An enterprise-specific trap from the element's address. `data` holds
// kTrapDataSize zero bytes, `message` kTrapMessageSize bytes. Answer the
// number of event data bytes written to `data` (0 to kTrapDataSize) with the
// zero-terminated event text in `message`, or -1 to drop the trap.
KOR_PLUGIN_EXPORT int32_t HandleTrap(orla::TrapMessage* trap, uint8_t* data, char* message);

// Optional, called instead of HandleTrap when the plug-in exports it: the
// same trap, data and message, with the element's name ("lib01") and its
// address ("127.0.1.17") so the text can name them first, the way every
// event about a device reads: "lib01 (127.0.1.17): TapeAlert from drive 3
// (serial 10450003): clean now (severity major).". `*severity` is -1 on
// entry; the plug-in sets it to kTrapInfo, kTrapWarning or kTrapCritical
// by what the trap says (the event log keeps writing a received trap as a
// WARNING; the console shows this severity). Same answer as HandleTrap.
KOR_PLUGIN_EXPORT int32_t HandleElementTrap(const char* element, const char* address, orla::TrapMessage* trap,
                                            uint8_t* data, char* message, int32_t* severity);

// Optional, the trap-target page: the question it asks about this device
// instead of the tape controller's (which says the device does not send its
// traps here and reboots), true to what the device says over `session` (the
// element's get session): e.g. that it already sends its traps here, or
// that a library takes a new trap destination without a restart. `buffer`
// holds kStatusReasonSize bytes; answer 1 with the text in it, 0 to have
// the tape controller's question asked. It may ask the device (the page
// waits for it), so it must answer, not throw, when the device is silent.
KOR_PLUGIN_EXPORT uint8_t GetTrapTargetQuestion(orla::SnmpSession* session, char* buffer);

// Optional, asked for an enterprise-specific trap the plug-in has just
// described (not dropped) with a warning or critical severity: whether the
// trap raises a condition of a part of the device that no status poll
// reports (a TapeAlert flag of a drive), which the agent then keeps as an
// alarm of the element for `*holdSeconds` (1 to kTrapHoldLimitSeconds), the
// time starting anew when the same part raises it again. Answer 1 with the
// part's short stable name in `part` (kTrapPartSize bytes, letters, digits,
// ":" "-" "_" ".", e.g. "drive:3:tapealert:20"), 0 when the trap raises no
// such condition (a status change, which the next poll shows anyway).
KOR_PLUGIN_EXPORT uint8_t DescribeTrapCondition(orla::TrapMessage* trap, char* part, uint32_t* holdSeconds);

// The class codes written into the event record of a received trap.
KOR_PLUGIN_EXPORT int32_t GetDeviceMajorClassCode();
KOR_PLUGIN_EXPORT int32_t GetDeviceMinorClassCode(orla::SnmpSession* session);

}  // extern "C"

namespace orla::plugin {

// The function types the agent looks up.
using RecognizeDeviceFunction = decltype(&::RecognizeDevice);
using GetDeviceTextFunction = decltype(&::GetDeviceDescription);
using CheckTrapReceiverFunction = decltype(&::CheckTrapReceiver);
using UpdateStatusFunction = decltype(&::UpdateStatus);
using SetTrapReceiverFunction = decltype(&::SetTrapReceiver);
using HandleTrapFunction = decltype(&::HandleTrap);
using GetDeviceMajorClassCodeFunction = decltype(&::GetDeviceMajorClassCode);
using GetDeviceMinorClassCodeFunction = decltype(&::GetDeviceMinorClassCode);
using GetStatusReasonFunction = decltype(&::GetStatusReason);
using HandleElementTrapFunction = decltype(&::HandleElementTrap);
using GetTrapTargetQuestionFunction = decltype(&::GetTrapTargetQuestion);
using ReadDeviceCountersFunction = decltype(&::ReadDeviceCounters);
using DescribeTrapConditionFunction = decltype(&::DescribeTrapCondition);

}  // namespace orla::plugin

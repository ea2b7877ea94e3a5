#pragma once
// The agent's error codes and their messages. Codes up to 1000 are shown to
// the web user and not logged; 2001-3000 are logged as WARNING, above 3000 as
// CRITICAL.

namespace orla {

enum ErrorCode : int {
  kErrNameInUse = 2,
  kErrNoSuchObject = 3,
  kErrNoCommunity = 4,
  kErrTrapsNotConfigured = 6,
  kErrAlreadyManaged = 7,
  kErrUnsupported = 8,
  kErrSnmpGet = 2001,
  kErrSnmpSet = 2002,
  kErrInvalidParameter = 2003,
  kErrCommunication = 2004,
  kErrTimeout = 2006,
  kErrNotRecognized = 2007,
  kErrSessionOpen = 2008,
  // An SNMPv3 security failure; the message says which ("Authentication
  // failed (SNMPv3 user kor).").
  kErrSnmpSecurity = 2009,
  kErrNoResponse = 2011,
  kErrHostInfo = 2013,
  kErrMemory = 3001,
  kErrFileSystem = 3002,
  kErrThread = 3003,
  kErrDllFunction = 3006,
};

inline constexpr const char kMsgDeviceNameInUse[] = "Device name is already in use.";
inline constexpr const char kMsgNameInUse[] = "The specified name is already in use.";
inline constexpr const char kMsgNoSuchObject[] = "No object with that name exists.";
inline constexpr const char kMsgNoCommunity[] = "The TallSpoonKit community string does not exist.";
inline constexpr const char kMsgTrapsNotConfigured[] = "The device is not properly configured to send SNMP traps.";
inline constexpr const char kMsgAlreadyManaged[] = "The specified device is already being managed.";
inline constexpr const char kMsgUnsupported[] = "The specified device is unsupported.";
inline constexpr const char kMsgSnmpGet[] = "An SNMP Get error has occurred.";
inline constexpr const char kMsgSnmpSet[] = "An SNMP Set error has occurred.";
inline constexpr const char kMsgInvalidParameter[] = "A parameter is invalid.";
inline constexpr const char kMsgCommunication[] = "Unable to communicate with managed device.";
inline constexpr const char kMsgTimeout[] = "The requested operation has timed out.";
inline constexpr const char kMsgNotRecognized[] = "The target is not a recognized device.";
inline constexpr const char kMsgSessionOpen[] = "Unable to open an SNMP session.";
inline constexpr const char kMsgNoResponse[] = "No response from target at specified address.";
inline constexpr const char kMsgHostInfo[] = "Unable to retrieve agent host information.";
inline constexpr const char kMsgMemory[] = "The system was unable to allocate memory space.";
inline constexpr const char kMsgMemoryShort[] = "Unable to allocate memory.";
inline constexpr const char kMsgFileSystem[] = "There has been a file system error.";
inline constexpr const char kMsgThread[] = "Unable to create a thread.";
inline constexpr const char kMsgDllFunction[] = "A failure has been detected in a required DLL function.";

}  // namespace orla

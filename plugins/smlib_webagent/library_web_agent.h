#pragma once
// The device web agent for tape libraries (SNIA-SML-MIB): answers one
// request under "/weblibrary/" for the library the request header lines
// name (DeviceRequest), reading it over SNMP (LibraryDeviceReader) and
// writing the page (LibraryPage). The agent's pass-through sends its
// "/KOR/WebAgent/Library/<page>" here.
//
// Pages: "index.html" (and the root), everything the library shows. The
// pages only read: a POST is refused (405). A library that does not
// answer, an address the agent does not manage and a page that does not
// exist each get a page that says so; a request that does not come from
// this host is refused (403), as the Fibre Alliance module does.
//
// Requests run side by side on the web server's threads, each with its own
// SNMP session. What the page shows comes from this module's
// DeviceReadCache: one read of a library serves every viewer who asks while
// it runs and for a few seconds after.
#include <cstdint>
#include <string>

#include "library_device_reader.h"
#include "plugins/webagent_kit/device_read_cache.h"
#include "plugins/webagent_kit/device_reply.h"
#include "platform/zepa/zepa.h"

namespace orla {

class DeviceRequest;

class LibraryWebAgent {
 public:
  // The path the module serves.
  static constexpr char kRoot[] = "/weblibrary/";

  // Answers the request and returns HSE_STATUS_SUCCESS. Never throws.
  static uint32_t Answer(EXTENSION_CONTROL_BLOCK* ecb);

  enum class Kind { kLibrary };
  // One read of a library; errorCode 0 when it succeeded, else the SNMP
  // error code of the session's exception, with its message.
  struct Reading {
    LibraryDeviceReader::Library library;
    bool isLibrary = false;  // the device implements the MIB
    int errorCode = 0;
    std::string errorMessage;
  };
  using ReadCache = DeviceReadCache<Reading, Kind>;

 private:
  static DeviceReply Build(const DeviceRequest& request);
  static Reading Read(const DeviceRequest& request);
};

}  // namespace orla

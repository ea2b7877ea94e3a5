#pragma once
// The device web agent for Fibre Alliance MIB devices: answers one request
// under "/webagent/Fibre/" for the device the request header lines name
// (DeviceRequest), reading and setting the device over SNMP
// (FibreDeviceReader) and writing the page (FibrePage).
//
// Pages: "index.html" (and the root) the overview of every unit with its
// contact and location form; "status.html" each unit's status and state;
// "ports.html" the units' ports; "events.html" their recent events. A POST
// to "index.html" sets the posted unit's connUnitContact and
// connUnitLocation with the set community, then shows the overview with the
// outcome. A device that does not answer, an address the agent does not
// manage and a page that does not exist each get a page that says so. A
// request that does not come from this host is refused (403): the agent's
// client requests come from this host.
//
// Requests run side by side on the web server's threads, each with its own
// SNMP sessions. What a page shows comes from the shared DeviceReadCache:
// one read of a device serves every viewer who asks while it runs and for a
// few seconds after; a POST drops the device's readings, so the page after a
// change shows the device as it is.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "fibre_device_reader.h"
#include "plugins/webagent_kit/device_read_cache.h"
#include "plugins/webagent_kit/device_reply.h"
#include "platform/zepa/zepa.h"

namespace orla {

class DeviceRequest;

class FibreWebAgent {
 public:
  // Answers the request and returns HSE_STATUS_SUCCESS. Never throws.
  static uint32_t Answer(EXTENSION_CONTROL_BLOCK* ecb);

  // connUnitContact and connUnitLocation hold at most this many characters.
  static constexpr size_t kMaxText = 79;

  // The kinds of page; each reads the units, ports and events add theirs.
  enum class Kind { kUnits, kPorts, kEvents };

  // One read of a device. errorCode is 0 when the read succeeded, else the
  // SNMP error code of the session's exception, with its message.
  struct Reading {
    std::vector<FibreDeviceReader::Unit> units;
    bool hasPorts = false;
    bool hasEvents = false;
    std::vector<std::pair<FibreDeviceReader::Unit, std::vector<FibreDeviceReader::Port>>> ports;
    std::vector<std::pair<FibreDeviceReader::Unit, std::vector<FibreDeviceReader::Event>>> events;
    int errorCode = 0;
    std::string errorMessage;
  };
  using ReadCache = DeviceReadCache<Reading, Kind>;

 private:
  static DeviceReply Build(const DeviceRequest& request);
  // One read of the request's device for a page of `kind`; an SNMP failure
  // is part of the reading.
  static Reading Read(const DeviceRequest& request, Kind kind);
};

}  // namespace orla

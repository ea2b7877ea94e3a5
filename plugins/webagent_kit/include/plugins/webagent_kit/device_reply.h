#pragma once
// One answer of a device web agent module: an HTTP status and a page,
// sent as "text/html; charset=utf-8" with "Cache-Control: no-store" (a
// device page always shows the device as read, never a browser's copy).
//
// Answer runs a module's page builder and sends what it gives; an exception
// (an OrlaException pointer or a std::exception) becomes a 500 page with
// its message, so a module's request callback never throws. The refusals
// every module makes before reading a device live here too, so both
// modules say them in the same words.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/zepa/zepa.h"

namespace orla {

class DevicePage;
class DeviceRequest;

class DeviceReply {
 public:
  int status = 200;
  std::string html;

  // Builds the answer with `build`, sends it on `ecb` and returns
  // HSE_STATUS_SUCCESS.
  static uint32_t Answer(EXTENSION_CONTROL_BLOCK* ecb, const std::function<DeviceReply()>& build);

  // 403 for a request that did not come from this host; none otherwise.
  static std::optional<DeviceReply> Foreign(const DeviceRequest& request);
  // 400 for a request that names no device address; "Device not managed"
  // for an address the agent gave no community for (nothing is asked of
  // the device); none when the device can be read.
  static std::optional<DeviceReply> Unreadable(const DeviceRequest& request, const DevicePage& page);
  // 404 for a page the module does not have.
  static DeviceReply NotFound(const DeviceRequest& request, const DevicePage& page);

 private:
  static void Send(EXTENSION_CONTROL_BLOCK* ecb, const DeviceReply& reply);
};

}  // namespace orla

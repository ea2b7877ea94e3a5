#include "library_web_agent.h"

#include <memory>
#include <optional>

#include "agent/snmp/snmp_session.h"
#include "plugins/smlib/sml_library.h"
#include "plugins/webagent_kit/device_request.h"
#include "library_page.h"

namespace orla {

DeviceReply LibraryWebAgent::Build(const DeviceRequest& request) {
  if (std::optional<DeviceReply> refused = DeviceReply::Foreign(request)) return *refused;
  LibraryPage page(request.Device(), request.Machine());
  page.SetMayChange(request.MayChange());
  if (!request.Page().empty() && request.Page() != "index.html") return DeviceReply::NotFound(request, page);
  if (request.IsPost()) return {405, page.Message("Not allowed", "The library pages change nothing on the device.")};
  if (std::optional<DeviceReply> refused = DeviceReply::Unreadable(request, page)) return *refused;
  const std::shared_ptr<const Reading> reading = ReadCache::Shared().Get(
      request.Machine(), request.Community(), Kind::kLibrary, [&request] { return Read(request); });
  if (reading->errorCode != 0) return {200, page.Failure(reading->errorCode, reading->errorMessage)};
  if (!reading->isLibrary) {
    return {200, page.Message("No storage media library",
                              "The device at " + LibraryPage::Escape(request.Machine()) +
                                  " answers, but does not implement the storage media library MIB.")};
  }
  return {200, page.Overview(reading->library)};
}

LibraryWebAgent::Reading LibraryWebAgent::Read(const DeviceRequest& request) {
  return ReadCache::Made([&](Reading* reading) {
    std::unique_ptr<SnmpSession> session = request.OpenSession(request.Community());
    reading->isLibrary = SmlLibrary(session.get()).Recognize() == 1;
    if (reading->isLibrary) reading->library = LibraryDeviceReader(session.get()).Read();
  });
}

uint32_t LibraryWebAgent::Answer(EXTENSION_CONTROL_BLOCK* ecb) {
  return DeviceReply::Answer(ecb, [ecb] { return Build(DeviceRequest(ecb, kRoot)); });
}

}  // namespace orla

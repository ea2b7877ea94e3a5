#include "plugins/webagent_kit/device_reply.h"

#include <exception>
#include <memory>

#include "agent/core/orla_exception.h"
#include "plugins/webagent_kit/device_page.h"
#include "plugins/webagent_kit/device_request.h"

namespace orla {

std::optional<DeviceReply> DeviceReply::Foreign(const DeviceRequest& request) {
  if (request.FromThisHost()) return std::nullopt;
  return DeviceReply{403, DevicePage("", "").Message("Forbidden", "The device web agent answers the agent only.")};
}

std::optional<DeviceReply> DeviceReply::Unreadable(const DeviceRequest& request, const DevicePage& page) {
  if (!DeviceRequest::IsPlainHost(request.Machine())) {
    return DeviceReply{400, page.Message("No device", "The request did not name a device address.")};
  }
  if (request.Community().empty()) {
    return DeviceReply{200, page.Message("Device not managed",
                                         "The agent does not manage a device at " +
                                             DevicePage::Escape(request.Machine()) +
                                             ", so it has no SNMP community to ask it with. Add the device to the "
                                             "agent's list first.")};
  }
  return std::nullopt;
}

DeviceReply DeviceReply::NotFound(const DeviceRequest& request, const DevicePage& page) {
  return {404, page.Message("Page not found", "The device web agent has no page " + DevicePage::Escape(request.Page()) +
                                                  ".")};
}

void DeviceReply::Send(EXTENSION_CONTROL_BLOCK* ecb, const DeviceReply& reply) {
  const std::string status = reply.status == 200   ? "200 OK"
                             : reply.status == 400 ? "400 Bad Request"
                             : reply.status == 403 ? "403 Forbidden"
                             : reply.status == 404 ? "404 Not Found"
                             : reply.status == 405 ? "405 Method Not Allowed"
                                                   : "500 Internal Server Error";
  std::string header = "Content-Type: text/html; charset=utf-8\r\nCache-Control: no-store\r\n\r\n";
  uint32_t size = static_cast<uint32_t>(header.size());
  ecb->ServerSupportFunction(ecb->ConnID, HSE_REQ_SEND_RESPONSE_HEADER, const_cast<char*>(status.c_str()), &size,
                             reinterpret_cast<uint32_t*>(header.data()));
  uint32_t length = static_cast<uint32_t>(reply.html.size());
  ecb->WriteClient(ecb->ConnID, reply.html.data(), &length, 0);
}

uint32_t DeviceReply::Answer(EXTENSION_CONTROL_BLOCK* ecb, const std::function<DeviceReply()>& build) {
  DeviceReply reply;
  try {
    reply = build();
  } catch (OrlaException* e) {
    std::unique_ptr<OrlaException> owned(e);
    reply = {500, DevicePage("", "").Message("Device web agent error", DevicePage::Escape(e->Message()))};
  } catch (const std::exception& e) {
    reply = {500, DevicePage("", "").Message("Device web agent error", DevicePage::Escape(e.what()))};
  }
  Send(ecb, reply);
  return HSE_STATUS_SUCCESS;
}

}  // namespace orla

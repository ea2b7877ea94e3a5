#include "fibre_web_agent.h"

#include <exception>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "agent/snmp/snmp_session.h"
#include "platform/text/string_printf.h"
#include "device_read_cache.h"
#include "device_request.h"
#include "fibre_device_reader.h"
#include "fibre_page.h"

namespace orla {

namespace {

using Unit = FibreDeviceReader::Unit;

std::unique_ptr<SnmpSession> OpenSession(const DeviceRequest& request, const std::string& community) {
  auto session = std::make_unique<SnmpSession>(request.Machine().c_str(), community.c_str());
  session->SetTimeoutMilliseconds(request.TimeoutMilliseconds());
  session->SetRetries(request.Retries());
  return session;
}

bool IsSilence(int code) { return code == kErrTimeout || code == kErrCommunication || code == kErrSessionOpen; }

// A contact or location text the device can take: at most 79 characters,
// none of them a control character.
bool IsDisplayText(const std::string& text) {
  if (text.size() > FibreWebAgent::kMaxText) return false;
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7f) return false;
  }
  return true;
}

// Applies a posted contact and location change; the notice tells how it went.
FibrePage::Notice ApplyChange(const DeviceRequest& request, SnmpSession* getSession) {
  const std::optional<std::string> unitKey = request.Field("unit");
  const std::optional<std::string> contact = request.Field("contact");
  const std::optional<std::string> location = request.Field("location");
  if (!unitKey || (!contact && !location)) return {"The form did not name a unit and a new contact or location.", true};
  if ((contact && !IsDisplayText(*contact)) || (location && !IsDisplayText(*location))) {
    return {"Contact and location may hold at most 79 characters each, on one line.", true};
  }
  if (request.SetCommunity().empty()) {
    return {"No change was made: the agent gave no SNMP set community for this device.", true};
  }
  FibreDeviceReader reader(getSession);
  Unit unit;
  if (!reader.FindUnit(*unitKey, &unit)) return {"No change was made: the device has no such unit.", true};
  std::unique_ptr<SnmpSession> setSession = OpenSession(request, request.SetCommunity());
  FibreDeviceReader writer(setSession.get());
  if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] {
    if (contact && *contact != unit.contact) writer.SetContact(unit, *contact);
    if (location && *location != unit.location) writer.SetLocation(unit, *location);
  })) {
    if (IsSilence(failed->Code())) {
      return {"The device did not answer the change (it may not accept the set community).", true};
    }
    return {"The device refused the change: " + failed->Message(), true};
  }
  return {"Contact and location saved.", false};
}

// The page for a device that failed an SNMP request with `code`.
std::string FailurePage(const FibrePage& page, const DeviceRequest& request, int code, const std::string& message) {
  if (IsSilence(code)) {
    return page.Message("Device not answering", "The device at " + FibrePage::Escape(request.Machine()) +
                                                    " did not answer over SNMP. It may be switched off or "
                                                    "unreachable, or it may not accept the community of its "
                                                    "device type. (" +
                                                    FibrePage::Escape(message) + ")");
  }
  return page.Message("Device error", "The device at " + FibrePage::Escape(request.Machine()) +
                                          " answered with an error: " + FibrePage::Escape(message));
}

}  // namespace

FibreWebAgent::Reply FibreWebAgent::Build(const DeviceRequest& request) {
  if (!request.FromThisHost()) {
    return {403, FibrePage("", "").Message("Forbidden", "The device web agent answers the agent only.")};
  }
  FibrePage page(request.Device(), request.Machine());
  std::string name = request.Page();
  if (name.empty()) name = "index.html";
  if (name != "index.html" && name != "status.html" && name != "ports.html" && name != "events.html") {
    return {404, page.Message("Page not found", "The device web agent has no page " +
                                                    FibrePage::Escape(name) + ".")};
  }
  if (request.IsPost() && name != "index.html") {
    return {405, page.Message("Not allowed", "Changes are posted to the overview page only.")};
  }
  if (!DeviceRequest::IsPlainHost(request.Machine())) {
    return {400, page.Message("No device", "The request did not name a device address.")};
  }
  if (request.Community().empty()) {
    return {200, page.Message("Device not managed",
                              "The agent does not manage a device at " + FibrePage::Escape(request.Machine()) +
                                  ", so it has no SNMP community to ask it with. Add the device to the "
                                  "agent's list first.")};
  }

  std::optional<FibrePage::Notice> notice;
  if (request.IsPost()) {
    if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] {
      std::unique_ptr<SnmpSession> session = OpenSession(request, request.Community());
      notice = ApplyChange(request, session.get());
    })) {
      DeviceReadCache::Shared().Drop(request.Machine());
      return {200, FailurePage(page, request, failed->Code(), failed->Message())};
    }
    // What viewers were shown may no longer be what the device holds.
    DeviceReadCache::Shared().Drop(request.Machine());
  }
  const DeviceReadCache::Kind kind = name == "ports.html"    ? DeviceReadCache::Kind::kPorts
                                     : name == "events.html" ? DeviceReadCache::Kind::kEvents
                                                             : DeviceReadCache::Kind::kUnits;
  const std::shared_ptr<const DeviceReadCache::Reading> reading =
      DeviceReadCache::Shared().Get(request.Machine(), request.Community(), kind,
                                    [&request, kind] { return Read(request, kind); });
  if (reading->errorCode != 0) return {200, FailurePage(page, request, reading->errorCode, reading->errorMessage)};
  if (reading->units.empty()) {
    return {200, page.Message("No Fibre Alliance MIB units",
                              "The device at " + FibrePage::Escape(request.Machine()) +
                                  " answers, but reports no Fibre Alliance MIB connectivity units.")};
  }
  if (name == "status.html") return {200, page.Status(reading->units, reading->hasPorts, reading->hasEvents)};
  if (name == "ports.html") return {200, page.Ports(reading->ports, reading->hasEvents)};
  if (name == "events.html") return {200, page.Events(reading->events, reading->hasPorts)};
  return {200, page.Overview(reading->units, reading->hasPorts, reading->hasEvents, notice)};
}

DeviceReadCache::Reading FibreWebAgent::Read(const DeviceRequest& request, DeviceReadCache::Kind kind) {
  DeviceReadCache::Reading reading;
  if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] {
    std::unique_ptr<SnmpSession> session = OpenSession(request, request.Community());
    FibreDeviceReader reader(session.get());
    reading.units = reader.Units();
    for (const Unit& unit : reading.units) {
      reading.hasPorts = reading.hasPorts || reader.HasPorts(unit);
      reading.hasEvents = reading.hasEvents || reader.HasEvents(unit);
      if (kind == DeviceReadCache::Kind::kPorts) reading.ports.emplace_back(unit, reader.Ports(unit));
      if (kind == DeviceReadCache::Kind::kEvents) reading.events.emplace_back(unit, reader.Events(unit));
    }
  })) {
    reading = DeviceReadCache::Reading{};
    reading.errorCode = failed->Code();
    reading.errorMessage = failed->Message();
  }
  return reading;
}

void FibreWebAgent::Send(EXTENSION_CONTROL_BLOCK* ecb, const Reply& reply) {
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

uint32_t FibreWebAgent::Answer(EXTENSION_CONTROL_BLOCK* ecb) {
  Reply reply;
  try {
    reply = Build(DeviceRequest(ecb));
  } catch (OrlaException* e) {
    std::unique_ptr<OrlaException> owned(e);
    reply = {500, FibrePage("", "").Message("Device web agent error", FibrePage::Escape(e->Message()))};
  } catch (const std::exception& e) {
    reply = {500, FibrePage("", "").Message("Device web agent error", FibrePage::Escape(e.what()))};
  }
  Send(ecb, reply);
  return HSE_STATUS_SUCCESS;
}

}  // namespace orla

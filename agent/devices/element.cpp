#include "element.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/text/ascii_case.h"
#include "agent/core/agent_host.h"
#include "agent/core/error_codes.h"
#include "agent/core/agent_settings.h"
#include "agent/core/orla_exception.h"
#include "device_type_file.h"
#include "element_poller.h"
#include "element_state.h"
#include "plugin_call.h"
#include "agent/devices/plugin/device_plugin.h"
#include "agent/snmp/snmp_session.h"
#include "platform/library/dynamic_library.h"
#include "platform/text/string_printf.h"

namespace orla {

namespace {

// The type file's page template with the element's address in place of its
// "%s" (the first one; "%%" stands for "%"). Only that substitution is made:
// the template comes from a file and is never used as a format.
std::string FillTemplate(const std::string& pageTemplate, const std::string& address) {
  std::string result;
  bool filled = false;
  for (size_t i = 0; i < pageTemplate.size(); ++i) {
    if (pageTemplate[i] == '%' && i + 1 < pageTemplate.size()) {
      if (pageTemplate[i + 1] == 's' && !filled) {
        result += address;
        filled = true;
        ++i;
        continue;
      }
      if (pageTemplate[i + 1] == '%') {
        result += '%';
        ++i;
        continue;
      }
    }
    result += pageTemplate[i];
  }
  return result;
}

// A plug-in call that takes a session needs one: binding may have stopped
// before the sessions were opened (an element kept during the initial load).
SnmpSession* RequireSession(SnmpSession* session) {
  if (session == nullptr) throw new OrlaException(kErrSessionOpen, 0, kMsgSessionOpen);
  return session;
}


}  // namespace

Element::Element(std::string typeName, std::string name, std::string address, int32_t pollingInterval,
                 StatusChangeListener* listener, Clock* clock)
    : typeName_(std::move(typeName)),
      address_(std::move(address)),
      state_(std::make_shared<ElementState>(std::move(name), address_, pollingInterval, listener, clock)) {}

ElementRecord Element::Record() const {
  ElementRecord record;
  record.name = state_->Name();
  record.address = address_;
  record.typeName = typeName_;
  record.worldWideName = worldWideName_;
  record.description = description_;
  record.firmwareVersion = firmwareVersion_;
  record.devicePageLink = devicePageLink_;
  record.agentPageUrl = agentPageUrl_;
  record.getCommunity = getCommunity_;
  record.setCommunity = setCommunity_;
  record.unboundReason = unboundReason_;
  return record;
}

Element::~Element() {
  if (poller_ != nullptr) poller_->Stop();
  poller_.reset();
  state_->Retire();
}

std::string Element::DevicesPath(const std::string& fileName) { return "devices/" + fileName; }

std::string Element::DeviceText(const char* buffer, size_t size) {
  std::string text(buffer, strnlen(buffer, size));
  for (char& c : text) {
    if (c == '|' || c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

int32_t Element::BindElement() try {
  // 1. The type file, read in full.
  DeviceTypeFile typeFile;
  const int error = typeFile.Read(DevicesPath(typeName_ + ".cfg"));
  if (error != 0) throw new OrlaException(kErrFileSystem, static_cast<uint32_t>(error), kMsgFileSystem);
  if (const std::string* v = typeFile.Find("dllname")) pluginFileName_ = *v;
  if (const std::string* v = typeFile.Find("snmpsetname")) setCommunity_ = *v;
  if (const std::string* v = typeFile.Find("snmpgetname")) getCommunity_ = *v;
  if (const std::string* v = typeFile.Find("embeddedhomepage")) embeddedHomePage_ = AsciiCase::Equal(*v, "true");

  // 2. Home page links.
  ComputeLinks(typeFile.Find("homepageurl"));

  // 3. The plug-in library, kept until the element (and its last poll) is
  // gone. A library that cannot be loaded leaves none: every plug-in call
  // then fails with 3006, carrying the loader's text.
  std::string loadError;
  std::shared_ptr<DynamicLibrary> library = DynamicLibrary::Open(DevicesPath(pluginFileName_), &loadError);
  state_->SetLibrary(std::move(library), loadError);

  // 4. The set session, then the get session. A type without "snmpsetname"
  // has its sets sent with the get community.
  const std::string& setCommunity = setCommunity_.empty() ? getCommunity_ : setCommunity_;
  setSession_ = std::make_unique<SnmpSession>(address_.c_str(), setCommunity.c_str());
  setSession_->Open();
  auto getSession = std::make_unique<SnmpSession>(address_.c_str(), getCommunity_.c_str());
  getSession->Open();
  // Opening shows that the sessions can be had; each request opens its
  // socket anew and closes it after the answer, so no element keeps a file
  // open between its requests (docs/developer/architecture.md).
  setSession_->Close();
  getSession->Close();
  state_->SetGetSession(std::move(getSession));

  // 5. Identity texts.
  ReadIdentityText(plugin::kGetDeviceFirmwareVersion, &firmwareVersion_);
  ReadIdentityText(plugin::kGetDeviceWorldWideName, &worldWideName_);
  ReadIdentityText(plugin::kGetDeviceDescription, &description_);

  // The class codes of the trap event records, read now so that handling a
  // trap never waits for the device. A failure leaves them to a later pass.
  OrlaException::Discard([&] { state_->ReadClassCodes(); });

  // 6. The polling thread; its first poll comes one interval from now.
  poller_ = std::make_unique<ElementPoller>(state_);

  // 7. Does the device send its traps here?
  auto check = reinterpret_cast<plugin::CheckTrapReceiverFunction>(state_->PluginFunction(plugin::kCheckTrapReceiver));
  return PluginCall::Run(check, state_->GetSession());
} catch (const std::bad_alloc&) {
  // Sessions, the poller, texts: what binding could not allocate is 3001,
  // which the binder handles like any other binding error.
  throw new OrlaException(kErrMemory, ENOMEM, kMsgMemory);
}

void Element::KeepUnbound(int32_t code, const std::string& reason, std::function<void()> retry) {
  state_->SetUnbound();
  SetUnboundReason(code, reason);
  if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] {
    // No type, so no pages of its own: the list links to the agent's root.
    ComputeLinks(nullptr);
  })) {
    // No host address: the link stays a single space, like a missing text.
    devicePageLink_ = agentPageUrl_ = kNoText;
  }
  poller_ = std::make_unique<ElementPoller>(state_, std::move(retry));
}

bool Element::IsBound() const { return !state_->Unbound(); }

void Element::ComputeLinks(const std::string* pageTemplate) {
  if (embeddedHomePage_) {
    devicePageLink_ = pageTemplate != nullptr ? StringPrintf("http://%s/%s", address_.c_str(), pageTemplate->c_str())
                                              : StringPrintf("http://%s/", address_.c_str());
    agentPageUrl_ = devicePageLink_;
    return;
  }
  const std::string host = AgentHost::Address();
  const std::string root = StringPrintf("https://%s:%d/KOR/", host.c_str(), AgentSettings::Current().HttpsPort());
  if (pageTemplate != nullptr) {
    devicePageLink_ = FillTemplate(*pageTemplate, address_);
    agentPageUrl_ = root + devicePageLink_;
  } else {
    // No page of its own: the element list links to the agent's root.
    devicePageLink_ = root;
    agentPageUrl_ = root;
  }
}

void Element::ReadIdentityText(const char* function, std::string* field) {
  auto read = reinterpret_cast<plugin::GetDeviceTextFunction>(state_->PluginFunction(function));
  char buffer[plugin::kDeviceTextSize] = {};
  if (PluginCall::Run(read, state_->GetSession(), buffer) != 0) {
    std::string text = DeviceText(buffer, sizeof buffer);
    // An empty text would leave an empty field in the list string.
    if (!text.empty()) *field = std::move(text);
  }
}

void Element::SetTrapReceiver() {
  auto set = reinterpret_cast<plugin::SetTrapReceiverFunction>(state_->PluginFunction(plugin::kSetTrapReceiver));
  // The polling thread reads the stamp while this runs: the plug-in writes a
  // copy, which is then stored in one step.
  SnmpSession* session = RequireSession(setSession_.get());
  uint32_t stamp = state_->TrapReceiverStamp();
  PluginCall::Run(set, session, &stamp);
  state_->SetTrapReceiverStamp(stamp);
}

std::unique_ptr<ElementPoller> Element::TakePoller() {
  state_->Retire();
  if (poller_ != nullptr) poller_->Stop();
  return std::move(poller_);
}


}  // namespace orla

#include "agent/devices/device_sweep.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <utility>

#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "agent/core/snmp_v3_credential_store.h"
#include "agent/core/snmp_v3_credentials.h"
#include "agent/devices/plugin/device_plugin.h"
#include "agent/snmp/snmp_session.h"
#include "device_type_file.h"
#include "element.h"
#include "element_binder.h"
#include "platform/library/dynamic_library.h"
#include "platform/snmpmgr/snmp_mgr.h"
#include "platform/sync/parallel_runner.h"
#include "platform/text/string_printf.h"
#include "plugin_call.h"
#include "recognizer.h"
#include "request_bucket.h"

namespace orla {

namespace {

// The bucket as the pacer of the calling thread while it lives.
class PacedThread {
 public:
  explicit PacedThread(SnmpMgrPacer* pacer) : before_(SnmpMgrSetPacer(pacer)) {}
  ~PacedThread() { SnmpMgrSetPacer(before_); }
  PacedThread(const PacedThread&) = delete;
  PacedThread& operator=(const PacedThread&) = delete;

 private:
  SnmpMgrPacer* before_;
};

// A plug-in's identity text, or empty.
std::string IdentityText(DynamicLibrary& plugin, const char* function, SnmpSession* session) {
  std::string unused;
  auto read = reinterpret_cast<plugin::GetDeviceTextFunction>(plugin.Symbol(function, &unused));
  if (read == nullptr) return std::string();
  char buffer[plugin::kDeviceTextSize] = {};
  int32_t got = 0;
  OrlaException::Discard([&] { got = PluginCall::Run(read, session, buffer); });
  if (got == 0) return std::string();
  std::string text = Element::DeviceText(buffer, sizeof buffer);
  return text == " " ? std::string() : text;
}

}  // namespace

std::vector<DeviceSweep::Credential> DeviceSweep::TypeCommunities() {
  std::vector<Credential> out;
  std::vector<std::string> types;
  if (DeviceTypeFile::ReadTypeList(Element::DevicesPath("supported.txt"), &types) != 0) return out;
  for (const std::string& type : types) {
    DeviceTypeFile file;
    if (file.Read(Element::DevicesPath(type + ".cfg")) != 0) continue;
    const std::string* community = file.Find("snmpgetname");
    if (community == nullptr) continue;
    const bool known = std::any_of(out.begin(), out.end(), [&](const Credential& c) { return c.community == *community; });
    if (!known) out.push_back({StringPrintf(kCommunityFrom, type.c_str()), *community});
  }
  return out;
}

bool DeviceSweep::Ask(const std::string& address, const std::vector<Credential>& communities, Found* found) {
  if (SnmpSession::RefusedWithoutProfile(address)) return false;
  std::vector<Credential> credentials;
  const std::shared_ptr<const SnmpV3Credentials> v3 = SnmpV3CredentialStore::Instance().Current();
  if (const SnmpV3Profile* profile = v3 != nullptr ? v3->ProfileFor(address) : nullptr) {
    // The session takes the profile by itself; the community is not used.
    credentials.push_back({profile->name, std::string()});
  } else {
    credentials = communities;
  }
  for (const Credential& credential : credentials) {
    if (stop_.IsSet()) return false;
    const uint64_t answers = SnmpSession::AnswersOnThisThread();
    const uint64_t refusals = SnmpSession::SecurityFailuresOnThisThread();
    char* name = nullptr;
    OrlaException::Discard([&] {
      SnmpSession session(address.c_str(), credential.community.c_str());
      session.SetTimeoutMilliseconds(options_.timeoutMs);
      session.SetRetries(options_.retries);
      session.Open();
      session.GetString(kSysName, &name);
    });
    std::string sysName = name != nullptr ? Element::DeviceText(name, std::string(name).size() + 1) : std::string();
    std::free(name);
    if (SnmpSession::AnswersOnThisThread() == answers && SnmpSession::SecurityFailuresOnThisThread() == refusals) {
      continue;
    }
    found->addresses = {address};
    found->credential = credential.label;
    found->sysName = std::move(sysName);
    if (SnmpSession::SecurityFailuresOnThisThread() != refusals) {
      found->note = ElementBinder::UnboundReason(kErrSnmpSecurity, SnmpSession::LastSecurityFailureOnThisThread());
    }
    return true;
  }
  return false;
}

void DeviceSweep::Recognise(Found* found) {
  const std::string& address = found->addresses.front();
  if (std::unique_ptr<OrlaException> failed =
          OrlaException::Catch([&] { found->typeName = Recognizer::Recognize(address); })) {
    found->note = ElementBinder::UnboundReason(failed->Code(), failed->Message());
    return;
  }
  DeviceTypeFile file;
  if (file.Read(Element::DevicesPath(found->typeName + ".cfg")) != 0) return;
  const std::string* library = file.Find("dllname");
  const std::string* community = file.Find("snmpgetname");
  if (library == nullptr || community == nullptr) return;
  std::string loadError;
  std::unique_ptr<DynamicLibrary> plugin = DynamicLibrary::Open(Element::DevicesPath(*library), &loadError);
  if (plugin == nullptr) return;
  OrlaException::Discard([&] {
    SnmpSession session(address.c_str(), community->c_str());
    session.Open();
    found->model = IdentityText(*plugin, plugin::kGetDeviceDescription, &session);
    found->worldWideName = IdentityText(*plugin, plugin::kGetDeviceWorldWideName, &session);
    found->firmware = IdentityText(*plugin, plugin::kGetDeviceFirmwareVersion, &session);
  });
}

std::vector<DeviceSweep::Found> DeviceSweep::Merge(std::vector<Found> found) {
  std::vector<Found> out;
  for (Found& f : found) {
    auto same = std::find_if(out.begin(), out.end(), [&](const Found& o) {
      return !f.worldWideName.empty() && o.worldWideName == f.worldWideName && o.typeName == f.typeName;
    });
    if (same != out.end()) {
      same->addresses.push_back(f.addresses.front());
    } else {
      out.push_back(std::move(f));
    }
  }
  return out;
}

std::vector<DeviceSweep::Found> DeviceSweep::Run(const std::vector<std::string>& addresses, Progress* progress) {
  RequestBucket bucket(options_.rate, stop_, options_.clock);
  const std::vector<Credential> communities = TypeCommunities();
  std::vector<std::optional<Found>> results(addresses.size());
  ParallelRunner::Run(
      addresses.size(),
      [&](size_t i) {
        if (stop_.IsSet()) return;
        try {
          PacedThread paced(&bucket);
          // Failures are the results' notes, not events: a sweep of a
          // network would otherwise log every silent address.
          OrlaException::Quiet quiet;
          SnmpSession::CallerReportsSecurity reports;
          Found found;
          const bool answered = Ask(addresses[i], communities, &found);
          if (!stop_.IsSet()) ++progress->asked;
          if (answered) {
            ++progress->answered;
            if (found.note.empty() && !stop_.IsSet()) Recognise(&found);
            if (!found.typeName.empty()) ++progress->recognised;
            results[i] = std::move(found);
          }
        } catch (OrlaException* e) {
          std::unique_ptr<OrlaException> owned(e);
        } catch (const std::bad_alloc&) {
        }
        progress->sent = bucket.Taken();
        progress->peakPerSecond = bucket.PeakPerSecond();
      },
      std::max<size_t>(1, std::min(options_.width, addresses.size())));
  progress->sent = bucket.Taken();
  progress->peakPerSecond = bucket.PeakPerSecond();
  std::vector<Found> found;
  for (std::optional<Found>& r : results) {
    if (r) found.push_back(std::move(*r));
  }
  return Merge(std::move(found));
}

}  // namespace orla

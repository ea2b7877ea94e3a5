#include "config_resource.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "agent/core/orla_exception.h"
#include "agent/devices/element_registry.h"
#include "agent/traps/trap_destination_list.h"
#include "agent_objects.h"
#include "platform/text/string_printf.h"
#include "polling_interval_check.h"
#include "text_escape.h"
#include "trap_host_check.h"

namespace orla {

namespace {

std::string ConfigJson() {
  std::string hosts;
  for (const std::string& host : AgentObjects::TrapDestinations().Texts()) {
    hosts += (hosts.empty() ? "\"" : ",\"") + TextEscape::Json(host) + "\"";
  }
  return StringPrintf("{\"pollingInterval\":%d,\"trapHosts\":[", AgentObjects::Registry().PollingInterval()) + hosts +
         "]}";
}

// The entries of `from` that `to` lacks, each as often as it lacks it.
std::vector<std::string> Missing(const std::vector<std::string>& from, std::vector<std::string> to) {
  std::vector<std::string> missing;
  for (const std::string& entry : from) {
    const auto found = std::find(to.begin(), to.end(), entry);
    if (found == to.end()) {
      missing.push_back(entry);
    } else {
      to.erase(found);
    }
  }
  return missing;
}

}  // namespace

ApiReply ConfigResource::Get(const ApiCall&) { return ApiReply::Json(200, ConfigJson()); }

ApiReply ConfigResource::Change(const ApiCall& call) {
  if (std::optional<ApiReply> bad = call.OnlyFields({{"pollingInterval", ApiCall::Type::kInteger},
                                                     {"trapHosts", ApiCall::Type::kStrings}})) {
    return *bad;
  }
  const std::optional<long long> interval = call.Integer("pollingInterval");
  const std::optional<std::vector<std::string>> hosts = call.Strings("trapHosts");
  if (interval) {
    if (const char* refused = PollingIntervalCheck::CheckSeconds(*interval)) {
      return ApiReply::Error(400, refused, "pollingInterval");
    }
  }
  ElementRegistry& registry = AgentObjects::Registry();
  TrapDestinationList& list = AgentObjects::TrapDestinations();

  // The hosts: checked against the list as it stands (the names are looked
  // up without its lock) and written only if the list is still that one;
  // else checked again.
  std::vector<std::string> before;
  bool hostsChanged = false;
  while (hosts) {
    uint64_t revision = 0;
    before = list.Texts(&revision);
    if (*hosts == before) break;
    if (std::optional<TrapHostCheck::Refusal> refused = TrapHostCheck::CheckList(*hosts, before)) {
      return ApiReply::Error(400, refused->text, "trapHosts");
    }
    const int written = list.ReplaceIfUnchanged(*hosts, revision);
    if (written == -1) continue;
    if (written != 0) {
      return ApiReply::Error(500, StringPrintf("Unable to open file %s - %s.", list.FilePath().c_str(),
                                               std::strerror(written)));
    }
    hostsChanged = true;
    break;
  }

  const int32_t intervalBefore = registry.PollingInterval();
  if (interval && *interval != intervalBefore) {
    if (std::unique_ptr<OrlaException> failed =
            OrlaException::Catch([&] { registry.SetPollingInterval(static_cast<int32_t>(*interval)); })) {
      // storage.ini could not be rewritten: the interval and the hosts go
      // back to what they were.
      OrlaException::Discard([&] { registry.SetPollingInterval(intervalBefore); });
      if (hostsChanged) {
        uint64_t revision = 0;
        if (list.Texts(&revision) == *hosts) list.ReplaceIfUnchanged(before, revision);
      }
      return ApiReply::Error(500, failed->Message());
    }
    call.recordChange(PollingIntervalCheck::ChangeText(intervalBefore, *interval / 60), std::string(), std::string());
  }
  if (hostsChanged) {
    for (const std::string& host : Missing(before, *hosts)) {
      call.recordChange(TrapHostCheck::RemovedText(host), std::string(), std::string());
    }
    for (const std::string& host : Missing(*hosts, before)) {
      call.recordChange(TrapHostCheck::AddedText(host), std::string(), std::string());
    }
  }
  return ApiReply::Json(200, ConfigJson());
}

}  // namespace orla

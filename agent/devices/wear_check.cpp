#include "wear_check.h"

#include <cmath>

#include "agent/devices/device_counter_kind.h"
#include "agent/devices/plugin/device_plugin.h"
#include "platform/text/string_printf.h"

namespace orla {

namespace {

void Note(WearCheck::Verdict* verdict, const std::string& text) {
  verdict->degraded = true;
  if (!verdict->reason.empty()) verdict->reason += "; ";
  verdict->reason += text;
}

}  // namespace

WearCheck::Verdict WearCheck::Judge(const DeviceSamples& samples) const {
  Verdict verdict;
  for (const DeviceSamples::Sample& sample : samples.samples) {
    const DeviceCounterKind::Info* info = DeviceCounterKind::Find(sample.kind);
    if (info == nullptr) continue;
    if (info->portError && sample.part == plugin::kPartPort && sample.lastHour.has_value()) {
      const auto limit = limits_.find(info->name);
      if (limit == limits_.end() || limit->second == 0) continue;
      const auto count = static_cast<unsigned long long>(std::llround(*sample.lastHour));
      if (count > limit->second) {
        Note(&verdict, StringPrintf("Port %d: %llu %s in the last hour", sample.index, count, info->words));
      }
    } else if (sample.part == plugin::kPartDrive && sample.value.has_value()) {
      const uint64_t budget = sample.kind == plugin::kDriveMounts             ? mountBudget_
                              : sample.kind == plugin::kDriveTotalPowerOnHours ? hourBudget_
                                                                               : 0;
      if (budget != 0 && *sample.value > budget) {
        Note(&verdict, StringPrintf("Drive %d: %llu %s, past the budget of %llu", sample.index,
                                    static_cast<unsigned long long>(*sample.value), info->words,
                                    static_cast<unsigned long long>(budget)));
      }
    }
  }
  return verdict;
}

void WearCheck::Apply(const Verdict& verdict, int32_t* status, std::string* reason) {
  if (!verdict.degraded) return;
  const bool pluginFound = *status == plugin::kStatusDegraded || *status == plugin::kStatusFailed;
  if (!pluginFound) *status = plugin::kStatusDegraded;
  if (pluginFound && !reason->empty()) {
    *reason += "; " + verdict.reason;
  } else {
    *reason = verdict.reason;
  }
}

}  // namespace orla

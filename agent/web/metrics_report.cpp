#include "metrics_report.h"

#include <map>
#include <string>
#include <utility>

#include "agent/alarms/alert_pusher.h"
#include "agent/core/agent_revision.h"
#include "agent/core/duration_histogram.h"
#include "agent/devices/device_counter_kind.h"
#include "agent/devices/plugin/device_plugin.h"
#include "agent/devices/status_bucket.h"
#include "agent/devices/poll_statistics.h"
#include "agent/traps/trap_statistics.h"
#include "platform/eventlog/repeated_warnings.h"
#include "platform/metrics/metric_sheet.h"
#include "platform/metrics/process_stats.h"
#include "platform/snmpmgr/snmp_mgr_trap.h"

namespace orla {

namespace {

using Type = MetricSheet::Type;
using Labels = MetricSheet::Labels;


void AddHistogram(MetricSheet& sheet, const char* name, const char* help, const DurationHistogram& histogram) {
  const size_t family = sheet.AddFamily(name, help, Type::kHistogram);
  const DurationHistogram::Snapshot s = histogram.Take();
  sheet.AddHistogram(family, {}, s.bounds, s.cumulative, s.count, s.sumSeconds);
}

void AddSingle(MetricSheet& sheet, const char* name, const char* help, Type type, double value) {
  sheet.Add(sheet.AddFamily(name, help, type), {}, value);
}

void AddPerKey(MetricSheet& sheet, const char* name, const char* help, const char* label,
               const KeyedCounter& counter) {
  const size_t family = sheet.AddFamily(name, help, Type::kCounter);
  for (const auto& [key, count] : counter.Snapshot()) sheet.Add(family, {{label, key}}, static_cast<double>(count));
}

void AddElements(MetricSheet& sheet, const std::vector<ElementView>& elements, char overallStatus) {
  const size_t status = sheet.AddFamily(
      "koragent_element_status",
      "The element's status as the element list shows it: 0 ok, 1 degraded, 2 failed, 3 unknown (also not read yet).",
      Type::kGauge);
  const size_t answered = sheet.AddFamily("koragent_element_answered",
                                          "1 when the element's device answered during the last poll.", Type::kGauge);
  const size_t lastAnswer =
      sheet.AddFamily("koragent_element_last_answer_timestamp_seconds",
                      "When the element's device last answered a poll, seconds since the epoch.", Type::kGauge);
  const size_t changed =
      sheet.AddFamily("koragent_element_status_change_timestamp_seconds",
                      "When the element's status last changed, seconds since the epoch.", Type::kGauge);
  // The reason is an info series of its own rather than a label on the
  // status: a label that changes with every new reason would start a new
  // status series each time and break the alerts that follow the old one.
  const size_t reasons = sheet.AddFamily(
      "koragent_element_status_reason_info",
      "Why the element's status is not ok, as its plug-in says; always 1, only while there is a reason.",
      Type::kGauge);
  const size_t traps = sheet.AddFamily("koragent_element_traps_received_total",
                                       "Traps received from the element's address.", Type::kCounter);
  const std::map<std::string, uint64_t> received = TrapStatistics::Instance().receivedFrom.Snapshot();
  for (const ElementView& element : elements) {
    // The device's text (often long) only on the status, which alerts name
    // the device by; the other series join it on element and address.
    const Labels labels = {{"element", element.record.name}, {"address", element.record.address}};
    // Not polled yet stays 3 here, as the series has always said (with
    // koragent_element_answered 0 beside it).
    const StatusBucket::Kind bucket = StatusBucket::Of(element.status.status);
    sheet.Add(status, {labels[0], labels[1], {"model", element.record.ModelText()}},
              bucket == StatusBucket::Kind::kNotPolled ? 3 : static_cast<int32_t>(bucket));
    if (!element.status.reason.empty()) sheet.Add(reasons, {labels[0], labels[1], {"reason", element.status.reason}}, 1);
    sheet.Add(answered, labels, element.status.answeredLastPoll ? 1 : 0);
    if (element.status.lastAnsweredMs > 0) sheet.Add(lastAnswer, labels, static_cast<double>(element.status.lastAnsweredMs) / 1000);
    sheet.Add(changed, labels, static_cast<double>(element.status.statusSinceMs) / 1000);
    const auto it = received.find(element.record.address);
    sheet.Add(traps, labels, it == received.end() ? 0.0 : static_cast<double>(it->second));
  }
  AddSingle(sheet, "koragent_elements", "Elements the agent manages.", Type::kGauge,
            static_cast<double>(elements.size()));
  AddSingle(sheet, "koragent_overall_status",
            "The overall status kor.xml reports: 0 good, 1 some element degraded or unknown, 2 some element failed.",
            Type::kGauge, overallStatus - '0');
}

// The counters and wear facts of the elements' latest samples
// (DeviceSamples): one family per part and kind, "koragent_port_crc_errors_total"
// {element,address,port}, "koragent_drive_mounts_total" {...,drive},
// "koragent_device_slots_used" {element,address}; counters as counters (the
// device's raw value: rate() gives the rate), the rest as gauges. A counter
// the device does not support is left out.
void AddSamples(MetricSheet& sheet, const std::vector<ElementView>& elements) {
  std::map<std::pair<int32_t, int32_t>, size_t> families;
  for (const ElementView& element : elements) {
    if (element.status.samples == nullptr) continue;
    for (const DeviceSamples::Sample& sample : element.status.samples->samples) {
      const DeviceCounterKind::Info* info = DeviceCounterKind::Find(sample.kind);
      if (info == nullptr || !sample.value.has_value()) continue;
      const char* part = sample.part == plugin::kPartPort    ? "port"
                         : sample.part == plugin::kPartDrive ? "drive"
                         : sample.part == plugin::kPartDevice ? "device"
                                                              : nullptr;
      if (part == nullptr) continue;
      auto family = families.find({sample.part, sample.kind});
      if (family == families.end()) {
        const std::string name =
            std::string("koragent_") + part + "_" + info->name + (info->counter ? "_total" : "");
        family = families
                     .emplace(std::make_pair(sample.part, sample.kind),
                              sheet.AddFamily(name.c_str(), info->help, info->counter ? Type::kCounter : Type::kGauge))
                     .first;
      }
      Labels labels = {{"element", element.record.name}, {"address", element.record.address}};
      if (sample.part != plugin::kPartDevice) labels.push_back({part, std::to_string(sample.index)});
      sheet.Add(family->second, labels, static_cast<double>(*sample.value));
    }
  }
}

void AddWeb(MetricSheet& sheet, const ZEPA_SERVER_STATISTICS& web) {
  const size_t responses = sheet.AddFamily("koragent_http_responses_total",
                                           "Answers of the web server by status class.", Type::kCounter);
  static const char* const kClasses[] = {"other", "1xx", "2xx", "3xx", "4xx", "5xx"};
  for (size_t i = 0; i < 6; ++i) {
    sheet.Add(responses, {{"status_class", kClasses[i]}}, static_cast<double>(web.qwResponses[i]));
  }
  AddSingle(sheet, "koragent_login_failures_total",
            "Failed logins: the login form's, and requests whose credentials were refused.", Type::kCounter,
            static_cast<double>(web.qwFailedLogins));
  AddSingle(sheet, "koragent_web_sessions", "Sessions logged in to the web server.", Type::kGauge,
            web.dwOpenSessions);
}

// The Alertmanagers the alarms are pushed to (AlertPusher), by URL.
void AddAlerting(MetricSheet& sheet) {
  const AlertPusher* pusher = AlertPusher::Instance();
  if (pusher == nullptr) return;
  const std::vector<AlertPusher::Figures> figures = pusher->Statistics();
  const size_t up = sheet.AddFamily("koragent_alertmanager_up",
                                    "Whether the last push to the Alertmanager succeeded.", Type::kGauge);
  const size_t queued = sheet.AddFamily("koragent_alertmanager_queue_length",
                                        "Messages waiting to be sent to the Alertmanager.", Type::kGauge);
  const size_t sent = sheet.AddFamily("koragent_alertmanager_sent_total",
                                      "Messages (alerts, silences) the Alertmanager took.", Type::kCounter);
  const size_t failures = sheet.AddFamily("koragent_alertmanager_send_failures_total",
                                          "Sends that failed and are retried with back-off.", Type::kCounter);
  const size_t rejected = sheet.AddFamily("koragent_alertmanager_rejected_total",
                                          "Messages the Alertmanager refused (dropped).", Type::kCounter);
  const size_t dropped = sheet.AddFamily("koragent_alertmanager_dropped_total",
                                         "Messages dropped from a full queue.", Type::kCounter);
  for (const AlertPusher::Figures& am : figures) {
    const Labels labels = {{"alertmanager", am.url}};
    sheet.Add(up, labels, am.up ? 1 : 0);
    sheet.Add(queued, labels, static_cast<double>(am.queued));
    sheet.Add(sent, labels, static_cast<double>(am.sent));
    sheet.Add(failures, labels, static_cast<double>(am.failures));
    sheet.Add(rejected, labels, static_cast<double>(am.rejected));
    sheet.Add(dropped, labels, static_cast<double>(am.dropped));
  }
}

void AddProcess(MetricSheet& sheet) {
  const ProcessStats::Figures p = ProcessStats::Read();
  const std::pair<const char*, std::pair<const char*, double>> figures[] = {
      {"koragent_process_resident_memory_bytes", {"Resident memory.", static_cast<double>(p.residentBytes)}},
      {"koragent_process_open_fds", {"Open file descriptors.", static_cast<double>(p.openFiles)}},
      {"koragent_process_max_fds", {"The soft limit of open file descriptors.", static_cast<double>(p.maxFiles)}},
      {"koragent_process_threads", {"Threads of the process.", static_cast<double>(p.threads)}},
      {"koragent_process_start_time_seconds", {"Start time of the process since the epoch.", p.startTimeSeconds}},
  };
  for (const auto& [name, figure] : figures) {
    // A figure that could not be read is left out rather than shown as -1.
    if (figure.second >= 0) AddSingle(sheet, name, figure.first, Type::kGauge, figure.second);
  }
  if (p.cpuSeconds >= 0) {
    AddSingle(sheet, "koragent_process_cpu_seconds_total", "CPU time (user and system) the process has used.",
              Type::kCounter, p.cpuSeconds);
  }
  sheet.Add(sheet.AddFamily("koragent_build_info", "The agent's version; always 1.", Type::kGauge),
            {{"version", kAgentRevision}}, 1);
}

}  // namespace

std::string MetricsReport::Render(const std::vector<ElementView>* elements, char overallStatus,
                                  const ZEPA_SERVER_STATISTICS* web) {
  MetricSheet sheet;
  if (elements != nullptr) {
    AddElements(sheet, *elements, overallStatus);
    AddSamples(sheet, *elements);
  }

  const PollStatistics& polls = PollStatistics::Instance();
  AddHistogram(sheet, "koragent_poll_duration_seconds", "Duration of an element's status update.", polls.polls);
  AddSingle(sheet, "koragent_poll_failures_total",
            "Status updates that ended in an error or that the device did not answer.", Type::kCounter,
            static_cast<double>(polls.pollFailures.load()));
  AddHistogram(sheet, "koragent_status_pass_duration_seconds", "Duration of a status pass over every element.",
               polls.passes);
  AddSingle(sheet, "koragent_status_pass_failures_total", "Status passes that ended in an error.", Type::kCounter,
            static_cast<double>(polls.passFailures.load()));

  const TrapStatistics& traps = TrapStatistics::Instance();
  AddSingle(sheet, "koragent_traps_received_total", "Datagrams the trap receiver has read.", Type::kCounter,
            static_cast<double>(SnmpMgrTrapsReceived()));
  const size_t dropped = sheet.AddFamily(
      "koragent_traps_dropped_total",
      "Datagrams the trap receiver dropped, by reason: source_share (its source already had its share of the "
      "queue), queue_full, socket_buffer, too_many_bindings (these four are the count the event log reports), "
      "truncated and malformed (not a well-formed trap), v3_only, not_managed (an inform from an address that is no "
      "managed element) and repeated_inform (an inform taken already).",
      Type::kCounter);
  for (const auto& [reason, count] : SnmpMgrTrapDrops()) {
    sheet.Add(dropped, {{"reason", reason}}, static_cast<double>(count));
  }
  const size_t refused = sheet.AddFamily(
      "koragent_traps_snmpv3_refused_total",
      "SNMPv3 traps and informs refused, by reason: unknown_user, unknown_engine, wrong_level, wrong_key, "
      "not_in_time_window, not_this_elements_profile, other.",
      Type::kCounter);
  for (const auto& [reason, count] : SnmpMgrTrapRefusals()) {
    sheet.Add(refused, {{"reason", reason}}, static_cast<double>(count));
  }
  AddSingle(sheet, "koragent_traps_handled_total", "Enterprise-specific traps a device plug-in described.",
            Type::kCounter, static_cast<double>(traps.handled.load()));
  AddPerKey(sheet, "koragent_traps_sent_total", "The agent's own traps sent, per destination.", "destination",
            traps.sentTo);
  AddPerKey(sheet, "koragent_trap_send_failures_total", "The agent's own traps that could not be sent, per destination.",
            "destination", traps.failedFor);
  AddPerKey(sheet, "koragent_notifications_sent_total",
            "SNMPv2c/SNMPv3 notifications (traps, and each try of an inform) sent, per target.", "target",
            traps.notificationsSent);
  AddPerKey(sheet, "koragent_notifications_acknowledged_total", "Informs the receiver acknowledged, per target.",
            "target", traps.notificationsAcknowledged);
  AddPerKey(sheet, "koragent_notifications_retried_total",
            "Tries of an inform that went unanswered and were sent again later, per target.", "target",
            traps.notificationsRetried);
  AddPerKey(sheet, "koragent_notifications_failed_total",
            "Notifications that could not be sent or were given up after their last try, per target.", "target",
            traps.notificationsFailed);

  if (web != nullptr) AddWeb(sheet, *web);
  const size_t seen = sheet.AddFamily("koragent_repeated_warnings_total",
                                      "Warnings a party on the network can repeat, by kind, each one counted "
                                      "whether it was logged or only summarised.",
                                      Type::kCounter);
  const size_t summarised = sheet.AddFamily("koragent_repeated_warnings_summarised_total",
                                            "Of those, the ones not logged one by one but counted in a summary line.",
                                            Type::kCounter);
  for (const RepeatedWarnings::Count& count : RepeatedWarnings::Counts()) {
    sheet.Add(seen, {{"kind", count.kind}}, static_cast<double>(count.seen));
    sheet.Add(summarised, {{"kind", count.kind}}, static_cast<double>(count.summarised));
  }
  AddAlerting(sheet);
  AddProcess(sheet);
  return sheet.Render();
}

}  // namespace orla
